#include "container/payload_cache.h"

#include "common/cache_budget.h"
#include "container/binary_file.h"

namespace qrd {

PayloadCache::~PayloadCache() { Clear(); }

void PayloadCache::SetBudget(nscommon::CacheBudget* budget) {
    Clear();
    budget_ = budget;
}

void PayloadCache::BeginRead(uint64_t reader) {
    switching_ = haveReader_ && reader != reader_;
    reader_ = reader;
    haveReader_ = true;
}

const uint8_t* PayloadCache::Bytes(BinaryFile& file, uint64_t dataOffset, uint64_t size, uint64_t offset,
                                   uint64_t length, uint32_t uses) {
    if (offset > size || length > size - offset) return nullptr;
    auto it = entries_.find(dataOffset);
    if (it == entries_.end()) {
        if (budget_ == nullptr || !budget_->Enabled() || size == 0 || size > kLargestPayload) return nullptr;
        const auto first = firstReader_.try_emplace(dataOffset, reader_).first;
        if (!switching_ && first->second == reader_) return nullptr;
        if (!MakeRoom(size)) return nullptr;
        Entry entry;
        entry.bytes.resize(static_cast<size_t>(size));
        if (!file.Seek(dataOffset) || !file.Read(entry.bytes.data(), entry.bytes.size())) {
            budget_->Release(size);
            return nullptr;
        }
        entry.usesLeft = uses;
        it = entries_.emplace(dataOffset, std::move(entry)).first;
    }
    Entry& entry = it->second;
    if (entry.usesLeft > 0) --entry.usesLeft;
    entry.lastUse = ++clock_;
    return entry.bytes.data() + offset;
}

bool PayloadCache::MakeRoom(uint64_t bytes) {
    while (!budget_->TryReserve(bytes)) {
        auto oldest = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->second.usesLeft == 0 && (oldest == entries_.end() || it->second.lastUse < oldest->second.lastUse))
                oldest = it;
        }
        if (oldest == entries_.end()) return false;
        budget_->Release(oldest->second.bytes.size());
        entries_.erase(oldest);
    }
    return true;
}

void PayloadCache::Clear() {
    if (budget_) {
        for (const auto& e : entries_) budget_->Release(e.second.bytes.size());
    }
    entries_.clear();
    firstReader_.clear();
    haveReader_ = switching_ = false;
}
uint64_t PayloadCache::BytesHeld() const {
    uint64_t n = 0;
    for (const auto& e : entries_) n += e.second.bytes.size();
    return n;
}

}  // namespace qrd
