// Reading one segment of a segment entity: a spike cut-out of a spike
// stream, or a sweep of a channel of a triggered recording.
#pragma once

#include <cstdint>

namespace qrd {

class CQRVAStreamFile;
struct EntityRecord;

struct SegmentOutput {
    double* timeStamp = nullptr;
    double* data = nullptr;
    uint32_t dataBufferSize = 0;  // bytes at data: room for dataBufferSize / 8 values
    uint32_t* sampleCount = nullptr;
    uint32_t* unitId = nullptr;
};

// Segment `index` of the entity.  data receives at most dataBufferSize / 8
// converted samples: a longer segment is cut to what fits, and sampleCount
// tells how many were written (with data null: the segment's length).
// False for an index outside the items or a segment that cannot be found.
// A spike is read from the position recorded for it when the spikes were
// counted, out of its chunk's payload in the file's payload cache (or with
// one read of the record), whatever order the items are read in.
bool ReadSpikeSegment(CQRVAStreamFile& file, const EntityRecord& entity, int32_t index, const SegmentOutput& out);
bool ReadSweepSegment(CQRVAStreamFile& file, const EntityRecord& entity, int32_t index, const SegmentOutput& out);

}  // namespace qrd
