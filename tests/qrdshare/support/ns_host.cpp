#include "support/ns_host.h"

#include <filesystem>

namespace qrd_test {

NsLibrary::NsLibrary(const std::string& path) {
    std::string why;
    handle_ = nsapi::OpenLibrary(path.c_str(), &why);
    if (handle_ == nullptr) {
        error_ = "cannot load " + path + ": " + why;
        return;
    }
    if (const char* missing = nsapi::ResolveFunctions(handle_, *this))
        error_ = std::string("missing export ") + missing;
}

NsLibrary::~NsLibrary() { nsapi::CloseLibrary(handle_); }

std::string CopyLibraryTo(const std::string& library, const std::string& dir, const std::string& baseName) {
    namespace fs = std::filesystem;
    const fs::path target = fs::path(dir) / (baseName + fs::path(library).extension().string());
    fs::copy_file(library, target, fs::copy_options::overwrite_existing);
    return target.string();
}

}  // namespace qrd_test
