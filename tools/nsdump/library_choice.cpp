#include "library_choice.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <sys/stat.h>

namespace nsdump {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Extension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    return Lower(path.substr(dot + 1));
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string LibraryNameForFile(const std::string& recordingPath) {
    const std::string ext = Extension(recordingPath);
    if (ext == "qrd") return "libqrdshare.so";
    if (ext == "map") return "libmapshare.so";
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
        if (IsRegularFile(candidate)) return candidate;
    }
    return std::string();
}

std::string ProgramFolder() {
    char buffer[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return ".";
    std::string exe(buffer, static_cast<size_t>(n));
    const size_t slash = exe.find_last_of('/');
    return slash == std::string::npos ? "." : exe.substr(0, slash);
}

}  // namespace nsdump
