#include "container/record_block_cache.h"

#include "common/cache_budget.h"

#include <algorithm>

namespace qrd {

RecordBlockCache::~RecordBlockCache() { Clear(); }

void RecordBlockCache::SetBudget(nscommon::CacheBudget* budget) {
    Clear();
    budget_ = budget;
}

const uint8_t* RecordBlockCache::Record(uint64_t reader, uint32_t index, uint32_t itemCount,
                                        const RecordSource& source) {
    DropPending();
    if (index >= itemCount) return nullptr;
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
    auto it = blocks_.empty() ? blocks_.end() : blocks_.find(key);
    if (it == blocks_.end()) {
        if (continues || !Load(key, itemCount, source)) return nullptr;
        it = blocks_.find(key);
    }
    Block& block = it->second;
    const uint32_t item = index - key.second;
    if (!block.served[item]) {
        block.served[item] = true;
        if (++block.servedCount == block.served.size()) {
            pendingDrop_ = true;
            pendingKey_ = key;
        }
    }
    return block.bytes.data() + block.starts[item];
}

bool RecordBlockCache::Load(const Key& key, uint32_t itemCount, const RecordSource& source) {
    if (budget_ == nullptr || !budget_->Enabled()) return false;
    const uint32_t count = std::min(kBlockItems, itemCount - key.second);
    Block block;
    block.starts.resize(count + 1);
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        block.starts[i] = total;
        total += source.Length(key.second + i);
        if (total > kLargestBlock) return false;
    }
    block.starts[count] = total;
    if (held_ + total > budget_->Capacity() / 4 || !budget_->TryReserve(total)) return false;
    block.bytes.resize(static_cast<size_t>(total));
    for (uint32_t i = 0; i < count; ++i) {
        if (!source.Read(key.second + i, block.bytes.data() + block.starts[i])) {
            budget_->Release(total);
            return false;
        }
    }
    block.served.assign(count, false);
    held_ += total;
    blocks_.emplace(key, std::move(block));
    return true;
}

void RecordBlockCache::Drop(std::map<Key, Block>::iterator it) {
    const uint64_t bytes = it->second.bytes.size();
    held_ -= bytes;
    if (budget_) budget_->Release(bytes);
    blocks_.erase(it);
}

void RecordBlockCache::DropPending() {
    if (!pendingDrop_) return;
    pendingDrop_ = false;
    const auto it = blocks_.find(pendingKey_);
    if (it != blocks_.end()) Drop(it);
}

void RecordBlockCache::Clear() {
    pendingDrop_ = false;
    while (!blocks_.empty()) Drop(blocks_.begin());
    previous_.clear();
    haveLast_ = false;
}

}  // namespace qrd
