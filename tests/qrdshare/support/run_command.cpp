#include "support/run_command.h"

#include <cstdio>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace qrd_test {

CommandResult RunCommand(const std::string& commandLine) {
    CommandResult result;
#ifdef _WIN32
    // cmd.exe /c removes one pair of quotes around the whole line, which would
    // otherwise be the quotes of the program path.
    FILE* pipe = _popen(("\"" + commandLine + " 2>&1\"").c_str(), "rb");
#else
    FILE* pipe = popen((commandLine + " 2>&1").c_str(), "r");
#endif
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
#ifdef _WIN32
    result.exitCode = _pclose(pipe);
#else
    const int status = pclose(pipe);
    result.exitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return result;
}

std::string Quoted(const std::string& argument) { return "\"" + argument + "\""; }

}  // namespace qrd_test
