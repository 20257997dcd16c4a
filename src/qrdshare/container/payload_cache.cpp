#include "container/payload_cache.h"

#include "common/cache_budget.h"
#include "container/binary_file.h"

#include <algorithm>

namespace qrd {

PayloadCache::~PayloadCache() { Clear(); }

void PayloadCache::SetBudget(nscommon::CacheBudget* budget) {
    Clear();
    std::lock_guard<std::mutex> guard(lock_);
    budget_ = budget;
}

void PayloadCache::BeginRead(uint64_t reader) {
    std::lock_guard<std::mutex> guard(lock_);
    switching_ = haveReader_ && reader != reader_;
    reader_ = reader;
    haveReader_ = true;
}

bool PayloadCache::Copy(BinaryFile& file, uint64_t dataOffset, uint64_t size, uint64_t offset, uint64_t length,
                        uint32_t uses, uint8_t* dst) {
    if (offset > size || length > size - offset) return false;
    std::unique_lock<std::mutex> lock(lock_);
    auto it = entries_.find(dataOffset);
    // Another thread is reading the payload: its result is waited for.
    while (it != entries_.end() && it->second.filling) {
        filled_.wait(lock);
        it = entries_.find(dataOffset);
    }
    if (it == entries_.end()) {
        if (budget_ == nullptr || !budget_->Enabled() || size == 0 || size > kLargestPayload) return false;
        const auto first = firstReader_.try_emplace(dataOffset, reader_).first;
        if (!switching_ && first->second == reader_) return false;
        if (!MakeRoom(size)) return false;
        it = entries_.emplace(dataOffset, Entry()).first;
        Entry& filling = it->second;
        filling.filling = true;
        filling.bytes.resize(static_cast<size_t>(size));
        lock.unlock();
        const bool read = file.ReadAt(dataOffset, filling.bytes.data(), filling.bytes.size());
        lock.lock();
        filling.filling = false;
        filled_.notify_all();
        if (!read) {
            budget_->Release(size);
            entries_.erase(it);
            return false;
        }
        filling.usesLeft = uses;
    }
    Entry& entry = it->second;
    if (entry.usesLeft > 0) --entry.usesLeft;
    entry.lastUse = ++clock_;
    std::copy(entry.bytes.data() + offset, entry.bytes.data() + offset + length, dst);
    return true;
}

bool PayloadCache::MakeRoom(uint64_t bytes) {
    while (!budget_->TryReserve(bytes)) {
        auto oldest = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->second.usesLeft == 0 && !it->second.filling &&
                (oldest == entries_.end() || it->second.lastUse < oldest->second.lastUse))
                oldest = it;
        }
        if (oldest == entries_.end()) return false;
        budget_->Release(oldest->second.bytes.size());
        entries_.erase(oldest);
    }
    return true;
}

void PayloadCache::Clear() {
    // Called when the file closes, when no call is reading any more.
    std::lock_guard<std::mutex> guard(lock_);
    if (budget_) {
        for (const auto& e : entries_) budget_->Release(e.second.bytes.size());
    }
    entries_.clear();
    firstReader_.clear();
    haveReader_ = switching_ = false;
}

size_t PayloadCache::EntryCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return entries_.size();
}

uint64_t PayloadCache::BytesHeld() const {
    std::lock_guard<std::mutex> guard(lock_);
    uint64_t n = 0;
    for (const auto& e : entries_) n += e.second.bytes.size();
    return n;
}

}  // namespace qrd
