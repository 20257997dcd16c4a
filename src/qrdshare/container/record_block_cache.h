// Small records of one reader (a spike segment entity), kept in blocks of
// consecutive items for hosts that read them out of order.
//
// A host that reads an entity's cut-outs in increasing order reads along the
// file, and the buffered file answers each record cheaply.  Read in random or
// decreasing order, every record would be a jump in the file of its own.
// Instead, a read that does not continue from the reader's previous item
// reads the records of the whole block of kBlockItems items around it, in file
// order, and the block's other items are then answered from memory.  So each
// order reads the records about once, at about the cost of reading them along.
//
// A block is dropped as soon as each of its items has been read from it once,
// so a host going through an entity in any order holds only the blocks it has
// not finished.  A block is taken in only while the budget (shared with the
// file's other caches and every other open file) has room for it, and blocks
// of one file use at most a quarter of the budget, so the sample caches keep
// their room.  Blocks are never dropped for other blocks: once there is no
// room, records are read straight from the file, as without the cache, and a
// recording larger than the budget cannot make the cache thrash.
//
// Calls on one file use the cache from any number of threads at once.  A
// lock guards the blocks and is held to look one up, to take one in and to
// copy a record out, never while records are read: a block that one thread
// is reading is marked as loading, and other threads that want it wait for
// it instead of reading it a second time.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace nscommon {
class CacheBudget;
}

namespace qrd {

class RecordBlockCache {
public:
    static constexpr uint32_t kBlockItems = 512;
    // Blocks larger than this are never kept (records of huge cut-outs).
    static constexpr uint64_t kLargestBlock = 16 * 1024 * 1024;

    // Where a block's records come from: the bytes of item i, and a reader
    // of them into dst (false on a failed read).
    class RecordSource {
    public:
        virtual uint64_t Length(uint32_t item) const = 0;
        virtual bool Read(uint32_t item, uint8_t* dst) const = 0;

    protected:
        ~RecordSource() = default;
    };

    RecordBlockCache() = default;
    ~RecordBlockCache();
    RecordBlockCache(const RecordBlockCache&) = delete;
    RecordBlockCache& operator=(const RecordBlockCache&) = delete;

    // Null (the default) or a budget of 0 keeps nothing; blocks kept are dropped.
    void SetBudget(nscommon::CacheBudget* budget);

    // Copies the first `length` bytes (at most the record's) of item
    // `index` of `reader` (any number that tells readers apart), which has
    // `itemCount` items, to dst: from its block when the block is held, or
    // after reading the block when the read jumps (does not follow the
    // reader's previous item) and the budget has room.  False otherwise: the
    // caller then reads the record from the file itself.
    bool Copy(uint64_t reader, uint32_t index, uint32_t itemCount, const RecordSource& source, uint8_t* dst,
              size_t length);

    void Clear();
    size_t BlockCount() const;
    uint64_t BytesHeld() const;

private:
    struct Block {
        std::vector<uint8_t> bytes;
        std::vector<uint64_t> starts;    // of each item in bytes, and the end
        std::vector<bool> served;        // items read from the block so far
        uint32_t servedCount = 0;
        bool loading = false;            // a thread is reading its records
    };
    using Key = std::pair<uint64_t, uint32_t>;  // reader, first item of the block

    // Reads the block starting at item `first`, with the lock held on entry
    // and on return but not while the records are read; false when it is
    // not kept.
    bool Load(std::unique_lock<std::mutex>& lock, const Key& key, uint32_t itemCount, const RecordSource& source);
    void Drop(std::map<Key, Block>::iterator it);

    // The members below are used under lock_.
    mutable std::mutex lock_;
    std::condition_variable loaded_;
    nscommon::CacheBudget* budget_ = nullptr;
    std::map<Key, Block> blocks_;
    // The previous item of the latest reader, and of the readers before it.
    uint64_t lastReader_ = 0;
    uint32_t lastIndex_ = 0;
    bool haveLast_ = false;
    std::map<uint64_t, uint32_t> previous_;
    uint64_t held_ = 0;
};

}  // namespace qrd
