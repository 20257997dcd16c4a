// A Neuroshare reader library loaded at run time, with its seventeen
// functions resolved by name, the way analysis packages load them.
#pragma once

#include "nsapi/nsapi.h"

#include <string>

namespace nsdump {

class NsLibrary {
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
    std::string path_;
    std::string error_;
};

}  // namespace nsdump
