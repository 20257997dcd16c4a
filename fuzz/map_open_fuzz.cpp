// Opens arbitrary bytes as a MAP recording and walks every entity with every
// query.  Any crash, hang, sanitizer report or write past an output is a find.
#include <nsapi/nsapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string& inputPath() {
    static const std::string path = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/mapfuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        return pattern + "/input.map";
    }();
    return path;
}

// Queries one entity with every call that could apply; the answers are not
// checked, only that each call returns and stays inside its outputs.
void walkEntity(uint32_t file, uint32_t entity) {
    ns_ENTITYINFO info{};
    if (ns_GetEntityInfo(file, entity, &info, sizeof info) != ns_OK) return;
    ns_EVENTINFO event{};
    ns_ANALOGINFO analog{};
    ns_SEGMENTINFO segment{};
    ns_SEGSOURCEINFO source{};
    ns_NEURALINFO neural{};
    ns_GetEventInfo(file, entity, &event, sizeof event);
    ns_GetAnalogInfo(file, entity, &analog, sizeof analog);
    ns_GetSegmentInfo(file, entity, &segment, sizeof segment);
    for (uint32_t s = 0; s < std::min<uint32_t>(segment.dwSourceCount, 4) + 1; ++s)
        ns_GetSegmentSourceInfo(file, entity, s, &source, sizeof source);
    ns_GetNeuralInfo(file, entity, &neural, sizeof neural);

    const uint32_t items = std::min<uint32_t>(info.dwItemCount, 64) + 1;
    std::vector<double> values(256);
    for (uint32_t i = 0; i < items; ++i) {
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
    double time = 0;
    uint32_t index = 0;
    ns_GetTimeByIndex(file, entity, info.dwItemCount, &time);
    ns_GetIndexByTime(file, entity, 1e12, ns_BEFORE, &index);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(inputPath().c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    uint32_t file = 0;
    if (ns_OpenFile(inputPath().c_str(), &file) == ns_OK) {
        ns_FILEINFO info{};
        ns_GetFileInfo(file, &info, sizeof info);
        for (uint32_t e = 0; e < std::min<uint32_t>(info.dwEntityCount, 64) + 1; ++e) walkEntity(file, e);
        ns_CloseFile(file);
    }
    char message[256];
    ns_GetLastErrorMsg(message, sizeof message);
    return 0;
}
