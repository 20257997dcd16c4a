// Segment entities of a spike stream: one per channel of group 0, each
// holding the spikes that belong to its channel (spike_channel_match.h).
#include "api/entity_build_steps.h"
#include "api/entity_table.h"
#include "api/item_time.h"
#include "api/spike_channel_match.h"
#include "container/channel.h"
#include "container/chunk.h"
#include "container/stream.h"
#include "contents/event.h"
#include "contents/event_spike.h"

#include <algorithm>
#include <memory>

namespace qrd {

namespace {

// Groups above this mark a stream the reader does not understand.
constexpr uint32_t kMaxChannelGroup = 128;
// Shortest-segment start value: any real spike is shorter.
constexpr int32_t kNoSegmentYet = 10000000;

}  // namespace

bool AddSpikeEntities(EntityBuild& build, CQRVAStream& stream, int32_t streamIndex, const std::string& tag) {
    const uint32_t channelCount = stream.GetChannelCount();
    for (uint32_t i = 0; i < channelCount; ++i) {
        const CQRVAChannel* channel = stream.GetChannel(i);
        if (channel == nullptr || channel->GetGroup() > kMaxChannelGroup) return false;
    }

    std::vector<EntityRecord*> records;
    for (uint32_t i = 0; i < channelCount; ++i) {
        const CQRVAChannel* channel = stream.GetChannel(i);
        if (channel->GetGroup() != 0) continue;
        EntityRecord& record = build.table.Add();
        record.streamTag = tag;
        record.streamIndex = streamIndex;
        record.channelNumber = channel->GetChannelNumber();
        record.channelPosition = static_cast<int32_t>(i);
        record.hardwareIndex = channel->GetHardwareIndex();
        record.channelLabel = channel->GetLabel();
        record.entityType = kEntitySegment;
        record.blockLength = 1;
        record.minSampleCount = kNoSegmentYet;
        record.maxSampleCount = 0;
        record.itemCount = 0;
        records.push_back(&record);
    }

    auto chunks = std::make_shared<std::vector<SpikeChunk>>();
    for (EntityRecord* record : records) record->spikeChunks = chunks;
    const SpikeChannelMatch match = SpikeChannelMatch::OfStream(stream);
    std::unique_ptr<CQRVAEvent> event(stream.FirstEvent());
    for (bool more = event != nullptr; more; more = event->Next()) {
        const CQRVAEvtSpike* spike = EventCast<CQRVAEvtSpike>(event.get());
        if (spike == nullptr) break;  // not a spike stream after all
        const int32_t slot = match.TargetOf(spike->GetHardwareIndex());
        if (slot < 0 || static_cast<size_t>(slot) >= records.size()) continue;
        EntityRecord& target = *records[static_cast<size_t>(slot)];
        ItemBlock block;
        block.firstIndex = static_cast<uint32_t>(target.itemCount);
        block.count = 1;
        block.startTime = ItemTime(spike->GetTimeStamp(), build.timeOffset);
        target.blocks.push_back(block);
        const CQRVAChunk* chunk = event->GetChunk();
        const uint64_t dataOffset = chunk ? static_cast<uint64_t>(chunk->GetDataOffset()) : 0;
        if (chunks->empty() || chunks->back().dataOffset != dataOffset)
            chunks->push_back(SpikeChunk{dataOffset, chunk ? chunk->GetDataSize() : 0, 0});
        ++chunks->back().spikes;
        SpikePosition at;
        at.offset = event->GetCurrentOffset();
        at.chunk = static_cast<uint32_t>(chunks->size() - 1);
        at.sampleCount = spike->GetSampleCount();
        target.spikes.push_back(at);
        target.minSampleCount = std::min(target.minSampleCount, spike->GetSampleCount());
        target.maxSampleCount = std::max(target.maxSampleCount, spike->GetSampleCount());
        ++target.itemCount;
    }
    return true;
}

}  // namespace qrd
