// The seventeen Neuroshare entry points of the MAP reader.
//
// Each export empties the last-error text (except ns_GetLastErrorMsg), runs
// its argument checks in a fixed order and answers the code of the first one
// that fails.  No exception leaves an export.
//
// Any export may be called from any thread.  A call that names an open file
// holds it (FileRegistry::hold) until it returns, so a file closed meanwhile
// is never read; calls on one file run in parallel; the last-error text is
// the calling thread's own.
#include "file_registry.h"
#include "info_records.h"
#include "last_error.h"
#include "map_queries.h"
#include "open_file.h"

#include <common/host_record_layout.h>
#include <nsapi/nsapi.h>

#include <cstring>
#include <new>

using namespace mapshare;

namespace {

constexpr const char* kLibraryError = "Linked Library Error";
constexpr const char* kBadFile = "Invalid file handle passed to function";
constexpr const char* kBadEntity = "Invalid or inappropriate entity identifier specified";
constexpr const char* kBadSource = "Invalid source identifier specified";
constexpr const char* kBadIndex = "Invalid entity index or index range specified";

bool isNullHandle(uint32_t handle) { return handle == 0 || handle == 0xFFFFFFFFu; }

ns_RESULT failSet(ns_RESULT code, const char* message) {
    setLastError(message);
    return code;
}

ns_RESULT failOverwrite(ns_RESULT code, const char* message) {
    overwriteLastError(message);
    return code;
}

// Runs an export body; a platform exception becomes a library error.
template <typename Body>
ns_RESULT guarded(Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        setLastError("Memory exception");
    } catch (...) {
        setLastError("Exception");
    }
    return ns_LIBERROR;
}

// The registry and entity checks shared by every call that names an entity.
// On success *file holds the file (and its lock) until the call returns.
ns_RESULT findChannel(uint32_t hFile, uint32_t entity, HeldMapFile* file, const MapChannel** channel) {
    *file = registry().hold(hFile);
    if (!*file) return failSet(ns_BADFILE, kBadFile);
    *channel = (*file)->channel(entity);
    if (!*channel) return failSet(ns_BADENTITY, kBadEntity);
    return ns_OK;
}

// The info calls other than file and entity information: handle, record,
// registry, entity.  On success *file holds the file until the call returns.
template <typename Record>
ns_RESULT infoCall(uint32_t hFile, uint32_t entity, Record* record, uint32_t size, HeldMapFile* file,
                   const MapChannel** channel) {
    if (isNullHandle(hFile)) return failOverwrite(ns_BADFILE, kBadFile);
    if (!record || size < sizeof(Record)) return failOverwrite(ns_LIBERROR, kLibraryError);
    return findChannel(hFile, entity, file, channel);
}

bool isAllOnesAddress(const void* p) {
    const auto address = reinterpret_cast<uintptr_t>(p);
    return address == 0xFFFFFFFFu || address == UINTPTR_MAX;
}

}  // namespace

extern "C" {

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetLibraryInfo(ns_LIBRARYINFO* pLibraryInfo, uint32_t dwLibraryInfoSize) {
    clearLastError();
    if (!pLibraryInfo || isAllOnesAddress(pLibraryInfo) || dwLibraryInfoSize < sizeof(ns_LIBRARYINFO))
        return failOverwrite(ns_LIBERROR, kLibraryError);
    std::memcpy(pLibraryInfo, &libraryInfo(), sizeof(ns_LIBRARYINFO));
    return ns_OK;
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_OpenFile(const char* pszFilename, uint32_t* hFile) {
    clearLastError();
    return guarded([&] { return openRecording(pszFilename, hFile); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetFileInfo(uint32_t hFile, ns_FILEINFO* pFileInfo, uint32_t dwFileInfoSize) {
    clearLastError();
    if (isNullHandle(hFile)) return failOverwrite(ns_LIBERROR, kLibraryError);
    if (!pFileInfo || dwFileInfoSize < sizeof(ns_FILEINFO)) return failOverwrite(ns_LIBERROR, kLibraryError);
    const HeldMapFile file = registry().hold(hFile);
    if (!file) return failSet(ns_BADFILE, kBadFile);
    // Sizes of at least the packed record are accepted; the aligned size gets
    // the aligned layout.
    nscommon::FillHostRecord(pFileInfo, dwFileInfoSize,
                             [&](ns_FILEINFO& r) { std::memcpy(&r, &file->info, sizeof r); });
    return ns_OK;
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_CloseFile(uint32_t hFile) {
    clearLastError();
    return guarded([&] { return closeRecording(hFile); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetEntityInfo(uint32_t hFile, uint32_t dwEntityID, ns_ENTITYINFO* pEntityInfo,
                                                   uint32_t dwEntityInfoSize) {
    clearLastError();
    if (isNullHandle(hFile)) return failOverwrite(ns_LIBERROR, kLibraryError);
    if (!pEntityInfo || dwEntityInfoSize < sizeof(ns_ENTITYINFO)) return failOverwrite(ns_LIBERROR, kLibraryError);
    HeldMapFile file;
    const MapChannel* channel = nullptr;
    const ns_RESULT found = findChannel(hFile, dwEntityID, &file, &channel);
    if (found != ns_OK) return found;
    fillEntityInfo(*channel, *pEntityInfo);
    return ns_OK;
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetEventInfo(uint32_t hFile, uint32_t dwEntityID, ns_EVENTINFO* pEventInfo,
                                                  uint32_t dwEventInfoSize) {
    clearLastError();
    HeldMapFile file;
    const MapChannel* channel = nullptr;
    const ns_RESULT checked = infoCall(hFile, dwEntityID, pEventInfo, dwEventInfoSize, &file, &channel);
    if (checked != ns_OK) return checked;
    if (!isEventType(channel->type())) return failSet(ns_BADENTITY, kBadEntity);
    fillEventInfo(*channel, *pEventInfo);
    return ns_OK;
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetEventData(uint32_t hFile, uint32_t dwEntityID, uint32_t nIndex,
                                                  double* pdTimeStamp, void* pData, uint32_t dwDataSize,
                                                  uint32_t* pdwDataRetSize) {
    clearLastError();
    return guarded([&]() -> ns_RESULT {
        if (isNullHandle(hFile)) return failOverwrite(ns_BADFILE, kBadFile);
        if (!pdTimeStamp) return failSet(ns_LIBERROR, kLibraryError);
        HeldMapFile file;
        const MapChannel* channel = nullptr;
        const ns_RESULT found = findChannel(hFile, dwEntityID, &file, &channel);
        if (found != ns_OK) return found;
        // A continuous channel has no event data: read as events it would be
        // asked for as many samples as the data size in bytes.  Segment and
        // neural channels reach the sample reader, which refuses them with
        // its own message (ns_BADINDEX).
        const bool event = isEventType(channel->type());
        if (!event && !hasBlockItems(*channel)) return failSet(ns_BADENTITY, kBadEntity);
        const uint32_t eventSize = channel->type() == MapChannelType::Digital ? 1 : 2;
        if (event && pData && dwDataSize < eventSize) return failSet(ns_LIBERROR, kLibraryError);
        double value = 0.0;
        double time = 0.0;
        uint32_t copied = 0;
        PieceCache::Query query(file->sampleReader());
        if (!readSamples(query, *channel, nIndex, 1, &value, &time, &copied)) {
            setLastError("GetBlock failed");
            return failSet(ns_BADINDEX, kBadIndex);
        }
        *pdTimeStamp = time;
        if (pdwDataRetSize) *pdwDataRetSize = eventSize;
        if (pData) {
            const auto word = static_cast<int16_t>(value);
            if (eventSize == 1) {
                *static_cast<uint8_t*>(pData) = static_cast<uint8_t>(word & 0xFF);
            } else {
                std::memcpy(pData, &word, sizeof word);
            }
        }
        return ns_OK;
    });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetAnalogInfo(uint32_t hFile, uint32_t dwEntityID, ns_ANALOGINFO* pAnalogInfo,
                                                   uint32_t dwAnalogInfoSize) {
    clearLastError();
    HeldMapFile file;
    const MapChannel* channel = nullptr;
    const ns_RESULT checked = infoCall(hFile, dwEntityID, pAnalogInfo, dwAnalogInfoSize, &file, &channel);
    if (checked != ns_OK) return checked;
    nscommon::FillHostRecord(pAnalogInfo, dwAnalogInfoSize, [&](ns_ANALOGINFO& r) { fillAnalogInfo(*channel, r); });
    return ns_OK;
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetAnalogData(uint32_t hFile, uint32_t dwEntityID, uint32_t dwStartIndex,
                                                   uint32_t dwIndexCount, uint32_t* pdwContCount, double* pdData) {
    clearLastError();
    return guarded([&]() -> ns_RESULT {
        if (isNullHandle(hFile)) return failOverwrite(ns_BADFILE, kBadFile);
        HeldMapFile file;
        const MapChannel* channel = nullptr;
        const ns_RESULT found = findChannel(hFile, dwEntityID, &file, &channel);
        if (found != ns_OK) return found;
        double time = 0.0;
        uint32_t copied = 0;
        PieceCache::Query query(file->sampleReader());
        if (!readSamples(query, *channel, dwStartIndex, dwIndexCount, pdData, &time, &copied)) {
            setLastError("GetBlock failed");
            return failSet(ns_BADINDEX, kBadIndex);
        }
        if (pdwContCount) *pdwContCount = copied;
        return ns_OK;
    });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetSegmentInfo(uint32_t hFile, uint32_t dwEntityID, ns_SEGMENTINFO* pSegmentInfo,
                                                    uint32_t dwSegmentInfoSize) {
    clearLastError();
    HeldMapFile file;
    const MapChannel* channel = nullptr;
    const ns_RESULT checked = infoCall(hFile, dwEntityID, pSegmentInfo, dwSegmentInfoSize, &file, &channel);
    if (checked != ns_OK) return checked;
    nscommon::FillHostRecord(pSegmentInfo, dwSegmentInfoSize, [&](ns_SEGMENTINFO& r) { fillSegmentInfo(*channel, r); });
    return ns_OK;
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetSegmentSourceInfo(uint32_t hFile, uint32_t dwEntityID, uint32_t dwSourceID,
                                                          ns_SEGSOURCEINFO* pSourceInfo, uint32_t dwSourceInfoSize) {
    clearLastError();
    HeldMapFile file;
    const MapChannel* channel = nullptr;
    const ns_RESULT checked = infoCall(hFile, dwEntityID, pSourceInfo, dwSourceInfoSize, &file, &channel);
    if (checked != ns_OK) return checked;
    if (static_cast<int64_t>(dwSourceID) >= channel->unitCount()) return failSet(ns_BADSOURCE, kBadSource);
    nscommon::FillHostRecord(pSourceInfo, dwSourceInfoSize,
                             [&](ns_SEGSOURCEINFO& r) { fillSegmentSourceInfo(*channel, r); });
    return ns_OK;
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetSegmentData(uint32_t hFile, uint32_t dwEntityID, int32_t nIndex,
                                                    double* pdTimeStamp, double* pdData, uint32_t dwDataBufferSize,
                                                    uint32_t* pdwSampleCount, uint32_t* pdwUnitID) {
    clearLastError();
    return guarded([&]() -> ns_RESULT {
        if (isNullHandle(hFile)) return failOverwrite(ns_BADFILE, kBadFile);
        HeldMapFile file;
        const MapChannel* channel = nullptr;
        const ns_RESULT found = findChannel(hFile, dwEntityID, &file, &channel);
        if (found != ns_OK) return found;
        double time = 0.0;
        uint32_t count = 0;
        uint32_t unit = 0;
        // The buffer size is in bytes; no more samples than fit are written.
        const uint32_t capacity = dwDataBufferSize / sizeof(double);
        PieceCache::Query query(file->sampleReader());
        if (!readSegment(query, *channel, nIndex, &time, pdData, capacity, &count, &unit)) {
            setLastError("GetBlock failed");
            return failSet(ns_BADINDEX, kBadIndex);
        }
        if (pdTimeStamp) *pdTimeStamp = time;
        if (pdwSampleCount) *pdwSampleCount = count;
        if (pdwUnitID) *pdwUnitID = unit;
        return ns_OK;
    });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetNeuralInfo(uint32_t hFile, uint32_t dwEntityID, ns_NEURALINFO* pNeuralInfo,
                                                   uint32_t dwNeuralInfoSize) {
    clearLastError();
    HeldMapFile file;
    const MapChannel* channel = nullptr;
    const ns_RESULT checked = infoCall(hFile, dwEntityID, pNeuralInfo, dwNeuralInfoSize, &file, &channel);
    if (checked != ns_OK) return checked;
    // Only Sorted Neural channels have a neural definition to report.
    if (channel->type() != MapChannelType::SortedNeural) return failSet(ns_BADENTITY, kBadEntity);
    fillNeuralInfo(*channel, *pNeuralInfo);
    return ns_OK;
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetNeuralData(uint32_t hFile, uint32_t dwEntityID, uint32_t dwStartIndex,
                                                   uint32_t dwIndexCount, double* pdData) {
    clearLastError();
    return guarded([&]() -> ns_RESULT {
        if (isNullHandle(hFile)) return failOverwrite(ns_BADFILE, kBadFile);
        HeldMapFile file;
        const MapChannel* channel = nullptr;
        const ns_RESULT found = findChannel(hFile, dwEntityID, &file, &channel);
        if (found != ns_OK) return found;
        if (!spikeTimes(*channel, dwStartIndex, dwIndexCount, pdData)) {
            setLastError("GetBlock failed");
            return failSet(ns_BADINDEX, kBadIndex);
        }
        return ns_OK;
    });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetIndexByTime(uint32_t hFile, uint32_t dwEntityID, double dTime, int32_t nFlag,
                                                    uint32_t* pdwIndex) {
    clearLastError();
    return guarded([&]() -> ns_RESULT {
        if (isNullHandle(hFile)) return failOverwrite(ns_BADFILE, kBadFile);
        if (!pdwIndex) return failSet(ns_LIBERROR, kLibraryError);
        HeldMapFile file;
        const MapChannel* channel = nullptr;
        const ns_RESULT found = findChannel(hFile, dwEntityID, &file, &channel);
        if (found != ns_OK) return found;
        if (!indexByTime(*channel, dTime, nFlag, pdwIndex)) {
            setLastError("GetIndexByTime failed");
            return failSet(ns_BADINDEX, kBadIndex);
        }
        return ns_OK;
    });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetTimeByIndex(uint32_t hFile, uint32_t dwEntityID, uint32_t dwIndex,
                                                    double* pdTime) {
    clearLastError();
    return guarded([&]() -> ns_RESULT {
        if (isNullHandle(hFile)) return failOverwrite(ns_BADFILE, kBadFile);
        if (!pdTime) return failSet(ns_LIBERROR, kLibraryError);
        HeldMapFile file;
        const MapChannel* channel = nullptr;
        const ns_RESULT found = findChannel(hFile, dwEntityID, &file, &channel);
        if (found != ns_OK) return found;
        if (!timeByIndex(*channel, dwIndex, pdTime)) {
            setLastError("GetTimeByIndex failed");
            return failSet(ns_BADINDEX, kBadIndex);
        }
        return ns_OK;
    });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetLastErrorMsg(char* pszMsgBuffer, uint32_t dwMsgBufferSize) {
    if (!pszMsgBuffer || dwMsgBufferSize == 0) return failSet(ns_LIBERROR, kLibraryError);
    const char* text = lastErrorText();
    const size_t length = std::min<size_t>(std::strlen(text), dwMsgBufferSize - 1);
    std::memcpy(pszMsgBuffer, text, length);
    pszMsgBuffer[length] = '\0';
    clearLastError();
    return ns_OK;
}

}  // extern "C"
