#include "api/spike_channel_match.h"

#include "container/channel.h"
#include "container/stream.h"

namespace qrd {

SpikeChannelMatch SpikeChannelMatch::OfStream(const CQRVAStream& stream) {
    std::vector<int32_t> indexes;
    std::vector<int32_t> positions;
    const uint32_t count = stream.GetChannelCount();
    for (uint32_t i = 0; i < count; ++i) {
        const CQRVAChannel* channel = stream.GetChannel(i);
        if (channel == nullptr || channel->GetGroup() != 0) continue;
        indexes.push_back(channel->GetHardwareIndex());
        positions.push_back(static_cast<int32_t>(i));
    }
    return SpikeChannelMatch(std::move(indexes), std::move(positions));
}

int32_t SpikeChannelMatch::TargetOf(uint16_t spikeHardwareIndex) const {
    const int32_t c = static_cast<int16_t>(spikeHardwareIndex);
    for (size_t slot = 0; slot < hardwareIndexes_.size(); ++slot) {
        if (hardwareIndexes_[slot] == c) return static_cast<int32_t>(slot);
    }
    if (c >= 0 && static_cast<size_t>(c) < hardwareIndexes_.size()) return c;
    return -1;
}

int32_t SpikeChannelMatch::SlotOfPosition(int32_t position) const {
    for (size_t slot = 0; slot < positions_.size(); ++slot) {
        if (positions_[slot] == position) return static_cast<int32_t>(slot);
    }
    return -1;
}

}  // namespace qrd
