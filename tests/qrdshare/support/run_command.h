// Running a program of the build (nsdump, nm) from a test, the way a user
// types it into the system's shell, and collecting what it prints.
#pragma once

#include <string>

namespace qrd_test {

struct CommandResult {
    int exitCode = -1;   // -1 when the program did not run or did not exit normally
    std::string output;  // standard output and standard error, interleaved
};

// Runs commandLine through the shell (sh, cmd.exe).
CommandResult RunCommand(const std::string& commandLine);

// One argument in double quotes, as both shells read it; for paths and
// options without quotes or shell characters of their own.
std::string Quoted(const std::string& argument);

}  // namespace qrd_test
