// What the QRD benchmarks that go through the exports share: a private copy
// of the built libqrdshare.so with its own settings file, loaded with dlopen
// as a host loads it, a plain read() of a file for comparison, and a clock.
#pragma once

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "nsapi/nsapi.h"
#include "nsapi/nsapi_loader.h"

namespace qrd_bench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// The library as built next to this benchmark (set by bench/CMakeLists.txt).
inline std::string BuiltLibrary() {
#ifdef QRDSHARE_LIBRARY_PATH
    return QRDSHARE_LIBRARY_PATH;
#else
    return "libqrdshare.so";
#endif
}

// A copy of the library under its own name in folder, with a settings file
// beside it that holds iniText (none when empty), loaded with dlopen.  Each
// copy has its own registry and reads its own settings at load.
class LoadedLibrary : public nsapi::Functions {
public:
    LoadedLibrary(const std::string& folder, const std::string& baseName, const std::string& iniText) {
        namespace fs = std::filesystem;
        path_ = (fs::path(folder) / (baseName + ".so")).string();
        ini_ = (fs::path(folder) / (baseName + ".ini")).string();
        std::error_code ec;
        fs::copy_file(BuiltLibrary(), path_, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            error_ = "cannot copy " + BuiltLibrary() + ": " + ec.message();
            return;
        }
        if (!iniText.empty()) std::ofstream(ini_) << iniText;
        handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            error_ = dlerror();
            return;
        }
        if (const char* missing = nsapi::ResolveFunctions(handle_, *this)) error_ = std::string("missing ") + missing;
    }
    ~LoadedLibrary() {
        if (handle_) dlclose(handle_);
        std::remove(path_.c_str());
        std::remove(ini_.c_str());
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string path_, ini_, error_;
};

// Sequential read() of the whole file in 1 MiB pieces: seconds, or -1.
inline double PlainRead(const std::string& path, uint64_t& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return -1;
    std::vector<char> buffer(1 << 20);
    bytes = 0;
    const auto start = Clock::now();
    ssize_t got;
    while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) bytes += static_cast<uint64_t>(got);
    const double t = SecondsSince(start);
    ::close(fd);
    return t;
}

// The fastest of a few plain reads (the file is read once before, so all
// come from the page cache): the figure every ratio is taken against.
inline double BestPlainRead(const std::string& path, int times = 3) {
    uint64_t bytes = 0;
    PlainRead(path, bytes);
    double best = -1;
    for (int i = 0; i < times; ++i) {
        const double t = PlainRead(path, bytes);
        if (t > 0 && (best < 0 || t < best)) best = t;
    }
    return best;
}

// A fresh folder under /tmp (or under dir when given).
inline std::string MakeFolder(const std::string& dir, const char* prefix) {
    std::string pattern = (dir.empty() ? std::string("/tmp") : dir) + "/" + prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) return std::string();
    return name.data();
}

}  // namespace qrd_bench
