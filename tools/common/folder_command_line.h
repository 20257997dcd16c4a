// The command line of the tools that take one folder (qrdsample, mapsample):
//   <tool> <folder>      do the work
//   <tool> --help | -h   usage on standard output, exit status 0
//   <tool> --version     "<tool> <release version>", exit status 0
// Anything else starting with '-' is an unknown option: the usage on
// standard error and exit status 2, and nothing is written.  "--" ends the
// options, so a folder whose name starts with '-' is still reachable.
#pragma once

#include "ns_release_version.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace nstools {

// Returns the exit status when the command line is answered without work
// (help, version, usage error); otherwise stores the folder and returns
// nothing.  `usage` is the text after "usage: ".
inline std::optional<int> ParseFolderCommandLine(int argc, char** argv, const char* tool, const char* usage,
                                                 std::string& folder) {
    auto printUsage = [&](std::FILE* out) { std::fprintf(out, "usage: %s\n", usage); };
    std::optional<std::string> chosen;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!optionsEnded && arg[0] == '-' && arg[1] != '\0') {
            if (std::strcmp(arg, "--") == 0) {
                optionsEnded = true;
                continue;
            }
            if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
                printUsage(stdout);
                return 0;
            }
            if (std::strcmp(arg, "--version") == 0) {
                std::printf("%s %s\n", tool, NS_RELEASE_VERSION);
                return 0;
            }
            std::fprintf(stderr, "%s: unknown option %s\n", tool, arg);
            printUsage(stderr);
            return 2;
        }
        if (chosen) {
            std::fprintf(stderr, "%s: one folder only\n", tool);
            printUsage(stderr);
            return 2;
        }
        chosen = arg;
    }
    if (!chosen || chosen->empty()) {
        std::fprintf(stderr, "%s: name the folder to write into\n", tool);
        printUsage(stderr);
        return 2;
    }
    folder = *chosen;
    return std::nullopt;
}

}  // namespace nstools
