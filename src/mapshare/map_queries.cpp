#include "map_queries.h"

#include "last_error.h"
#include "map_channel.h"
#include "sample_reader.h"

#include <algorithm>
#include <cmath>

namespace mapshare {
namespace {

constexpr int kBefore = -1;
constexpr int kClosest = 0;
constexpr int kAfter = 1;

// Times need a rate that turns ticks into seconds; a channel without one
// (a port whose digital channel is missing, a definition saying 0) can
// answer no time and no tick.
bool requireRate(const MapChannel& c) {
    if (c.ticksPerSecond() > 0.0) return true;
    setLastError("Invalid sampling rate");
    return false;
}

}  // namespace

bool hasBlockItems(const MapChannel& c) { return c.entityType() == 3 || c.entityType() == 4; }

uint32_t unitIdBit(int16_t unit) { return unit >= 0 && unit <= 31 ? 1u << unit : 0u; }

bool readSamples(SampleReader& reader, const MapChannel& channel, uint64_t first, uint32_t count, double* values,
                 double* time, uint32_t* copied) {
    *copied = 0;
    if (hasBlockItems(channel)) {
        setLastError("Don't use this function with segment channels");
        return false;
    }
    // Nothing asked for from the end of the items: a host reading a channel
    // whole as (0, item count) reads an empty channel this way.
    if (count == 0 && first == channel.itemCount()) return true;
    if (!requireRate(channel)) return false;
    int64_t k = channel.blockOfItem(first);
    if (k < 0) {
        setLastError("Sample not found");
        setLastError("GetSampleContainer failed");
        return false;
    }
    const auto& blocks = channel.blocks();
    uint64_t offset = first - channel.firstItemOfBlock(static_cast<size_t>(k));
    *time = channel.timeOfTick(channel.startTick(blocks[static_cast<size_t>(k)]) + static_cast<int64_t>(offset));

    if (isEventType(channel.type())) {
        // An event block carries one value, whatever its item count says.
        if (values && count > 0) {
            values[0] = blocks[static_cast<size_t>(k)].value;
            *copied = 1;
        }
        return true;
    }
    if (!values || count == 0) return true;

    auto b = static_cast<size_t>(k);
    const MapBlock* previous = nullptr;
    for (;;) {
        const MapBlock& block = blocks[b];
        // Samples are handed out only while each block starts where the one
        // before ended; a block at tick 0 cannot be the end of a gap.
        if (previous && channel.startTick(*previous) != 0 && previous->sampleCount != 0 &&
            channel.startTick(block) != channel.startTick(*previous) + static_cast<int64_t>(previous->sampleCount))
            return true;
        const auto wanted = static_cast<uint32_t>(std::min<uint64_t>(block.sampleCount - offset, count - *copied));
        const int64_t got =
            reader.read(channel, b, static_cast<uint32_t>(offset), wanted, count - *copied - wanted, values + *copied);
        if (got < 0) return false;
        if (got < static_cast<int64_t>(wanted)) return true;   // the file ended: keep what the earlier blocks gave
        *copied += wanted;
        if (*copied == count) return true;
        previous = &block;
        // The next block with samples holds the next item; there is none
        // past the last sample.
        do {
            ++b;
        } while (b < blocks.size() && blocks[b].sampleCount == 0);
        if (b == blocks.size()) return true;
        offset = 0;
    }
}

bool readSegment(SampleReader& reader, const MapChannel& channel, int32_t index, double* time, double* values,
                 uint32_t capacity, uint32_t* count, uint32_t* unitId) {
    *count = 0;
    *unitId = 0;
    if (channel.entityType() != 3) {
        setLastError("This function should be used with segment channels only");
        return false;
    }
    if (index < 0 || static_cast<size_t>(index) >= channel.blocks().size()) {
        setLastError("Requested index unavailable");
        return false;
    }
    if (!requireRate(channel)) return false;
    const MapBlock& block = channel.blocks()[static_cast<size_t>(index)];
    *time = channel.timeOfTick(channel.startTick(block));
    if (!values) return true;
    const int64_t got =
        reader.read(channel, static_cast<size_t>(index), 0, std::min<uint32_t>(block.sampleCount, capacity), 0, values);
    if (got < 0) return false;
    *count = static_cast<uint32_t>(got);
    *unitId = unitIdBit(block.unit);
    return true;
}

bool spikeTimes(const MapChannel& channel, uint32_t start, uint32_t count, double* times) {
    if (channel.entityType() != 4) {
        setLastError("This function should be used with neural channels only");
        return false;
    }
    const auto& blocks = channel.blocks();
    // As for samples: nothing asked for from the end of the spikes.
    if (count == 0 && start == blocks.size()) return true;
    if (start >= blocks.size()) {
        setLastError("Requested index unavailable");
        return false;
    }
    if (!requireRate(channel)) return false;
    if (!times || count == 0) return true;
    // Spikes past the last one are not there to report: the range as a whole
    // is refused and nothing is written.
    if (static_cast<uint64_t>(start) + count > blocks.size()) {
        setLastError("Requested index unavailable");
        return false;
    }
    for (uint32_t k = 0; k < count; ++k) times[k] = channel.timeOfTick(channel.startTick(blocks[start + k]));
    return true;
}

bool indexByTime(const MapChannel& channel, double time, int32_t flag, uint32_t* index) {
    if (!(time >= 0.0)) {
        setLastError("Negative time");
        return false;
    }
    if (!requireRate(channel)) return false;
    // Truncated toward zero, not rounded: the tick that holds the time.  The
    // product is always taken in the order seconds x kHz x 1000, so a time
    // names the same tick in every build; a sample's own time may then land
    // just below its tick (42 / 10 kHz gives 41.99999999999999) and name the
    // sample before.
    double ticks = (time + channel.timeOffset) * static_cast<double>(channel.rateKHz()) * 1000.0;
    if (std::isnan(ticks)) {
        setLastError("Negative time");
        return false;
    }
    ticks = std::max(-9.0e18, std::min(9.0e18, ticks));
    const auto tick = static_cast<int64_t>(ticks);

    const auto& blocks = channel.blocks();
    const bool perBlock = hasBlockItems(channel);
    // Items before block k: samples for sample entities, k for block entities.
    auto itemsBefore = [&](size_t k) { return perBlock ? static_cast<uint64_t>(k) : channel.firstItemOfBlock(k); };
    const uint64_t total = perBlock ? blocks.size() : channel.sampleSum();

    const size_t k = channel.firstBlockEndingAfter(tick);
    uint64_t result = 0;
    if (k == blocks.size()) {
        // Past the last block: the last item, but nothing comes after it.
        if (flag == kAfter) {
            setLastError("Could not find index");
            return false;
        }
        result = total > 0 ? total - 1 : 0;
    } else if (channel.startTick(blocks[k]) > tick) {
        // In the gap before block k.  Before the first block every flag
        // answers item 0.
        const uint64_t idx = itemsBefore(k);
        const uint64_t before = idx > 0 ? idx - 1 : 0;
        switch (flag) {
            case kBefore: result = before; break;
            case kAfter: result = idx; break;
            case kClosest: {
                if (k == 0) {
                    result = idx;
                    break;
                }
                // Measured from the start of the previous block, not its
                // last sample: the answer rests on block start times alone.
                const int64_t fromPrevious = tick - channel.startTick(blocks[k - 1]);
                const int64_t toNext = channel.startTick(blocks[k]) - tick;
                result = fromPrevious > toNext ? idx : before;
                break;
            }
            default:
                setLastError("Unkown flag");
                return false;
        }
    } else {
        result = itemsBefore(k) + (perBlock ? 0 : static_cast<uint64_t>(tick - channel.startTick(blocks[k])));
    }
    *index = static_cast<uint32_t>(result);
    return true;
}

bool timeByIndex(const MapChannel& channel, uint32_t index, double* time) {
    const auto& blocks = channel.blocks();
    if (hasBlockItems(channel)) {
        if (index >= blocks.size()) {
            setLastError("Requested index is out of range");
            return false;
        }
        if (!requireRate(channel)) return false;
        *time = channel.timeOfTick(channel.startTick(blocks[index]));
        return true;
    }
    *time = 0.0;
    if (!requireRate(channel)) return false;
    const int64_t k = channel.blockOfItem(index);
    if (k < 0) {
        setLastError("GetTimeByIndex failed");
        return false;
    }
    const uint64_t offset = index - channel.firstItemOfBlock(static_cast<size_t>(k));
    *time = channel.timeOfTick(channel.startTick(blocks[static_cast<size_t>(k)]) + static_cast<int64_t>(offset));
    return true;
}

}  // namespace mapshare
