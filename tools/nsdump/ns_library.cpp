#include "ns_library.h"

#include <dlfcn.h>

#include <cstring>

namespace nsdump {

namespace {

template <typename Fn>
bool Resolve(void* handle, const char* name, Fn& out, std::string& error) {
    void* sym = dlsym(handle, name);
    if (sym == nullptr) {
        error = std::string("the library does not export ") + name;
        return false;
    }
    // POSIX lets a dlsym result stand for a function; copy the bits rather
    // than rely on a data-to-function pointer cast.
    static_assert(sizeof out == sizeof sym, "function and data pointers differ in size");
    std::memcpy(&out, &sym, sizeof out);
    return true;
}

}  // namespace

NsLibrary::~NsLibrary() {
    if (handle_) dlclose(handle_);
}

bool NsLibrary::Load(const std::string& path) {
    path_ = path;
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        error_ = why ? why : "dlopen failed";
        return false;
    }
    return Resolve(handle_, "ns_GetLibraryInfo", GetLibraryInfo, error_) &&
           Resolve(handle_, "ns_OpenFile", OpenFile, error_) &&
           Resolve(handle_, "ns_GetFileInfo", GetFileInfo, error_) &&
           Resolve(handle_, "ns_CloseFile", CloseFile, error_) &&
           Resolve(handle_, "ns_GetEntityInfo", GetEntityInfo, error_) &&
           Resolve(handle_, "ns_GetEventInfo", GetEventInfo, error_) &&
           Resolve(handle_, "ns_GetEventData", GetEventData, error_) &&
           Resolve(handle_, "ns_GetAnalogInfo", GetAnalogInfo, error_) &&
           Resolve(handle_, "ns_GetAnalogData", GetAnalogData, error_) &&
           Resolve(handle_, "ns_GetSegmentInfo", GetSegmentInfo, error_) &&
           Resolve(handle_, "ns_GetSegmentSourceInfo", GetSegmentSourceInfo, error_) &&
           Resolve(handle_, "ns_GetSegmentData", GetSegmentData, error_) &&
           Resolve(handle_, "ns_GetNeuralInfo", GetNeuralInfo, error_) &&
           Resolve(handle_, "ns_GetNeuralData", GetNeuralData, error_) &&
           Resolve(handle_, "ns_GetIndexByTime", GetIndexByTime, error_) &&
           Resolve(handle_, "ns_GetTimeByIndex", GetTimeByIndex, error_) &&
           Resolve(handle_, "ns_GetLastErrorMsg", GetLastErrorMsg, error_);
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
