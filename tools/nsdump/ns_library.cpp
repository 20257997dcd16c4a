#include "ns_library.h"

#include <cstring>

namespace nsdump {

NsLibrary::~NsLibrary() { nsapi::CloseLibrary(handle_); }

bool NsLibrary::Load(const std::string& path) {
    path_ = path;
    handle_ = nsapi::OpenLibrary(path.c_str(), &error_);
    if (handle_ == nullptr) return false;
    if (const char* missing = nsapi::ResolveFunctions(handle_, *this)) {
        error_ = std::string("the library does not export ") + missing;
        return false;
    }
    return true;
}

std::string NsLibrary::LastErrorMessage() const {
    if (GetLastErrorMsg == nullptr) return std::string();
    char buffer[257];
    std::memset(buffer, 0, sizeof buffer);
    // One byte more than we offer, so the text always ends in a NUL.
    if (GetLastErrorMsg(buffer, sizeof buffer - 1) != ns_OK) return std::string();
    return std::string(buffer);
}

}  // namespace nsdump
