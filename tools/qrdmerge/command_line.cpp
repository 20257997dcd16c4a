#include "command_line.h"

namespace qrdmerge {

namespace {

bool SetOutput(CommandLine& line, const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "option -o needs a file name";
        return false;
    }
    if (!line.output.empty()) {
        error = "more than one output file given";
        return false;
    }
    line.output = path;
    return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& error) {
    line = CommandLine();
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            line.inputs.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            line.help = true;
        } else if (arg == "--version") {
            line.version = true;
        } else if (arg == "-o" || arg == "--output") {
            if (i + 1 >= args.size()) {
                error = "option " + arg + " needs a file name";
                return false;
            }
            if (!SetOutput(line, args[++i], error)) return false;
        } else if (arg.compare(0, 2, "-o") == 0) {
            if (!SetOutput(line, arg.substr(2), error)) return false;
        } else if (arg.compare(0, 9, "--output=") == 0) {
            if (!SetOutput(line, arg.substr(9), error)) return false;
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (line.help || line.version) return true;
    if (line.output.empty()) {
        error = "no output file given (-o <file>)";
        return false;
    }
    if (line.inputs.empty()) {
        error = "no recordings to merge";
        return false;
    }
    return true;
}

const char* UsageText() {
    return "usage: qrdmerge <recording.qrd>... -o <output.qrd>\n"
           "       qrdmerge --help | --version\n"
           "Joins QRD recordings of one setup into one recording, ordered by start time.\n"
           "Continuous recordings become one continuous time line.\n"
           "Ctrl-C cancels; an incomplete output file is removed.\n";
}

}  // namespace qrdmerge
