#include "api/segment_read.h"

#include "api/entity_build_steps.h"
#include "api/entity_table.h"
#include "api/sample_scale.h"
#include "api/spike_channel_match.h"
#include "api/stream_kind.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "contents/event.h"
#include "contents/event_spike.h"

#include <algorithm>
#include <vector>

namespace qrd {

namespace {

// Writes the samples of a segment (as many as the host's buffer holds) and
// its count, unit and time.
void WriteSegment(const std::vector<uint16_t>& raw, const SampleScale& scale, uint32_t unit, double time,
                  const SegmentOutput& out) {
    uint32_t reported = static_cast<uint32_t>(raw.size());
    if (out.data != nullptr) {
        const size_t fits = std::min<size_t>(raw.size(), out.dataBufferSize / sizeof(double));
        scale.Convert(raw.data(), fits, out.data);
        reported = static_cast<uint32_t>(fits);
    }
    if (out.sampleCount) *out.sampleCount = reported;
    if (out.unitId) *out.unitId = unit;
    if (out.timeStamp) *out.timeStamp = time;
}

bool InItems(const EntityRecord& entity, int32_t index) {
    return index >= 0 && index < entity.itemCount && static_cast<size_t>(index) < entity.blocks.size();
}

}  // namespace

bool ReadSpikeSegment(CQRVAStreamFile& file, const EntityRecord& entity, int32_t index, const SegmentOutput& out,
                      SpikeCursorRef cursor) {
    if (!InItems(entity, index)) return false;
    CQRVAStream* stream = file.GetStream(static_cast<uint32_t>(entity.streamIndex));
    if (stream == nullptr) return false;
    const SpikeChannelMatch match = SpikeChannelMatch::OfStream(*stream);
    const int32_t slot = match.SlotOfPosition(entity.channelPosition);
    if (slot < 0) return false;

    // Walk on from the cursor when it stands at or before the wanted item,
    // else from the stream's first event.  The walk takes the cursor; it is
    // given back only when the walk finds its spike, so a failed walk leaves
    // no cursor behind and the next read starts from the beginning.
    std::unique_ptr<CQRVAEvent> walker;
    int32_t n = index;
    if (cursor.event && cursor.index >= 0 && cursor.index <= index) {
        walker = std::move(cursor.event);
        n = index - cursor.index;
    } else {
        walker.reset(stream->FirstEvent());
    }
    cursor.event.reset();
    cursor.index = -1;
    if (!walker) return false;

    // The same rule that counted the spikes for the entity finds them here,
    // so item k's samples, unit and time belong to one spike.
    const CQRVAEvtSpike* spike = nullptr;
    for (;;) {
        spike = EventCast<CQRVAEvtSpike>(walker.get());
        if (spike == nullptr) return false;
        if (match.TargetOf(spike->GetHardwareIndex()) == slot) {
            if (n == 0) break;
            --n;
        }
        if (!walker->Next()) return false;  // the stream ended first
    }

    const int32_t length = std::max(spike->GetSampleCount(), 0);
    std::vector<uint16_t> raw(static_cast<size_t>(length));
    if (out.data != nullptr) spike->CopySamples(raw.data(), raw.size());
    const uint32_t unit = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(spike->GetUnitId())));
    WriteSegment(raw, StreamScale(*stream), unit, entity.blocks[static_cast<size_t>(index)].startTime, out);

    cursor.event = std::move(walker);
    cursor.index = index;
    return true;
}

bool ReadSweepSegment(CQRVAStreamFile& file, const EntityRecord& entity, int32_t index, const SegmentOutput& out) {
    if (!InItems(entity, index)) return false;
    CQRVAStream* stream = file.GetStream(static_cast<uint32_t>(entity.streamIndex));
    if (stream == nullptr) return false;
    const uint32_t channelCount = stream->GetChannelCount();
    if (entity.channelPosition < 0 || static_cast<uint32_t>(entity.channelPosition) >= channelCount) return false;
    const uint32_t sweep = static_cast<uint32_t>(index);
    // The sweep's length comes from its start and end times; it cannot hold
    // more samples than the file.
    const uint64_t length =
        std::min<uint64_t>(stream->SweepSampleCount(sweep) / channelCount, MaxSamplesPerChannel(file, channelCount));
    std::vector<uint16_t> raw(static_cast<size_t>(length), 0);
    if (out.data != nullptr && length > 0) {
        stream->ReadSweepChannel(raw.data(), static_cast<uint32_t>(length), sweep,
                                 static_cast<uint32_t>(entity.channelPosition));
    }
    const SampleScale scale = IsDigitalTag(entity.streamTag) ? UnscaledSamples() : StreamScale(*stream);
    WriteSegment(raw, scale, 0, entity.blocks[static_cast<size_t>(index)].startTime, out);
    return true;
}

}  // namespace qrd
