#include "library_choice.h"

#include "platform/file_system.h"
#include "platform/module_path.h"

#include <algorithm>
#include <cctype>

namespace nsdump {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Extension(const std::string& path) {
    const size_t nameStart = nsplatform::FileNameStart(path);
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return std::string();
    return Lower(path.substr(dot + 1));
}

}  // namespace

std::string LibraryNameForFile(const std::string& recordingPath) {
    const std::string ext = Extension(recordingPath);
    if (ext == "qrd") return NSDUMP_QRDSHARE_FILE_NAME;
    if (ext == "map") return NSDUMP_MAPSHARE_FILE_NAME;
    return std::string();
}

std::vector<std::string> LibrarySearchFolders(const std::string& programFolder) {
    const std::string p = programFolder;
    std::vector<std::string> folders = {
        p,                       // copied next to nsdump
        p + "/../src/qrdshare",  // build tree: <build>/bin/nsdump
        p + "/../src/mapshare",
        p + "/../" NSDUMP_INSTALL_LIBDIR,  // installed: <prefix>/bin/nsdump
        NSDUMP_INSTALL_FULL_LIBDIR,
    };
    return folders;
}

std::string FindLibrary(const std::string& libraryName, const std::string& programFolder) {
    if (libraryName.empty()) return std::string();
    for (const std::string& folder : LibrarySearchFolders(programFolder)) {
        const std::string candidate = folder + "/" + libraryName;
        if (nsplatform::IsRegularFile(candidate)) return candidate;
#ifdef NSDUMP_LIBRARY_SONAME_SUFFIX
        // Where only the libraries' runtime files are installed (no
        // lib<name>.so link, which belongs to the development files), the
        // file named by the SONAME is there.
        const std::string runtimeFile = candidate + NSDUMP_LIBRARY_SONAME_SUFFIX;
        if (nsplatform::IsRegularFile(runtimeFile)) return runtimeFile;
#endif
    }
    return std::string();
}

std::string ProgramFolder() {
    const std::string program = nsplatform::ProgramPath();
    const size_t nameStart = nsplatform::FileNameStart(program);
    if (program.empty() || nameStart == 0) return ".";
    std::string folder = program.substr(0, nameStart);
    // Drop the separator before the file name, unless it is the root itself
    // ("/", "C:\").
    const bool root = nameStart == 1 || (nameStart == 3 && nsplatform::HasDrive(program));
    if (!root && folder.back() != ':') folder.pop_back();
    return folder;
}

}  // namespace nsdump
