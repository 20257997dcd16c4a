// Reading one segment of a segment entity: a spike cut-out of a spike
// stream, or a sweep of a channel of a triggered recording.
#pragma once

#include <cstdint>
#include <memory>

namespace qrd {

class CQRVAEvent;
class CQRVAStreamFile;
struct EntityRecord;

struct SegmentOutput {
    double* timeStamp = nullptr;
    double* data = nullptr;
    uint32_t dataBufferSize = 0;  // bytes at data: room for dataBufferSize / 8 values
    uint32_t* sampleCount = nullptr;
    uint32_t* unitId = nullptr;
};

// The spike cursor of a spike segment entity: the spike of item `index`
// (-1: none), from which a read of a later item walks on instead of
// starting at the stream's first event.
struct SpikeCursorRef {
    std::unique_ptr<CQRVAEvent>& event;
    int32_t& index;
};

// Segment `index` of the entity.  data receives at most dataBufferSize / 8
// converted samples: a longer segment is cut to what fits, and sampleCount
// tells how many were written (with data null: the segment's length).
// False for an index outside the items or a segment that cannot be found.
bool ReadSpikeSegment(CQRVAStreamFile& file, const EntityRecord& entity, int32_t index, const SegmentOutput& out,
                      SpikeCursorRef cursor);
bool ReadSweepSegment(CQRVAStreamFile& file, const EntityRecord& entity, int32_t index, const SegmentOutput& out);

}  // namespace qrd
