// Whole chunk payloads of an open recording, kept for reads of small records
// inside them (spike cut-outs).
//
// A spike record is a hundred bytes or so; reading each straight from the
// file costs a seek and a read per record, and a host that reads every spike
// of every channel goes through every chunk once per channel.  The cache
// keeps the payloads it reads, so each chunk is read once however the host
// orders its calls.
//
// What is kept: a payload is read whole when a second reader (a segment
// entity) asks for it, or when the read follows a read by another reader (the
// host is going through entities), while the budget (shared with the span
// cache and every other open file) has room for it.  A host that reads the
// spikes of one entity alone reads each record straight from the file.
// The caller says how many uses a payload has (the spikes counted in it);
// once it has had them all it is used up, and used-up payloads, least
// recently used first, make room for new ones.  A payload that still has
// uses is never dropped for another, so a recording larger than the budget
// reads what does not fit straight from the file.
//
// Calls on one file use the cache from any number of threads at once.  A
// lock guards the entries and is held to look one up, to take one in and to
// copy a record out, never while the file is read: a payload that one thread
// is reading is marked as filling, and other threads that want it wait for it
// instead of reading it a second time.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace nscommon {
class CacheBudget;
}

namespace qrd {

class BinaryFile;

class PayloadCache {
public:
    // Payloads larger than this are never kept.
    static constexpr uint64_t kLargestPayload = 16 * 1024 * 1024;

    PayloadCache() = default;
    ~PayloadCache();
    PayloadCache(const PayloadCache&) = delete;
    PayloadCache& operator=(const PayloadCache&) = delete;

    // Null (the default) or a budget of 0 keeps nothing; entries kept are dropped.
    void SetBudget(nscommon::CacheBudget* budget);

    // Starts the reads of one reader (any number that tells readers apart).
    void BeginRead(uint64_t reader);
    // Copies bytes [offset, offset + length) of the payload of `size` bytes
    // at file offset dataOffset, which has `uses` uses in all, to dst; one
    // use is counted.  False (nothing copied) when the payload is not held
    // and cannot be taken in now (the caller then reads the bytes from the
    // file) or when the range lies outside the payload.
    bool Copy(BinaryFile& file, uint64_t dataOffset, uint64_t size, uint64_t offset, uint64_t length, uint32_t uses,
              uint8_t* dst);

    void Clear();
    size_t EntryCount() const;
    uint64_t BytesHeld() const;

private:
    struct Entry {
        std::vector<uint8_t> bytes;
        uint32_t usesLeft = 0;
        uint64_t lastUse = 0;
        bool filling = false;  // a thread is reading the payload into bytes
    };
    // The members below are used under lock_.
    bool MakeRoom(uint64_t bytes);

    mutable std::mutex lock_;
    std::condition_variable filled_;
    nscommon::CacheBudget* budget_ = nullptr;
    std::unordered_map<uint64_t, Entry> entries_;  // by payload offset
    // The first reader of each payload asked for, kept whether or not the
    // payload is held.
    std::unordered_map<uint64_t, uint64_t> firstReader_;
    uint64_t reader_ = 0;
    bool haveReader_ = false;
    bool switching_ = false;
    uint64_t clock_ = 0;
};

}  // namespace qrd
