// Opens arbitrary bytes as a MAP recording and walks every entity with every
// query.  Any crash, hang, sanitizer report or write past an output is a find.
#include <nsapi/nsapi.h>

#include "map_writer.h"
#include "memory_file.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// mapshare opens a recording by a path ending in ".map" and reads the
// defaults file beside it.  A folder holds input.map, a link to the input in
// memory, and a defaults file that pairs digital and port channels with
// analog ones, so the mapping into neural entities is fuzzed as well.
struct InputFolder {
    maptest::TempDir dir;
    std::string recording = dir.file("input.map");
    InputFolder() {
        if (::symlink(fuzzinput::InputFile().path().c_str(), recording.c_str()) != 0) std::abort();
        if (!maptest::writeDefaults(dir.path(), {{1, 1002}, {1, 1033}, {2, 0}, {3, 1001}})) std::abort();
    }
};

// The items worth asking for: the first few, the middle, the last and the
// two just past the end.
std::vector<uint32_t> itemsToTry(uint32_t count) {
    std::vector<uint32_t> items{0, 1, 2, count / 2, count - 1, count, count + 1};
    const uint64_t last = uint64_t{count} + 1;
    items.erase(std::remove_if(items.begin(), items.end(), [last](uint32_t i) { return i > last; }), items.end());
    return items;
}

// Queries one entity with every call that could apply; the answers are not
// checked, only that each call returns and stays inside its outputs.
void walkEntity(uint32_t file, uint32_t entity) {
    ns_ENTITYINFO info{};
    if (ns_GetEntityInfo(file, entity, &info, sizeof info) != ns_OK) return;
    ns_EVENTINFO event{};
    ns_ANALOGINFO analog{};
    ns_ANALOGINFO_ALIGNED analogAligned{};
    ns_SEGMENTINFO segment{};
    ns_SEGMENTINFO_ALIGNED segmentAligned{};
    ns_SEGSOURCEINFO source{};
    ns_SEGSOURCEINFO_ALIGNED sourceAligned{};
    ns_NEURALINFO neural{};
    ns_GetEventInfo(file, entity, &event, sizeof event);
    ns_GetAnalogInfo(file, entity, &analog, sizeof analog);
    ns_GetAnalogInfo(file, entity, reinterpret_cast<ns_ANALOGINFO*>(&analogAligned), sizeof analogAligned);
    ns_GetSegmentInfo(file, entity, &segment, sizeof segment);
    ns_GetSegmentInfo(file, entity, reinterpret_cast<ns_SEGMENTINFO*>(&segmentAligned), sizeof segmentAligned);
    for (uint32_t s = 0; s < std::min<uint32_t>(segment.dwSourceCount, 4) + 1; ++s) {
        ns_GetSegmentSourceInfo(file, entity, s, &source, sizeof source);
        ns_GetSegmentSourceInfo(file, entity, s, reinterpret_cast<ns_SEGSOURCEINFO*>(&sourceAligned),
                                sizeof sourceAligned);
    }
    ns_GetNeuralInfo(file, entity, &neural, sizeof neural);

    std::vector<double> values(256);
    for (uint32_t i : itemsToTry(info.dwItemCount)) {
        double time = 0;
        uint32_t count = 0, unit = 0, index = 0;
        uint16_t word = 0;
        ns_GetEventData(file, entity, i, &time, &word, sizeof word, &count);
        ns_GetAnalogData(file, entity, i, static_cast<uint32_t>(values.size()), &count, values.data());
        ns_GetSegmentData(file, entity, static_cast<int32_t>(i) - 1, &time, values.data(),
                          static_cast<uint32_t>(values.size() * sizeof(double)), &count, &unit);
        ns_GetNeuralData(file, entity, i, 4, values.data());
        if (ns_GetTimeByIndex(file, entity, i, &time) == ns_OK) {
            for (int flag = -1; flag <= 2; ++flag) ns_GetIndexByTime(file, entity, time, flag, &index);
        }
        ns_GetIndexByTime(file, entity, i * 0.001, ns_CLOSEST, &index);
    }
    // The whole entity as a host reads it, and nothing from its end.
    uint32_t count = 0;
    const uint32_t whole = std::min<uint32_t>(info.dwItemCount, static_cast<uint32_t>(values.size()));
    ns_GetAnalogData(file, entity, 0, whole, &count, values.data());
    ns_GetAnalogData(file, entity, info.dwItemCount, 0, &count, values.data());
    ns_GetNeuralData(file, entity, 0, whole, values.data());
    ns_GetNeuralData(file, entity, info.dwItemCount, 0, values.data());
    double time = 0;
    uint32_t index = 0;
    ns_GetTimeByIndex(file, entity, info.dwItemCount, &time);
    ns_GetIndexByTime(file, entity, 1e12, ns_BEFORE, &index);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const InputFolder folder;
    if (!fuzzinput::InputFile().assign(data, size)) return 0;

    uint32_t file = 0;
    if (ns_OpenFile(folder.recording.c_str(), &file) == ns_OK) {
        ns_FILEINFO info{};
        ns_FILEINFO_ALIGNED aligned{};
        ns_GetFileInfo(file, &info, sizeof info);
        ns_GetFileInfo(file, reinterpret_cast<ns_FILEINFO*>(&aligned), sizeof aligned);
        for (uint32_t e = 0; e < std::min<uint32_t>(info.dwEntityCount, 64) + 1; ++e) walkEntity(file, e);
        ns_CloseFile(file);
    }
    char message[256];
    ns_GetLastErrorMsg(message, sizeof message);
    return 0;
}
