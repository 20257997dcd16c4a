// qrdsample <folder>: writes the sample recordings into folder.
#include <cstdio>
#include <string>

#include "sample_recordings.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\nwrites a few sample QRD recordings into folder\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
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
