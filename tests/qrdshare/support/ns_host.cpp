#include "support/ns_host.h"

#include <dlfcn.h>

#include <filesystem>

namespace qrd_test {

NsLibrary::NsLibrary(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        error_ = std::string("dlopen failed: ") + (why ? why : path);
        return;
    }
    if (const char* missing = nsapi::ResolveFunctions(handle_, *this))
        error_ = std::string("missing export ") + missing;
}

NsLibrary::~NsLibrary() {
    if (handle_) dlclose(handle_);
}

std::string CopyLibraryTo(const std::string& library, const std::string& dir, const std::string& baseName) {
    namespace fs = std::filesystem;
    const fs::path target = fs::path(dir) / (baseName + ".so");
    fs::copy_file(library, target, fs::copy_options::overwrite_existing);
    return target.string();
}

}  // namespace qrd_test
