// Paths and folders as the operating system spells and finds them.  Paths are
// the narrow 8-bit strings that hosts pass through the Neuroshare calls; they
// are handed to the system unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nsplatform {

// The separator this system puts between folder names ('/' or '\\').
char PathSeparator();

// Where the file name of path begins: just after the last folder separator
// ('/', and on Windows also '\\' and the ':' of a drive), or 0 when there is
// none.
size_t FileNameStart(const std::string& path);

// True when path begins with a drive ("C:"); always false on systems without
// drives.
bool HasDrive(const std::string& path);

// Anything exists at path: a file, a folder or a device.
bool PathExists(const std::string& path);

// A regular file exists at path; its size goes to *size when asked for.
bool IsRegularFile(const std::string& path, uint64_t* size = nullptr);

// Both paths name the same existing file, however they are spelled.
bool SameFile(const std::string& a, const std::string& b);

// The process's current folder, or an empty string when it cannot be had.
std::string CurrentDirectory();

// Creates a new, empty folder in the system's folder for temporary files,
// with a name that starts with prefix; returns its path, or an empty string
// when none could be created.
std::string CreateTemporaryFolder(const std::string& prefix);

}  // namespace nsplatform
