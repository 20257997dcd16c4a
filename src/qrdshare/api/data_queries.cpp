#include "api/data_queries.h"

#include "api/analog_read.h"
#include "api/entity_table.h"
#include "api/index_by_time.h"
#include "api/segment_read.h"
#include "api/stream_kind.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "contents/event.h"

#include <cstring>

namespace qrd {

namespace {

uint32_t RateOf(const CQRVAStreamFile& file, const EntityRecord& entity) {
    const CQRVAStream* stream =
        entity.streamIndex >= 0 ? file.GetStream(static_cast<uint32_t>(entity.streamIndex)) : nullptr;
    return stream ? stream->GetSampleRate() : 0;
}

BlockList BlocksOf(const CQRVAStreamFile& file, const EntityRecord& entity) {
    return BlockList{entity.blocks, static_cast<uint32_t>(entity.itemCount > 0 ? entity.itemCount : 0),
                     RateOf(file, entity)};
}

}  // namespace

bool ReadEventData(CQRVAStreamFile&, EntityRecord& entity, uint32_t index, double* timeStamp, void* data,
                   uint32_t dataSize, uint32_t* dataRetSize) {
    if (entity.itemCount <= 0 || index >= static_cast<uint32_t>(entity.itemCount) || index >= entity.blocks.size())
        return false;
    const ItemBlock& item = entity.blocks[index];
    const bool trigger = IsTriggerTag(entity.streamTag);
    if (timeStamp) *timeStamp = item.startTime;
    if (data != nullptr) {
        if (trigger) {
            // Two 16-bit words: the detector's event value, then the trigger
            // word.  A buffer too small for both gets nothing (a lone byte
            // would mean nothing); the returned size tells what it needs.
            if (dataSize >= 4) {
                const uint16_t words[2] = {item.eventValue, item.triggerWord};
                std::memcpy(data, words, sizeof words);
            }
        } else if (dataSize >= 1) {
            std::memcpy(data, &item.edge, 1);
        }
    }
    if (dataRetSize) *dataRetSize = trigger ? 4 : 1;
    return true;
}

bool ReadAnalogData(CQRVAStreamFile& file, EntityRecord& entity, uint32_t startIndex, uint32_t indexCount,
                    uint32_t* contCount, double* data) {
    return ReadAnalogWindow(file, entity, startIndex, indexCount, contCount, data);
}

bool ReadSegmentData(CQRVAStreamFile& file, EntityRecord& entity, int32_t index, double* timeStamp, double* data,
                     uint32_t dataBufferSize, uint32_t* sampleCount, uint32_t* unitId) {
    const SegmentOutput out{timeStamp, data, dataBufferSize, sampleCount, unitId};
    if (IsSpikeTag(entity.streamTag))
        return ReadSpikeSegment(file, entity, index, out);
    if (StreamKindOfTag(entity.streamTag) == StreamKind::kRawData) return ReadSweepSegment(file, entity, index, out);
    return false;
}

bool IndexByTime(CQRVAStreamFile& file, EntityRecord& entity, double time, int32_t flag, uint32_t& index) {
    return IndexAtTime(BlocksOf(file, entity), time, flag, entity.timeOrdered, index);
}

bool TimeByIndex(CQRVAStreamFile& file, EntityRecord& entity, uint32_t index, double& time) {
    return TimeOfIndex(BlocksOf(file, entity), entity.blockLength, index, time);
}

}  // namespace qrd
