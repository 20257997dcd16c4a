// Entities of a raw-data stream (electrode, analog, channel-tool, filtered and
// digital data).
//
// Continuous recording: per channel one analog entity holding all samples in
// one block; a digital channel is followed by its 16 bit entities.
// Sweep recording: per channel an analog entity whose blocks are the sweeps
// (its samples are the sweeps one after another), again followed by the bit
// entities of a digital channel; then per channel one segment entity whose
// items are the sweeps.
#include "api/digital_edge_scan.h"
#include "api/entity_build_steps.h"
#include "api/entity_table.h"
#include "api/item_time.h"
#include "api/stream_kind.h"
#include "container/channel.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"

#include <algorithm>
#include <limits>

namespace qrd {

namespace {

constexpr int32_t kNoSegmentYet = 10000000;
constexpr uint64_t kMaxItems = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());

EntityRecord& AddChannelRecord(EntityBuild& build, const CQRVAChannel& channel, int32_t streamIndex,
                               const std::string& tag, int32_t type) {
    EntityRecord& record = build.table.Add();
    record.streamTag = tag;
    record.streamIndex = streamIndex;
    record.channelNumber = channel.GetChannelNumber();
    // The sample column is the channel's hardware index (its position in the
    // interleaved samples for every recorder that stores it correctly).
    record.channelPosition = channel.GetHardwareIndex();
    record.channelLabel = channel.GetLabel();
    record.entityType = type;
    return record;
}

BitRecords AddBitRecords(EntityBuild& build, const EntityRecord& analog) {
    BitRecords bits{};
    for (int32_t bit = 0; bit < 16; ++bit) {
        EntityRecord& record = build.table.Add();
        record.streamTag = analog.streamTag;
        record.streamIndex = analog.streamIndex;
        record.channelNumber = analog.channelNumber;
        record.channelPosition = analog.channelPosition;
        record.channelLabel = analog.channelLabel;
        record.bitNumber = bit;
        record.entityType = kEntityEvent;
        record.blockLength = 1;
        record.itemCount = 0;
        bits[static_cast<size_t>(bit)] = &record;
    }
    return bits;
}

// A column outside the stream's channels would read another channel's
// values (or past the end of an instant): such a channel has no samples to
// scan.
bool ColumnInStream(const CQRVAStream& stream, int32_t column) {
    return column >= 0 && static_cast<uint32_t>(column) < stream.GetChannelCount();
}

void AddContinuous(EntityBuild& build, CQRVAStream& stream, int32_t streamIndex, const std::string& tag) {
    const uint32_t channelCount = stream.GetChannelCount();
    // A stream without a sample rate has no sample times: its channels report
    // no samples (and so no edges).
    uint64_t total = stream.GetSampleRate() == 0 ? 0 : stream.TotalSampleCount();
    // The count comes from the header's start and stop times; a damaged
    // header must not claim more samples than the file can hold.
    total = std::min({total, MaxSamplesPerChannel(build.file, channelCount), kMaxItems});
    const bool digital = IsDigitalTag(tag);

    for (uint32_t i = 0; i < channelCount; ++i) {
        const CQRVAChannel* channel = stream.GetChannel(i);
        if (channel == nullptr) continue;
        EntityRecord& analog = AddChannelRecord(build, *channel, streamIndex, tag, kEntityAnalog);
        analog.itemCount = static_cast<int32_t>(total);
        if (total > 0) analog.blocks.push_back(ItemBlock{0, static_cast<uint32_t>(total), build.timeOffset, 0, 0, 0});
        analog.blockLength = 0;
        if (!digital) continue;
        BitRecords bits = AddBitRecords(build, analog);
        if (ColumnInStream(stream, analog.channelPosition))
            ScanContinuousEdges(stream, static_cast<uint32_t>(analog.channelPosition), total, build.timeOffset, bits);
    }
}

struct Sweeps {
    std::vector<ItemBlock> blocks;  // firstIndex = cumulative sample index, count = samples per channel
    uint64_t total = 0;
    int32_t shortest = kNoSegmentYet;
    int32_t longest = 0;
    int32_t common = -1;  // -1 no sweep yet, 0 lengths differ, else the one length
};

Sweeps CollectSweeps(EntityBuild& build, CQRVAStream& stream) {
    Sweeps sweeps;
    const uint32_t channelCount = stream.GetChannelCount();
    const int sweepCount = std::max(0, build.file.BuildIndex());
    const uint64_t longestPossible = MaxSamplesPerChannel(build.file, channelCount);
    for (int w = 0; w < sweepCount; ++w) {
        // No sweep can hold more samples than the file; a damaged index
        // cannot make the entity larger than that.
        const uint64_t length = std::min<uint64_t>(stream.SweepSampleCount(static_cast<uint32_t>(w)) / channelCount,
                                                   longestPossible);
        if (sweeps.total + length > kMaxItems) break;
        std::unique_ptr<CQRVATimeStamp> start = build.file.GetSweepStart(static_cast<uint32_t>(w));
        const double startTime = start ? ItemTime(*start, build.timeOffset) : build.timeOffset;
        sweeps.blocks.push_back(
            ItemBlock{static_cast<uint32_t>(sweeps.total), static_cast<uint32_t>(length), startTime, 0, 0, 0});
        const int32_t len = static_cast<int32_t>(length);
        sweeps.shortest = std::min(sweeps.shortest, len);
        sweeps.longest = std::max(sweeps.longest, len);
        if (sweeps.common == -1) {
            sweeps.common = len;
        } else if (sweeps.common != len) {
            sweeps.common = 0;
        }
        sweeps.total += length;
    }
    return sweeps;
}

void AddSweepMode(EntityBuild& build, CQRVAStream& stream, int32_t streamIndex, const std::string& tag) {
    const uint32_t channelCount = stream.GetChannelCount();
    if (channelCount == 0) return;  // nothing to divide the sweeps among
    // Without a sample rate a sweep has no samples and no sample times: such
    // a stream's entities have no items.
    const Sweeps sweeps = stream.GetSampleRate() != 0 ? CollectSweeps(build, stream) : Sweeps();
    const bool digital = IsDigitalTag(tag) && stream.GetSampleRate() != 0;

    for (uint32_t i = 0; i < channelCount; ++i) {
        const CQRVAChannel* channel = stream.GetChannel(i);
        if (channel == nullptr) continue;
        EntityRecord& analog = AddChannelRecord(build, *channel, streamIndex, tag, kEntityAnalog);
        analog.itemCount = static_cast<int32_t>(sweeps.total);
        analog.blocks = sweeps.blocks;
        analog.blockLength = sweeps.common;
        if (!IsDigitalTag(tag)) continue;
        BitRecords bits = AddBitRecords(build, analog);
        if (digital && ColumnInStream(stream, analog.channelPosition))
            ScanSweepEdges(stream, static_cast<uint32_t>(analog.channelPosition), sweeps.blocks, bits);
    }

    // A segment entity's items are the sweeps, numbered from 0: its blocks
    // carry the sweep number, so index/time conversions answer in sweeps.
    std::vector<ItemBlock> segments = sweeps.blocks;
    for (size_t w = 0; w < segments.size(); ++w) {
        segments[w].firstIndex = static_cast<uint32_t>(w);
        segments[w].count = 1;
    }
    for (uint32_t i = 0; i < channelCount; ++i) {
        const CQRVAChannel* channel = stream.GetChannel(i);
        if (channel == nullptr) continue;
        EntityRecord& segment = AddChannelRecord(build, *channel, streamIndex, tag, kEntitySegment);
        segment.itemCount = static_cast<int32_t>(segments.size());
        segment.minSampleCount = sweeps.shortest;
        segment.maxSampleCount = sweeps.longest;
        segment.blockLength = 1;
        segment.blocks = segments;
    }
}

}  // namespace

void AddRawDataEntities(EntityBuild& build, CQRVAStream& stream, int32_t streamIndex, const std::string& tag) {
    if (build.file.GetRecordingMode() == 0) {
        AddContinuous(build, stream, streamIndex, tag);
    } else {
        AddSweepMode(build, stream, streamIndex, tag);
    }
}

}  // namespace qrd
