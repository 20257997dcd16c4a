// The command line of qrdmerge: input recordings and "-o <output>".
#pragma once

#include <string>
#include <vector>

namespace qrdmerge {

struct CommandLine {
    std::vector<std::string> inputs;
    std::string output;
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name.  "-o" may stand anywhere and
// also be written "-o<path>" or "--output=<path>"; "--" ends the options, so
// later arguments are inputs even when they start with "-".  False with a
// reason in error for an unknown option, a missing or repeated output, or no
// input (unless help or the version was asked for).
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error);

const char* UsageText();

}  // namespace qrdmerge
