// Which segment entity a spike of a "spks" stream belongs to.
//
// Every channel of group 0 of a spike stream is one segment entity.  A spike
// names its channel by a 16-bit hardware index: it belongs to the first
// group-0 channel (in channel order) with that hardware index or, when no
// channel has it, to the group-0 channel at that position (older recorders
// wrote positions there).  The entity table counts spikes with this rule and
// keeps where each counted spike lies, so the segment reader reads item k of
// an entity from that very record: the same spike for its time, its samples
// and its unit.
#pragma once

#include <cstdint>
#include <cstddef>
#include <utility>
#include <vector>

namespace qrd {

class CQRVAStream;

class SpikeChannelMatch {
public:
    SpikeChannelMatch() = default;
    // positions[k] is the channel position of slot k (for SlotOfPosition).
    SpikeChannelMatch(std::vector<int32_t> hardwareIndexes, std::vector<int32_t> positions)
        : hardwareIndexes_(std::move(hardwareIndexes)), positions_(std::move(positions)) {}

    // The group-0 channels of a stream, in channel order.
    static SpikeChannelMatch OfStream(const CQRVAStream& stream);

    size_t Count() const { return hardwareIndexes_.size(); }
    int32_t HardwareIndexAt(size_t slot) const { return hardwareIndexes_[slot]; }

    // Slot (0-based among the group-0 channels) of the channel a spike with
    // this hardware index belongs to, or -1 when it belongs to none.  The
    // index is read as a signed 16-bit value, so 0x8000 to 0xFFFF are
    // negative and can only match by equal hardware index, never by position.
    int32_t TargetOf(uint16_t spikeHardwareIndex) const;

    // Slot of the group-0 channel at a channel position, or -1.
    int32_t SlotOfPosition(int32_t position) const;

private:
    std::vector<int32_t> hardwareIndexes_;
    std::vector<int32_t> positions_;
};

}  // namespace qrd
