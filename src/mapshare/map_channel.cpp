#include "map_channel.h"

#include "last_error.h"

#include <algorithm>
#include <cmath>

namespace mapshare {

const char* typeName(MapChannelType type) {
    switch (type) {
        case MapChannelType::Port: return "Port";
        case MapChannelType::Continuous: return "Continuous";
        case MapChannelType::Level: return "Level";
        case MapChannelType::WindowDiscriminator: return "Window Discriminator";
        case MapChannelType::Digital: return "Digital";
        case MapChannelType::ExternalTrigger: return "External Trigger";
        case MapChannelType::SortedNeural: return "Sorted Neural";
        case MapChannelType::Empty: break;
    }
    return "Unknown";
}

uint32_t entityTypeOf(MapChannelType type) {
    switch (type) {
        case MapChannelType::Port:
        case MapChannelType::Digital: return 1;
        case MapChannelType::Continuous: return 2;
        case MapChannelType::Level:
        case MapChannelType::WindowDiscriminator:
        case MapChannelType::ExternalTrigger: return 3;
        case MapChannelType::SortedNeural: return 4;
        case MapChannelType::Empty: break;
    }
    return 0;
}

bool isSegmentType(MapChannelType type) {
    return type == MapChannelType::Level || type == MapChannelType::WindowDiscriminator ||
           type == MapChannelType::ExternalTrigger;
}

bool isEventType(MapChannelType type) {
    return type == MapChannelType::Port || type == MapChannelType::Digital;
}

bool hasPreTrigger(MapChannelType type) { return isSegmentType(type); }

MapChannel::MapChannel(MapChannelType type, uint16_t number, float rateKHz, std::string name)
    : type_(type), number_(number), rateKHz_(rateKHz), name_(std::move(name)) {
    if (name_.size() > kMaxNameLength) name_.resize(kMaxNameLength);
}

void MapChannel::noteRateUse() const {
    if (portRateMissing) setLastError("Could not get the port samplingrate");
}

double MapChannel::ticksPerSecond() const {
    const double perSecond = static_cast<double>(rateKHz_) * 1000.0;
    return std::isfinite(perSecond) && perSecond > 0.0 ? perSecond : 0.0;
}

double MapChannel::timeOfTick(int64_t tick) const {
    return static_cast<double>(tick) / (static_cast<double>(rateKHz_) * 1000.0) - timeOffset;
}

void MapChannel::appendBlock(const MapBlock& block) {
    if (blocks_.empty()) {
        minTimeStamp_ = maxTimeStamp_ = block.timeStamp;
        minSampleCount_ = maxSampleCount_ = block.sampleCount;
    } else {
        minTimeStamp_ = std::min(minTimeStamp_, block.timeStamp);
        maxTimeStamp_ = std::max(maxTimeStamp_, block.timeStamp);
        minSampleCount_ = std::min(minSampleCount_, block.sampleCount);
        maxSampleCount_ = std::max(maxSampleCount_, block.sampleCount);
    }
    sampleSum_ += block.sampleCount;
    if (block.unit + 1 > unitCount_) unitCount_ = static_cast<int16_t>(block.unit + 1);
    blocks_.push_back(block);
}

void MapChannel::finishBlocks() {
    blocks_.shrink_to_fit();
    firstItem_.resize(blocks_.size());
    maxEndTick_.resize(blocks_.size());
    uint64_t items = 0;
    int64_t maxEnd = INT64_MIN;
    for (size_t i = 0; i < blocks_.size(); ++i) {
        firstItem_[i] = items;
        items += blocks_[i].sampleCount;
        maxEnd = std::max(maxEnd, blocks_[i].timeStamp + static_cast<int64_t>(blocks_[i].sampleCount));
        maxEndTick_[i] = maxEnd;
    }
}

uint64_t MapChannel::itemCount() const {
    const uint32_t entity = entityType();
    return entity == 3 || entity == 4 ? blocks_.size() : sampleSum_;
}

int64_t MapChannel::blockOfItem(uint64_t item) const {
    if (item >= sampleSum_ || firstItem_.size() != blocks_.size()) return -1;
    // The last block whose first item is not beyond the item holds it; blocks
    // without samples share their first item with the next one and are passed.
    const auto after = std::upper_bound(firstItem_.begin(), firstItem_.end(), item);
    return static_cast<int64_t>(after - firstItem_.begin()) - 1;
}

size_t MapChannel::firstBlockEndingAfter(int64_t tick) const {
    const auto it = std::upper_bound(maxEndTick_.begin(), maxEndTick_.end(), tick);
    return static_cast<size_t>(it - maxEndTick_.begin());
}

}  // namespace mapshare
