// qrdmerge <recording.qrd>... -o <output.qrd>
//
// Opens every recording with the container reader, joins them with Merge and
// reports the outcome.  Exit status: 0 merged; 1 a recording cannot be opened
// or the merge failed (the merge message is printed); 2 a usage error; 130
// cancelled with Ctrl-C.  An output file left incomplete by a failure or a
// cancellation is removed.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "command_line.h"
#include "ns_release_version.h"
#include "container/file_merge.h"
#include "container/stream_file.h"
#include "progress_bar.h"

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

const char* OpenFailure(int result) {
    switch (result) {
        case qrd::CQRVAStreamFile::kOpenCannotOpen: return "cannot be opened";
        case qrd::CQRVAStreamFile::kOpenNotQrd: return "is not a QRD recording";
        default: return "has a damaged header";
    }
}

// Only a regular file is removed: an output named like a device (/dev/null)
// was never a file this tool created.
void RemovePartialOutput(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) std::remove(path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    qrdmerge::CommandLine line;
    std::string error;
    if (!qrdmerge::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), line, error)) {
        std::fprintf(stderr, "qrdmerge: %s\n%s", error.c_str(), qrdmerge::UsageText());
        return 2;
    }
    if (line.help) {
        std::fputs(qrdmerge::UsageText(), stdout);
        return 0;
    }
    if (line.version) {
        std::printf("qrdmerge %s\n", NS_RELEASE_VERSION);
        return 0;
    }

    std::vector<std::unique_ptr<qrd::CQRVAStreamFile>> files;
    std::vector<qrd::CQRVAStreamFile*> recordings;
    for (const std::string& path : line.inputs) {
        std::unique_ptr<qrd::CQRVAStreamFile> file(new qrd::CQRVAStreamFile());
        const int result = file->Open(path.c_str());
        if (result != qrd::CQRVAStreamFile::kOpenOk) {
            std::fprintf(stderr, "qrdmerge: %s %s\n", path.c_str(), OpenFailure(result));
            return 1;
        }
        recordings.push_back(file.get());
        files.push_back(std::move(file));
    }

    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction previous = {};
    sigaction(SIGINT, &action, &previous);

    const bool terminal = isatty(STDERR_FILENO) != 0;
    qrdmerge::ProgressBar bar(stderr, 79);
    auto progress = [&](const char* text, uint32_t percent) -> int {
        if (terminal) bar.Update(text, percent);
        return g_interrupted ? 1 : 0;
    };

    qrd::CQRVAStreamFile output;
    bool created = false;
    const int result = qrd::Merge(output, recordings.data(), recordings.size(), line.output, progress, &created);
    bar.Finish();
    sigaction(SIGINT, &previous, nullptr);

    if (result != 0) {
        if (created) RemovePartialOutput(line.output);
        std::fprintf(stderr, "qrdmerge: %s\n", qrd::GetMergeMessage().c_str());
        return qrd::GetMergeMessage() == qrd::merge_message::kCanceled ? 130 : 1;
    }
    return 0;
}
