#include "api/entry_points.h"

#include "api/data_queries.h"
#include "api/entity_table.h"
#include "api/file_info.h"
#include "api/info_queries.h"
#include "api/library_info.h"
#include "api/registry.h"
#include "common/host_record_layout.h"
#include "container/stream_file.h"

#include <cstdint>

namespace qrd {
namespace entry {

namespace {

// The argument checks, each answering ns_OK when it passes.  The slot check
// is Hold(): it also takes the file for the rest of the call.

ns_RESULT CheckRange(uint32_t hFile) { return CQRD::IsValidId(hFile) ? ns_OK : ns_BADFILE; }

// Record sizes are demanded exactly: the packed size, or the aligned size of
// a record that has one (nscommon::FillHostRecord then fills that layout).  A
// host built against any other layout is refused instead of having bytes
// written past its record.
template <typename Record>
ns_RESULT CheckRecord(const Record* record, uint32_t size) {
    const bool known = size == sizeof(Record) || nscommon::IsAlignedSize<Record>(size);
    return record != nullptr && known ? ns_OK : ns_LIBERROR;
}

// The entity (of any type) at index entity of a held file, or null.
EntityRecord* FindEntity(const HeldFile& held, uint32_t entity) { return held.Entities().At(entity); }

EntityRecord* FindEntityOfType(const HeldFile& held, uint32_t entity, int32_t type) {
    EntityRecord* record = FindEntity(held, entity);
    return record != nullptr && record->entityType == type ? record : nullptr;
}

}  // namespace

ns_RESULT GetLibraryInfo(ns_LIBRARYINFO* info, uint32_t size) {
    // A host may probe with a null record: nothing to fill, nothing wrong.
    if (info == nullptr) return ns_OK;
    // The all-ones address is the "invalid pointer" value of some hosts.
    if (reinterpret_cast<uintptr_t>(info) == UINTPTR_MAX || size != sizeof(ns_LIBRARYINFO)) return ns_LIBERROR;
    FillLibraryInfo(*info);
    return ns_OK;
}

ns_RESULT OpenFile(CQRD& registry, const char* path, uint32_t* id) { return registry.OpenFile(path, id); }

ns_RESULT GetFileInfo(CQRD& registry, uint32_t hFile, ns_FILEINFO* info, uint32_t size) {
    if (const ns_RESULT r = CheckRange(hFile); r != ns_OK) return r;
    const HeldFile held = registry.Hold(hFile);
    if (!held) return ns_BADFILE;
    if (const ns_RESULT r = CheckRecord(info, size); r != ns_OK) return r;
    nscommon::FillHostRecord(info, size, [&](ns_FILEINFO& r) {
        FillFileInfo(held.File(), static_cast<uint32_t>(held.Entities().Count()), r);
    });
    return ns_OK;
}

ns_RESULT CloseFile(CQRD& registry, uint32_t hFile) { return registry.CloseFile(hFile); }

ns_RESULT GetEntityInfo(CQRD& registry, uint32_t hFile, uint32_t entity, ns_ENTITYINFO* info, uint32_t size) {
    if (const ns_RESULT r = CheckRange(hFile); r != ns_OK) return r;
    if (const ns_RESULT r = CheckRecord(info, size); r != ns_OK) return r;  // size before slot for this call
    const HeldFile held = registry.Hold(hFile);
    if (!held) return ns_BADFILE;
    const EntityRecord* record = FindEntity(held, entity);
    if (record == nullptr) return ns_BADENTITY;
    return FillEntityInfo(held.File(), *record, *info);
}

ns_RESULT GetEventInfo(CQRD& registry, uint32_t hFile, uint32_t entity, ns_EVENTINFO* info, uint32_t size) {
    if (const ns_RESULT r = CheckRange(hFile); r != ns_OK) return r;
    if (const ns_RESULT r = CheckRecord(info, size); r != ns_OK) return r;
    const HeldFile held = registry.Hold(hFile);
    if (!held) return ns_BADFILE;
    const EntityRecord* record = FindEntityOfType(held, entity, kEntityEvent);
    if (record == nullptr) return ns_BADENTITY;
    return FillEventInfo(held.File(), *record, *info);
}

ns_RESULT GetEventData(CQRD& registry, uint32_t hFile, uint32_t entity, uint32_t index, double* timeStamp,
                       void* data, uint32_t dataSize, uint32_t* dataRetSize) {
    if (const ns_RESULT r = CheckRange(hFile); r != ns_OK) return r;
    const HeldFile held = registry.Hold(hFile);
    if (!held) return ns_BADFILE;
    EntityRecord* record = FindEntityOfType(held, entity, kEntityEvent);
    if (record == nullptr) return ns_BADENTITY;
    return ReadEventData(held.File(), *record, index, timeStamp, data, dataSize, dataRetSize)
               ? ns_OK
               : ns_BADINDEX;
}

ns_RESULT GetAnalogInfo(CQRD& registry, uint32_t hFile, uint32_t entity, ns_ANALOGINFO* info, uint32_t size) {
    if (const ns_RESULT r = CheckRange(hFile); r != ns_OK) return r;
    if (const ns_RESULT r = CheckRecord(info, size); r != ns_OK) return r;
    const HeldFile held = registry.Hold(hFile);
    if (!held) return ns_BADFILE;
    const EntityRecord* record = FindEntityOfType(held, entity, kEntityAnalog);
    if (record == nullptr) return ns_BADENTITY;
    return nscommon::FillHostRecord(
        info, size, [&](ns_ANALOGINFO& r) { return FillAnalogInfo(held.File(), *record, r); });
}

ns_RESULT GetAnalogData(CQRD& registry, uint32_t hFile, uint32_t entity, uint32_t startIndex, uint32_t indexCount,
                        uint32_t* contCount, double* data) {
    if (const ns_RESULT r = CheckRange(hFile); r != ns_OK) return r;
    const HeldFile held = registry.Hold(hFile);
    if (!held) return ns_BADFILE;
    EntityRecord* record = FindEntityOfType(held, entity, kEntityAnalog);
    if (record == nullptr) return ns_BADENTITY;
    return ReadAnalogData(held.File(), *record, startIndex, indexCount, contCount, data) ? ns_OK
                                                                                                     : ns_BADINDEX;
}

ns_RESULT GetSegmentInfo(CQRD& registry, uint32_t hFile, uint32_t entity, ns_SEGMENTINFO* info, uint32_t size) {
    if (const ns_RESULT r = CheckRange(hFile); r != ns_OK) return r;
    if (const ns_RESULT r = CheckRecord(info, size); r != ns_OK) return r;
    const HeldFile held = registry.Hold(hFile);
    if (!held) return ns_BADFILE;
    const EntityRecord* record = FindEntityOfType(held, entity, kEntitySegment);
    if (record == nullptr) return ns_BADENTITY;
    return nscommon::FillHostRecord(
        info, size, [&](ns_SEGMENTINFO& r) { return FillSegmentInfo(held.File(), *record, r); });
}

ns_RESULT GetSegmentSourceInfo(CQRD& registry, uint32_t hFile, uint32_t entity, uint32_t source,
                               ns_SEGSOURCEINFO* info, uint32_t size) {
    if (const ns_RESULT r = CheckRange(hFile); r != ns_OK) return r;
    if (const ns_RESULT r = CheckRecord(info, size); r != ns_OK) return r;
    const HeldFile held = registry.Hold(hFile);
    if (!held) return ns_BADFILE;
    const EntityRecord* record = FindEntityOfType(held, entity, kEntitySegment);
    if (record == nullptr) return ns_BADENTITY;
    // Every segment entity has exactly one source, number 0.
    if (source != 0) return ns_BADSOURCE;
    return nscommon::FillHostRecord(
        info, size, [&](ns_SEGSOURCEINFO& r) { return FillSegmentSourceInfo(held.File(), *record, r); });
}

ns_RESULT GetSegmentData(CQRD& registry, uint32_t hFile, uint32_t entity, int32_t index, double* timeStamp,
                         double* data, uint32_t dataBufferSize, uint32_t* sampleCount, uint32_t* unitId) {
    if (const ns_RESULT r = CheckRange(hFile); r != ns_OK) return r;
    const HeldFile held = registry.Hold(hFile);
    if (!held) return ns_BADFILE;
    EntityRecord* record = FindEntityOfType(held, entity, kEntitySegment);
    if (record == nullptr) return ns_BADENTITY;
    return ReadSegmentData(held.File(), *record, index, timeStamp, data, dataBufferSize, sampleCount,
                           unitId)
               ? ns_OK
               : ns_BADINDEX;
}

ns_RESULT GetNeuralInfo(CQRD& registry, uint32_t hFile, uint32_t, ns_NEURALINFO* info, uint32_t size) {
    if (const ns_RESULT r = CheckRange(hFile); r != ns_OK) return r;
    if (const ns_RESULT r = CheckRecord(info, size); r != ns_OK) return r;
    if (!registry.IsOpen(hFile)) return ns_BADFILE;
    // QRD recordings carry no sorted units: no entity is a neural entity, so
    // nothing of the file is read and it need not be held.
    return ns_BADENTITY;
}

ns_RESULT GetNeuralData(CQRD& registry, uint32_t hFile, uint32_t, uint32_t, uint32_t, double*) {
    if (const ns_RESULT r = CheckRange(hFile); r != ns_OK) return r;
    if (!registry.IsOpen(hFile)) return ns_BADFILE;
    return ns_BADENTITY;
}

ns_RESULT GetIndexByTime(CQRD& registry, uint32_t hFile, uint32_t entity, double time, int32_t flag,
                         uint32_t* index) {
    if (const ns_RESULT r = CheckRange(hFile); r != ns_OK) return r;
    const HeldFile held = registry.Hold(hFile);
    if (!held) return ns_BADFILE;
    EntityRecord* record = FindEntity(held, entity);
    if (record == nullptr) return ns_BADENTITY;
    // The index is always written, so there must be somewhere to write it.
    if (index == nullptr) return ns_LIBERROR;
    return IndexByTime(held.File(), *record, time, flag, *index) ? ns_OK : ns_BADINDEX;
}

ns_RESULT GetTimeByIndex(CQRD& registry, uint32_t hFile, uint32_t entity, uint32_t index, double* time) {
    if (const ns_RESULT r = CheckRange(hFile); r != ns_OK) return r;
    const HeldFile held = registry.Hold(hFile);
    if (!held) return ns_BADFILE;
    EntityRecord* record = FindEntity(held, entity);
    if (record == nullptr) return ns_BADENTITY;
    if (time == nullptr) return ns_LIBERROR;
    return TimeByIndex(held.File(), *record, index, *time) ? ns_OK : ns_BADINDEX;
}

ns_RESULT GetLastErrorMsg(char*, uint32_t) {
    // No call of this library records an error text; the host's buffer is
    // left exactly as it was.
    return ns_OK;
}

}  // namespace entry
}  // namespace qrd
