#include "container/record_block_cache.h"

#include "common/cache_budget.h"

#include <algorithm>

namespace qrd {

RecordBlockCache::~RecordBlockCache() { Clear(); }

void RecordBlockCache::SetBudget(nscommon::CacheBudget* budget) {
    Clear();
    std::lock_guard<std::mutex> guard(lock_);
    budget_ = budget;
}

bool RecordBlockCache::Copy(uint64_t reader, uint32_t index, uint32_t itemCount, const RecordSource& source,
                            uint8_t* dst, size_t length) {
    if (index >= itemCount) return false;
    std::unique_lock<std::mutex> lock(lock_);
    bool continues;
    if (haveLast_ && reader == lastReader_) {
        continues = lastIndex_ + 1 == index;
    } else {
        if (haveLast_) previous_[lastReader_] = lastIndex_;
        const auto last = previous_.find(reader);
        continues = last != previous_.end() && last->second + 1 == index;
        lastReader_ = reader;
        haveLast_ = true;
    }
    lastIndex_ = index;
    const Key key{reader, index - index % kBlockItems};
    auto it = blocks_.find(key);
    // Another thread is reading the block: its result is waited for.
    while (it != blocks_.end() && it->second.loading) {
        loaded_.wait(lock);
        it = blocks_.find(key);
    }
    if (it == blocks_.end()) {
        if (continues || !Load(lock, key, itemCount, source)) return false;
        it = blocks_.find(key);
        if (it == blocks_.end()) return false;
    }
    Block& block = it->second;
    const uint32_t item = index - key.second;
    const uint64_t recordLength = block.starts[item + 1] - block.starts[item];
    if (length > recordLength) return false;
    const uint8_t* record = block.bytes.data() + block.starts[item];
    std::copy(record, record + length, dst);
    if (!block.served[item]) {
        block.served[item] = true;
        // Each item was read once: the block has done its work.
        if (++block.servedCount == block.served.size()) Drop(it);
    }
    return true;
}

bool RecordBlockCache::Load(std::unique_lock<std::mutex>& lock, const Key& key, uint32_t itemCount,
                            const RecordSource& source) {
    if (budget_ == nullptr || !budget_->Enabled()) return false;
    const uint32_t count = std::min(kBlockItems, itemCount - key.second);
    Block fresh;
    fresh.starts.resize(count + 1);
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        fresh.starts[i] = total;
        total += source.Length(key.second + i);
        if (total > kLargestBlock) return false;
    }
    fresh.starts[count] = total;
    if (held_ + total > budget_->Capacity() / 4 || !budget_->TryReserve(total)) return false;
    fresh.bytes.resize(static_cast<size_t>(total));
    fresh.served.assign(count, false);
    fresh.loading = true;
    held_ += total;
    const auto it = blocks_.emplace(key, std::move(fresh)).first;
    Block& block = it->second;
    // The records are read without the lock (they may come from the payload
    // cache, or from the file); the block is nobody else's meanwhile.
    lock.unlock();
    bool read = true;
    for (uint32_t i = 0; i < count && read; ++i) read = source.Read(key.second + i, block.bytes.data() + block.starts[i]);
    lock.lock();
    block.loading = false;
    loaded_.notify_all();
    if (!read) Drop(it);
    return read;
}

void RecordBlockCache::Drop(std::map<Key, Block>::iterator it) {
    const uint64_t bytes = it->second.bytes.size();
    held_ -= bytes;
    if (budget_) budget_->Release(bytes);
    blocks_.erase(it);
}

void RecordBlockCache::Clear() {
    // Called when the file closes, when no call is reading any more.
    std::lock_guard<std::mutex> guard(lock_);
    while (!blocks_.empty()) Drop(blocks_.begin());
    previous_.clear();
    haveLast_ = false;
}

size_t RecordBlockCache::BlockCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return blocks_.size();
}

uint64_t RecordBlockCache::BytesHeld() const {
    std::lock_guard<std::mutex> guard(lock_);
    return held_;
}

}  // namespace qrd
