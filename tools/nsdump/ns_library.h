// A Neuroshare reader library loaded at run time, with its seventeen
// functions resolved by name, the way analysis packages load them.
#pragma once

#include "nsapi/nsapi.h"
#include "nsapi/nsapi_loader.h"

#include <string>

namespace nsdump {

// The seventeen function pointers come from nsapi::Functions.
class NsLibrary : public nsapi::Functions {
public:
    NsLibrary() = default;
    ~NsLibrary();
    NsLibrary(const NsLibrary&) = delete;
    NsLibrary& operator=(const NsLibrary&) = delete;

    // Loads path and resolves every function; false (with error()) when the
    // library cannot be loaded or lacks one of the functions.
    bool Load(const std::string& path);
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

    // The library's last error text, or an empty string.
    std::string LastErrorMessage() const;

private:
    void* handle_ = nullptr;
    std::string path_;
    std::string error_;
};

}  // namespace nsdump
