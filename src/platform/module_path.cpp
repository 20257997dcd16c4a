#include "platform/module_path.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <vector>

namespace nsplatform {

#ifdef _WIN32

std::string ModulePathOf(const void* address) {
    // Look the module up by an address inside it, without taking a reference
    // on it: the caller is that module, so it stays loaded while it asks.
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module)) {
        return std::string();
    }
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    // A length of MAX_PATH means the path was cut short.
    if (length == 0 || length >= MAX_PATH) return std::string();
    return std::string(path, length);
}

std::string ProgramPath() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) return std::string(path.data(), length);
        if (path.size() >= 32768) return std::string();
        path.resize(path.size() * 2);
    }
}

#else

std::string ModulePathOf(const void* address) {
    // dladdr names the file the loader mapped the address from: the shared
    // library when the caller runs inside one, else the program.
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return std::string();
    return info.dli_fname;
}

std::string ProgramPath() {
    std::vector<char> path(4096);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
        if (length <= 0) return std::string();
        if (static_cast<size_t>(length) < path.size()) return std::string(path.data(), static_cast<size_t>(length));
        if (path.size() >= (1u << 20)) return std::string();
        path.resize(path.size() * 2);
    }
}

#endif

}  // namespace nsplatform
