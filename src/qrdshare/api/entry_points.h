// The seventeen Neuroshare calls of qrdshare, as plain C++ functions on a
// registry.  The exported C functions (exports.cpp) only forward here and
// stop exceptions; keeping the logic in the core library lets tests drive it
// with a registry of their own.
//
// Every call checks its arguments in a fixed order and returns the code of
// the first check that fails:
//   range   identifier 0 or above 256                      ns_BADFILE
//   slot    no file open under the identifier              ns_BADFILE
//   size    record size neither the record's packed size   ns_LIBERROR
//           nor its aligned size (ns_FILEINFO 408,
//           ns_ANALOGINFO 272, ns_SEGMENTINFO 56,
//           ns_SEGSOURCEINFO 256, filled in that layout);
//           a null record pointer is refused the same way
//   entity  entity index not below the file's entity count ns_BADENTITY
//   type    entity of another type than the call serves    ns_BADENTITY
// and only then does the work.  Outputs are written only in the fields the
// call fills.
//
// The calls may come from any thread.  A call that passes the slot check
// holds the file (CQRD::Hold) until it returns, so it sees the file either
// open for the whole call or, when ns_CloseFile got there first, not at all
// (ns_BADFILE).
#pragma once

#include "nsapi/nsapi.h"

#include <cstdint>

namespace qrd {

class CQRD;

namespace entry {

ns_RESULT GetLibraryInfo(ns_LIBRARYINFO* info, uint32_t size);
ns_RESULT OpenFile(CQRD& registry, const char* path, uint32_t* id);
ns_RESULT GetFileInfo(CQRD& registry, uint32_t hFile, ns_FILEINFO* info, uint32_t size);
ns_RESULT CloseFile(CQRD& registry, uint32_t hFile);
ns_RESULT GetEntityInfo(CQRD& registry, uint32_t hFile, uint32_t entity, ns_ENTITYINFO* info, uint32_t size);
ns_RESULT GetEventInfo(CQRD& registry, uint32_t hFile, uint32_t entity, ns_EVENTINFO* info, uint32_t size);
ns_RESULT GetEventData(CQRD& registry, uint32_t hFile, uint32_t entity, uint32_t index, double* timeStamp,
                       void* data, uint32_t dataSize, uint32_t* dataRetSize);
ns_RESULT GetAnalogInfo(CQRD& registry, uint32_t hFile, uint32_t entity, ns_ANALOGINFO* info, uint32_t size);
ns_RESULT GetAnalogData(CQRD& registry, uint32_t hFile, uint32_t entity, uint32_t startIndex, uint32_t indexCount,
                        uint32_t* contCount, double* data);
ns_RESULT GetSegmentInfo(CQRD& registry, uint32_t hFile, uint32_t entity, ns_SEGMENTINFO* info, uint32_t size);
ns_RESULT GetSegmentSourceInfo(CQRD& registry, uint32_t hFile, uint32_t entity, uint32_t source,
                               ns_SEGSOURCEINFO* info, uint32_t size);
ns_RESULT GetSegmentData(CQRD& registry, uint32_t hFile, uint32_t entity, int32_t index, double* timeStamp,
                         double* data, uint32_t dataBufferSize, uint32_t* sampleCount, uint32_t* unitId);
ns_RESULT GetNeuralInfo(CQRD& registry, uint32_t hFile, uint32_t entity, ns_NEURALINFO* info, uint32_t size);
ns_RESULT GetNeuralData(CQRD& registry, uint32_t hFile, uint32_t entity, uint32_t startIndex, uint32_t indexCount,
                        double* data);
ns_RESULT GetIndexByTime(CQRD& registry, uint32_t hFile, uint32_t entity, double time, int32_t flag,
                         uint32_t* index);
ns_RESULT GetTimeByIndex(CQRD& registry, uint32_t hFile, uint32_t entity, uint32_t index, double* time);
ns_RESULT GetLastErrorMsg(char* buffer, uint32_t size);

}  // namespace entry
}  // namespace qrd
