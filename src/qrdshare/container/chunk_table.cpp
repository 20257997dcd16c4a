#include "container/chunk_table.h"

#include <algorithm>
#include <memory>

#include "container/chunk.h"
#include "container/stream.h"

namespace qrd {

void ChunkTable::Build(CQRVAStream& stream) {
    entries_.clear();
    channelCount_ = std::max<uint32_t>(1, stream.GetChannelCount());
    totalInstants_ = 0;
    largestPayload_ = 0;
    endsOrdered_ = true;
    built_ = true;
    std::unique_ptr<CQRVAChunk> chunk = stream.FirstChunk();
    while (chunk) {
        ChunkTableEntry e;
        e.start = chunk->GetStartTicks();
        e.end = chunk->GetEndTicks();
        e.dataOffset = static_cast<uint64_t>(chunk->GetDataOffset());
        e.valueCount = chunk->GetDataSize() / 2;
        e.firstInstant = totalInstants_;
        if (!entries_.empty() && e.end < entries_.back().end) endsOrdered_ = false;
        totalInstants_ += e.valueCount / channelCount_;
        largestPayload_ = std::max(largestPayload_, chunk->GetDataSize());
        entries_.push_back(e);
        std::unique_ptr<CQRVAChunk> next = stream.NextChunk(chunk);
        if (!next) break;
        chunk = std::move(next);
    }
}

std::vector<uint8_t> ChunkTable::TakeScratch() {
    std::lock_guard<std::mutex> guard(scratchLock_);
    if (scratch_.empty()) return {};
    std::vector<uint8_t> scratch = std::move(scratch_.back());
    scratch_.pop_back();
    return scratch;
}

void ChunkTable::GiveBackScratch(std::vector<uint8_t> scratch) {
    std::lock_guard<std::mutex> guard(scratchLock_);
    if (scratch_.size() < kKeptScratch) scratch_.push_back(std::move(scratch));
}

size_t ChunkTable::ChunkOfInstant(uint64_t instant) const {
    if (instant >= totalInstants_) return entries_.size();
    // First chunk whose first instant lies after the wanted one; the chunk
    // before it holds it (chunks without instants share their first instant
    // with the next chunk and are passed over).
    auto after = std::upper_bound(entries_.begin(), entries_.end(), instant,
                                  [](uint64_t value, const ChunkTableEntry& e) { return value < e.firstInstant; });
    return static_cast<size_t>(after - entries_.begin()) - 1;
}

size_t ChunkTable::FirstEndingAfter(size_t from, uint64_t ticks) const {
    if (from >= entries_.size()) return entries_.size();
    if (endsOrdered_) {
        auto it = std::upper_bound(entries_.begin() + static_cast<std::ptrdiff_t>(from), entries_.end(), ticks,
                                   [](uint64_t value, const ChunkTableEntry& e) { return value < e.end; });
        return static_cast<size_t>(it - entries_.begin());
    }
    for (size_t i = from; i < entries_.size(); ++i)
        if (entries_[i].end > ticks) return i;
    return entries_.size();
}

}  // namespace qrd
