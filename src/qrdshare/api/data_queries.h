// Bodies of the data calls.  They run after the entry point's checks have
// passed and report success or failure; the entry point turns a failure into
// ns_BADINDEX.  Null output pointers are skipped (index and time outputs are
// checked non-null by the entry point before these run).
#pragma once

#include <cstdint>

namespace qrd {

class CQRVAStreamFile;
struct EntityRecord;

bool ReadEventData(CQRVAStreamFile& file, EntityRecord& entity, uint32_t index, double* timeStamp, void* data,
                   uint32_t dataSize, uint32_t* dataRetSize);
bool ReadAnalogData(CQRVAStreamFile& file, EntityRecord& entity, uint32_t startIndex, uint32_t indexCount,
                    uint32_t* contCount, double* data);
bool ReadSegmentData(CQRVAStreamFile& file, EntityRecord& entity, int32_t index, double* timeStamp, double* data,
                     uint32_t dataBufferSize, uint32_t* sampleCount, uint32_t* unitId);
bool IndexByTime(CQRVAStreamFile& file, EntityRecord& entity, double time, int32_t flag, uint32_t& index);
bool TimeByIndex(CQRVAStreamFile& file, EntityRecord& entity, uint32_t index, double& time);

}  // namespace qrd
