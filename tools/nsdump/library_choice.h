// Which reader library reads a recording, when the user did not name one:
// chosen by the file's extension (.qrd -> libqrdshare.so or qrdshare.dll,
// .map -> libmapshare.so or mapshare.dll) and looked for beside nsdump, in
// the build tree layout and in the install lib folder.
#pragma once

#include <string>
#include <vector>

namespace nsdump {

// Library file name for a recording path, or empty for an unknown extension
// (compared without regard to letter case).
std::string LibraryNameForFile(const std::string& recordingPath);

// Folders searched for a library, in order, given the folder nsdump runs from.
std::vector<std::string> LibrarySearchFolders(const std::string& programFolder);

// First existing <folder>/<libraryName> of the search folders (on Linux also
// <folder>/<libraryName>.<major version>, the SONAME file), or empty.
std::string FindLibrary(const std::string& libraryName, const std::string& programFolder);

// Folder of the running program, or "." when unknown.
std::string ProgramFolder();

}  // namespace nsdump
