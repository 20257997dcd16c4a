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

MapChannel::MapChannel(MapChannelType type, uint16_t number, float rateKHz, std::string name, TableArena* tables)
    : type_(type),
      number_(number),
      rateKHz_(rateKHz),
      name_(std::move(name)),
      blocks_(TableAllocator<MapBlock>(tables)),
      firstItem_(TableAllocator<uint32_t>(tables)),
      maxEndTick_(TableAllocator<int64_t>(tables)) {
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
        minStamp_ = maxStamp_ = block.stamp;
        minSampleCount_ = maxSampleCount_ = block.sampleCount;
    } else {
        minStamp_ = std::min(minStamp_, block.stamp);
        maxStamp_ = std::max(maxStamp_, block.stamp);
        minSampleCount_ = std::min<uint32_t>(minSampleCount_, block.sampleCount);
        maxSampleCount_ = std::max<uint32_t>(maxSampleCount_, block.sampleCount);
    }
    sampleSum_ += block.sampleCount;
    if (block.unit + 1 > unitCount_) unitCount_ = static_cast<int16_t>(block.unit + 1);
    blocks_.push_back(block);
}

void MapChannel::finishBlocks() {
    // Parsing reserves by prediction, and reserved memory that is never
    // written costs nothing; copying the list to trim it would cost as much
    // as the prediction saved, so only a list that is mostly unused is trimmed.
    if (blocks_.capacity() / 2 > blocks_.size() + 64) blocks_.shrink_to_fit();
    // The tables are filled by appending rather than resized first: zero-
    // filling memory that is written next anyway costs a pass over it.
    firstItem_.clear();
    firstItem_.reserve(blocks_.size());
    maxEndTick_.clear();
    uint64_t items = 0;
    bool endsAscend = true;
    int64_t previousEnd = INT64_MIN;
    for (const MapBlock& block : blocks_) {
        firstItem_.push_back(static_cast<uint32_t>(items));
        items += block.sampleCount;
        const int64_t end = startTick(block) + block.sampleCount;
        endsAscend = endsAscend && end >= previousEnd;
        previousEnd = end;
    }
    if (endsAscend) return;
    maxEndTick_.reserve(blocks_.size());
    int64_t maxEnd = INT64_MIN;
    for (const MapBlock& block : blocks_) {
        maxEnd = std::max(maxEnd, startTick(block) + static_cast<int64_t>(block.sampleCount));
        maxEndTick_.push_back(maxEnd);
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
    if (!maxEndTick_.empty()) {
        const auto it = std::upper_bound(maxEndTick_.begin(), maxEndTick_.end(), tick);
        return static_cast<size_t>(it - maxEndTick_.begin());
    }
    const auto it = std::upper_bound(blocks_.begin(), blocks_.end(), tick, [this](int64_t t, const MapBlock& block) {
        return t < startTick(block) + static_cast<int64_t>(block.sampleCount);
    });
    return static_cast<size_t>(it - blocks_.begin());
}

}  // namespace mapshare
