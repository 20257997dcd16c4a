// qrdsample <folder>: writes the sample recordings into folder, creating the
// folder if needed.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "folder_command_line.h"
#include "sample_recordings.h"

int main(int argc, char** argv) {
    std::string folder;
    if (const auto status = nstools::ParseFolderCommandLine(
            argc, argv, "qrdsample", "qrdsample <folder>\nWrites a few sample QRD recordings into folder, creating it if needed.",
            folder)) {
        return *status;
    }
    std::error_code folderError;
    std::filesystem::create_directories(folder, folderError);
    if (folderError) {
        std::fprintf(stderr, "qrdsample: cannot create %s: %s\n", folder.c_str(), folderError.message().c_str());
        return 1;
    }
    int failures = 0;
    for (const qrdsample::SampleRecording& sample : qrdsample::AllSamples()) {
        const std::string path = folder + "/" + sample.fileName;
        std::string error;
        qrd::RecordingPlan plan;
        if (!qrd::WriteRecording(sample.desc, path, &error, &plan)) {
            std::fprintf(stderr, "qrdsample: %s\n", error.c_str());
            ++failures;
            continue;
        }
        std::printf("%-24s %9llu bytes  %s\n", sample.fileName.c_str(),
                    static_cast<unsigned long long>(plan.fileSize), sample.summary.c_str());
    }
    return failures ? 1 : 0;
}
