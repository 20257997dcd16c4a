// A minimal Neuroshare host for tests: loads a library with dlopen exactly as
// an analysis package does and resolves the seventeen entry points by name.
#pragma once

#include "nsapi/nsapi.h"

#include <string>

namespace qrd_test {

class NsLibrary {
public:
    // Loads the library at path (RTLD_NOW | RTLD_LOCAL).  ok() tells whether
    // the library loaded and every one of the seventeen names resolved.
    explicit NsLibrary(const std::string& path);
    ~NsLibrary();
    NsLibrary(const NsLibrary&) = delete;
    NsLibrary& operator=(const NsLibrary&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    NS_GETLIBRARYINFO GetLibraryInfo = nullptr;
    NS_OPENFILE OpenFile = nullptr;
    NS_GETFILEINFO GetFileInfo = nullptr;
    NS_CLOSEFILE CloseFile = nullptr;
    NS_GETENTITYINFO GetEntityInfo = nullptr;
    NS_GETEVENTINFO GetEventInfo = nullptr;
    NS_GETEVENTDATA GetEventData = nullptr;
    NS_GETANALOGINFO GetAnalogInfo = nullptr;
    NS_GETANALOGDATA GetAnalogData = nullptr;
    NS_GETSEGMENTINFO GetSegmentInfo = nullptr;
    NS_GETSEGMENTSOURCEINFO GetSegmentSourceInfo = nullptr;
    NS_GETSEGMENTDATA GetSegmentData = nullptr;
    NS_GETNEURALINFO GetNeuralInfo = nullptr;
    NS_GETNEURALDATA GetNeuralData = nullptr;
    NS_GETINDEXBYTIME GetIndexByTime = nullptr;
    NS_GETTIMEBYINDEX GetTimeByIndex = nullptr;
    NS_GETLASTERRORMSG GetLastErrorMsg = nullptr;

private:
    void* handle_ = nullptr;
    std::string error_;
};

// The seventeen names every Neuroshare library exports.
extern const char* const kNeuroshareFunctionNames[17];

// Path of the built libqrdshare.so.  The test build defines
// QRDSHARE_LIBRARY_PATH for every test program but not for this support
// library, hence inline here: call it from test programs only.
inline std::string QrdshareLibraryPath() {
#ifdef QRDSHARE_LIBRARY_PATH
    return QRDSHARE_LIBRARY_PATH;
#else
    return "libqrdshare.so";
#endif
}

// Copies a library into dir as <baseName>.so.  Give every copy a file name no
// other loaded library has: dlopen then maps a fresh instance with its own
// registry, which reads its own settings file <dir>/<baseName>.ini.
std::string CopyLibraryTo(const std::string& library, const std::string& dir, const std::string& baseName);

}  // namespace qrd_test
