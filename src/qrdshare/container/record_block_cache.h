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
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
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

    // The bytes of item `index` of `reader` (any number that tells readers
    // apart), which has `itemCount` items: from its block when the block is
    // held, or after reading the block when the read jumps (does not follow
    // the reader's previous item) and the budget has room.  Null otherwise:
    // the caller then reads the record from the file itself.  The pointer
    // stays valid until the next call.
    const uint8_t* Record(uint64_t reader, uint32_t index, uint32_t itemCount, const RecordSource& source);

    void Clear();
    size_t BlockCount() const { return blocks_.size(); }
    uint64_t BytesHeld() const { return held_; }

private:
    struct Block {
        std::vector<uint8_t> bytes;
        std::vector<uint64_t> starts;    // of each item in bytes, and the end
        std::vector<bool> served;        // items read from the block so far
        uint32_t servedCount = 0;
    };
    using Key = std::pair<uint64_t, uint32_t>;  // reader, first item of the block

    // Reads the block starting at item `first`; false when it is not kept.
    bool Load(const Key& key, uint32_t itemCount, const RecordSource& source);
    void Drop(std::map<Key, Block>::iterator it);
    void DropPending();

    nscommon::CacheBudget* budget_ = nullptr;
    std::map<Key, Block> blocks_;
    // The previous item of the latest reader, and of the readers before it.
    uint64_t lastReader_ = 0;
    uint32_t lastIndex_ = 0;
    bool haveLast_ = false;
    std::map<uint64_t, uint32_t> previous_;
    uint64_t held_ = 0;
    // A block used up by the previous call: dropped at the next one, since
    // that call's pointer points into it.
    bool pendingDrop_ = false;
    Key pendingKey_{};
};

}  // namespace qrd
