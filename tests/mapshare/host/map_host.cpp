#include "map_host.h"

#include <stdexcept>

namespace maptest {
namespace {

MapLibrary load() {
    std::string why;
    void* library = nsapi::OpenLibrary(MAPSHARE_LIBRARY_PATH, &why);
    if (!library) throw std::runtime_error("cannot load mapshare: " + why);
    MapLibrary lib{};
    if (const char* missing = nsapi::ResolveFunctions(library, lib))
        throw std::runtime_error(std::string("missing export ") + missing);
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
