#include "map_host.h"

#include <dlfcn.h>

#include <stdexcept>

namespace maptest {
namespace {

template <typename F>
void resolve(void* library, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(library, name));
    if (!function) throw std::runtime_error(std::string("missing export ") + name);
}

MapLibrary load() {
    void* library = dlopen(MAPSHARE_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!library) throw std::runtime_error(std::string("cannot load mapshare: ") + dlerror());
    MapLibrary lib{};
    resolve(library, "ns_GetLibraryInfo", lib.GetLibraryInfo);
    resolve(library, "ns_OpenFile", lib.OpenFile);
    resolve(library, "ns_GetFileInfo", lib.GetFileInfo);
    resolve(library, "ns_CloseFile", lib.CloseFile);
    resolve(library, "ns_GetEntityInfo", lib.GetEntityInfo);
    resolve(library, "ns_GetEventInfo", lib.GetEventInfo);
    resolve(library, "ns_GetEventData", lib.GetEventData);
    resolve(library, "ns_GetAnalogInfo", lib.GetAnalogInfo);
    resolve(library, "ns_GetAnalogData", lib.GetAnalogData);
    resolve(library, "ns_GetSegmentInfo", lib.GetSegmentInfo);
    resolve(library, "ns_GetSegmentSourceInfo", lib.GetSegmentSourceInfo);
    resolve(library, "ns_GetSegmentData", lib.GetSegmentData);
    resolve(library, "ns_GetNeuralInfo", lib.GetNeuralInfo);
    resolve(library, "ns_GetNeuralData", lib.GetNeuralData);
    resolve(library, "ns_GetIndexByTime", lib.GetIndexByTime);
    resolve(library, "ns_GetTimeByIndex", lib.GetTimeByIndex);
    resolve(library, "ns_GetLastErrorMsg", lib.GetLastErrorMsg);
    return lib;
}

}  // namespace

const MapLibrary& mapLib() {
    static const MapLibrary lib = load();
    return lib;
}

std::string MapLibrary::lastError() const {
    char text[256];
    std::memset(text, 'x', sizeof text);
    if (GetLastErrorMsg(text, sizeof text) != ns_OK) return "<GetLastErrorMsg failed>";
    return text;
}

OpenRecording::OpenRecording(const std::string& path) : result_(mapLib().OpenFile(path.c_str(), &handle_)) {}

OpenRecording::~OpenRecording() {
    if (result_ == ns_OK) mapLib().CloseFile(handle_);
}

ns_FILEINFO OpenRecording::info() const {
    ns_FILEINFO info{};
    EXPECT_EQ(mapLib().GetFileInfo(handle_, &info, sizeof info), ns_OK);
    return info;
}

ns_ENTITYINFO OpenRecording::entity(uint32_t index) const {
    ns_ENTITYINFO info{};
    EXPECT_EQ(mapLib().GetEntityInfo(handle_, index, &info, sizeof info), ns_OK) << "entity " << index;
    return info;
}

uint32_t OpenRecording::find(const std::string& label) const {
    for (uint32_t i = 0; i < info().dwEntityCount; ++i)
        if (label == entity(i).szEntityLabel) return i;
    return UINT32_MAX;
}

}  // namespace maptest
