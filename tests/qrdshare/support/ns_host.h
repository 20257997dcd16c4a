// A minimal Neuroshare host for tests: loads a library (dlopen, LoadLibrary)
// exactly as an analysis package does and resolves the seventeen entry points
// by name.
#pragma once

#include "nsapi/nsapi.h"
#include "nsapi/nsapi_loader.h"

#include <string>

namespace qrd_test {

// The seventeen function pointers come from nsapi::Functions.
class NsLibrary : public nsapi::Functions {
public:
    // Loads the library at path (nsapi::OpenLibrary).  ok() tells whether
    // the library loaded and every one of the seventeen names resolved.
    explicit NsLibrary(const std::string& path);
    ~NsLibrary();
    NsLibrary(const NsLibrary&) = delete;
    NsLibrary& operator=(const NsLibrary&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

// Path of the built libqrdshare.so (qrdshare.dll).  The test build defines
// QRDSHARE_LIBRARY_PATH for every test program but not for this support
// library, hence inline here: call it from test programs only.
inline std::string QrdshareLibraryPath() {
#ifdef QRDSHARE_LIBRARY_PATH
    return QRDSHARE_LIBRARY_PATH;
#else
    return "libqrdshare.so";
#endif
}

// Copies a library into dir as <baseName> with the library's own extension
// (.so, .dll).  Give every copy a file name no other loaded library has: the
// system then loads a fresh instance with its own registry, which reads its
// own settings file <dir>/<baseName>.ini.
std::string CopyLibraryTo(const std::string& library, const std::string& dir, const std::string& baseName);

}  // namespace qrd_test
