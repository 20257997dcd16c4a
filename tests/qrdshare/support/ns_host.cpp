#include "support/ns_host.h"

#include <dlfcn.h>

#include <cstring>
#include <filesystem>

namespace qrd_test {

const char* const kNeuroshareFunctionNames[17] = {
    "ns_GetLibraryInfo", "ns_OpenFile",         "ns_GetFileInfo",          "ns_CloseFile",
    "ns_GetEntityInfo",  "ns_GetEventInfo",     "ns_GetEventData",         "ns_GetAnalogInfo",
    "ns_GetAnalogData",  "ns_GetSegmentInfo",   "ns_GetSegmentSourceInfo", "ns_GetSegmentData",
    "ns_GetNeuralInfo",  "ns_GetNeuralData",    "ns_GetIndexByTime",       "ns_GetTimeByIndex",
    "ns_GetLastErrorMsg"};

namespace {

template <typename Fn>
void Resolve(void* handle, const char* name, Fn& out, std::string& error) {
    void* sym = dlsym(handle, name);
    if (sym == nullptr) {
        if (error.empty()) error = std::string("missing export ") + name;
        return;
    }
    // POSIX guarantees that a data pointer from dlsym converts to a function
    // pointer; memcpy avoids relying on the compiler accepting the cast.
    static_assert(sizeof(out) == sizeof(sym), "function and data pointers differ in size");
    std::memcpy(&out, &sym, sizeof out);
}

}  // namespace

NsLibrary::NsLibrary(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* why = dlerror();
        error_ = std::string("dlopen failed: ") + (why ? why : path);
        return;
    }
    Resolve(handle_, "ns_GetLibraryInfo", GetLibraryInfo, error_);
    Resolve(handle_, "ns_OpenFile", OpenFile, error_);
    Resolve(handle_, "ns_GetFileInfo", GetFileInfo, error_);
    Resolve(handle_, "ns_CloseFile", CloseFile, error_);
    Resolve(handle_, "ns_GetEntityInfo", GetEntityInfo, error_);
    Resolve(handle_, "ns_GetEventInfo", GetEventInfo, error_);
    Resolve(handle_, "ns_GetEventData", GetEventData, error_);
    Resolve(handle_, "ns_GetAnalogInfo", GetAnalogInfo, error_);
    Resolve(handle_, "ns_GetAnalogData", GetAnalogData, error_);
    Resolve(handle_, "ns_GetSegmentInfo", GetSegmentInfo, error_);
    Resolve(handle_, "ns_GetSegmentSourceInfo", GetSegmentSourceInfo, error_);
    Resolve(handle_, "ns_GetSegmentData", GetSegmentData, error_);
    Resolve(handle_, "ns_GetNeuralInfo", GetNeuralInfo, error_);
    Resolve(handle_, "ns_GetNeuralData", GetNeuralData, error_);
    Resolve(handle_, "ns_GetIndexByTime", GetIndexByTime, error_);
    Resolve(handle_, "ns_GetTimeByIndex", GetTimeByIndex, error_);
    Resolve(handle_, "ns_GetLastErrorMsg", GetLastErrorMsg, error_);
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
