// Opens arbitrary bytes through the Neuroshare entry points (which build the
// entity table) and asks every entity for its info record, a few items and
// index/time conversions.  Every call must answer with a result code; no
// read or write may leave its buffer, and nothing may allocate beyond what
// the input can hold.  Output buffers are sized exactly as the call is told.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "api/entry_points.h"
#include "api/registry.h"
#include "memory_file.h"

namespace {

namespace entry = qrd::entry;

constexpr uint32_t kMaxEntities = 64;
constexpr uint32_t kItemsTried = 4;

void Probe(qrd::CQRD& registry, uint32_t id, uint32_t e) {
    ns_ENTITYINFO info;
    if (entry::GetEntityInfo(registry, id, e, &info, sizeof info) != ns_OK) return;
    const uint32_t items = info.dwItemCount;
    double t = 0;
    uint32_t index = 0;
    for (double at : {-1.0, 0.0, 0.0005, 1.0, 1e9}) {
        for (int32_t flag : {ns_BEFORE, ns_CLOSEST, ns_AFTER}) entry::GetIndexByTime(registry, id, e, at, flag, &index);
    }
    for (uint32_t i : {0u, 1u, items / 2, items - 1, items, 0xFFFFFFFFu}) entry::GetTimeByIndex(registry, id, e, i, &t);

    switch (info.dwEntityType) {
        case ns_ENTITY_EVENT: {
            ns_EVENTINFO ev;
            entry::GetEventInfo(registry, id, e, &ev, sizeof ev);
            uint8_t data[4];
            uint32_t size = 0;
            for (uint32_t i = 0; i < kItemsTried && i < items; ++i)
                entry::GetEventData(registry, id, e, i, &t, data, sizeof data, &size);
            entry::GetEventData(registry, id, e, items, &t, data, 1, &size);
            break;
        }
        case ns_ENTITY_ANALOG: {
            ns_ANALOGINFO an;
            entry::GetAnalogInfo(registry, id, e, &an, sizeof an);
            ns_ANALOGINFO_ALIGNED anAligned;
            entry::GetAnalogInfo(registry, id, e, reinterpret_cast<ns_ANALOGINFO*>(&anAligned), sizeof anAligned);
            std::vector<double> data(64);
            uint32_t cont = 0;
            entry::GetAnalogData(registry, id, e, 0, items < 64 ? items : 64, &cont, data.data());
            if (items > 64) entry::GetAnalogData(registry, id, e, items - 64, 64, &cont, data.data());
            entry::GetAnalogData(registry, id, e, 0xFFFFFFF0u, 64, &cont, data.data());
            break;
        }
        case ns_ENTITY_SEGMENT: {
            ns_SEGMENTINFO seg;
            entry::GetSegmentInfo(registry, id, e, &seg, sizeof seg);
            ns_SEGMENTINFO_ALIGNED segAligned;
            entry::GetSegmentInfo(registry, id, e, reinterpret_cast<ns_SEGMENTINFO*>(&segAligned), sizeof segAligned);
            ns_SEGSOURCEINFO source;
            entry::GetSegmentSourceInfo(registry, id, e, 0, &source, sizeof source);
            ns_SEGSOURCEINFO_ALIGNED sourceAligned;
            entry::GetSegmentSourceInfo(registry, id, e, 0, reinterpret_cast<ns_SEGSOURCEINFO*>(&sourceAligned),
                                        sizeof sourceAligned);
            std::vector<double> data(32);
            uint32_t count = 0, unit = 0;
            for (int32_t i : {0, 1, 0, 2, static_cast<int32_t>(items) - 1, static_cast<int32_t>(items)})
                entry::GetSegmentData(registry, id, e, i, &t, data.data(),
                                      static_cast<uint32_t>(data.size() * sizeof(double)), &count, &unit);
            break;
        }
        default:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzinput::MemoryFile& input = fuzzinput::InputFile();
    if (!input.assign(data, size)) return 0;
    qrd::CQRD registry;
    uint32_t id = 0;
    if (entry::OpenFile(registry, input.path().c_str(), &id) != ns_OK) return 0;
    ns_FILEINFO file;
    entry::GetFileInfo(registry, id, &file, sizeof file);
    ns_FILEINFO_ALIGNED aligned;
    entry::GetFileInfo(registry, id, reinterpret_cast<ns_FILEINFO*>(&aligned), sizeof aligned);
    for (uint32_t e = 0; e < file.dwEntityCount && e < kMaxEntities; ++e) Probe(registry, id, e);
    entry::CloseFile(registry, id);
    return 0;
}
