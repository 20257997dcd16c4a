// The blocks of records kept for hosts that read spike cut-outs out of order:
// what is loaded when, what is given back, and that a block that could not be
// read whole, or has no room, is never kept.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/cache_budget.h"
#include "container/record_block_cache.h"

namespace {

using qrd::RecordBlockCache;
constexpr uint32_t kBlock = RecordBlockCache::kBlockItems;

// Records of differing lengths whose bytes name their item; reads can be made
// to fail from an item on, and are counted.
class FakeRecords final : public RecordBlockCache::RecordSource {
public:
    explicit FakeRecords(uint32_t count) : count_(count) {}
    uint64_t Length(uint32_t item) const override { return 5 + item % 7; }
    bool Read(uint32_t item, uint8_t* dst) const override {
        ++reads;
        if (item >= failFrom) return false;
        std::memset(dst, 0xEE, Length(item));
        std::memcpy(dst, &item, sizeof item);
        return true;
    }
    uint64_t BytesOf(uint32_t first, uint32_t count) const {
        uint64_t n = 0;
        for (uint32_t i = first; i < first + count && i < count_; ++i) n += Length(i);
        return n;
    }
    uint32_t count_;
    uint32_t failFrom = UINT32_MAX;
    mutable uint32_t reads = 0;
};

// The record of item `index` as the cache copies it out (into a buffer that
// the next call overwrites), or null when the cache leaves the read to the
// caller.
const uint8_t* Record(RecordBlockCache& cache, uint64_t reader, uint32_t index, uint32_t count,
                      const FakeRecords& records) {
    static std::vector<uint8_t> copy;
    copy.assign(static_cast<size_t>(records.Length(index)), 0);
    return cache.Copy(reader, index, count, records, copy.data(), copy.size()) ? copy.data() : nullptr;
}

uint32_t ItemIn(const uint8_t* bytes) {
    uint32_t item = 0;
    std::memcpy(&item, bytes, sizeof item);
    return item;
}

TEST(RecordBlockCache, JumpsLoadABlockThatAnswersItsItemsUntilEachWasRead) {
    nscommon::CacheBudget budget(64 << 20);
    RecordBlockCache cache;
    cache.SetBudget(&budget);
    const uint32_t count = 2 * kBlock + 100;  // the last block is short
    FakeRecords records(count);

    // A first read is a jump: the block around it comes in whole.
    const uint8_t* bytes = Record(cache, 1, kBlock + 7, count, records);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(ItemIn(bytes), kBlock + 7);
    EXPECT_EQ(records.reads, kBlock);
    EXPECT_EQ(cache.BytesHeld(), records.BytesOf(kBlock, kBlock));
    EXPECT_EQ(budget.Used(), cache.BytesHeld());

    // Decreasing order through the block reads nothing more, and the block
    // goes once each of its items has been read.
    for (uint32_t i = 2 * kBlock - 1; i >= kBlock; --i) {
        bytes = Record(cache, 1, i, count, records);
        ASSERT_NE(bytes, nullptr);
        ASSERT_EQ(ItemIn(bytes), i);
        ASSERT_EQ(bytes[sizeof(uint32_t)], 0xEE);
    }
    EXPECT_EQ(records.reads, kBlock);
    Record(cache, 1, count - 1, count, records);  // the short last block
    EXPECT_EQ(records.reads, kBlock + 100);
    EXPECT_EQ(cache.BlockCount(), 1u);
    EXPECT_EQ(budget.Used(), records.BytesOf(2 * kBlock, 100));

    EXPECT_EQ(Record(cache, 1, count, count, records), nullptr) << "nothing beyond the last item";

    // Each reader has blocks of its own.
    ASSERT_NE(Record(cache, 2, 0, count, records), nullptr);
    EXPECT_EQ(ItemIn(Record(cache, 2, 5, count, records)), 5u);
    const uint32_t before = records.reads;
    EXPECT_EQ(ItemIn(Record(cache, 1, 3, count, records)), 3u);
    EXPECT_EQ(records.reads, before + kBlock) << "reader 1 loads its own first block";
    EXPECT_EQ(ItemIn(Record(cache, 1, 4, count, records)), 4u);
    EXPECT_EQ(records.reads, before + kBlock);

    cache.Clear();
    EXPECT_EQ(cache.BlockCount(), 0u);
    EXPECT_EQ(budget.Used(), 0u);
}

TEST(RecordBlockCache, ReadsAlongOutsideBlocksAreLeftToTheCaller) {
    nscommon::CacheBudget budget(64 << 20);
    RecordBlockCache cache;
    cache.SetBudget(&budget);
    FakeRecords records(3 * kBlock);
    ASSERT_NE(Record(cache, 1, 0, 3 * kBlock, records), nullptr);
    for (uint32_t i = 1; i < kBlock; ++i) ASSERT_NE(Record(cache, 1, i, 3 * kBlock, records), nullptr);
    for (uint32_t i = kBlock; i < 3 * kBlock; ++i) ASSERT_EQ(Record(cache, 1, i, 3 * kBlock, records), nullptr);
    EXPECT_EQ(records.reads, kBlock);
    EXPECT_EQ(cache.BlockCount(), 0u);
    EXPECT_EQ(budget.Used(), 0u);
}

TEST(RecordBlockCache, ABlockWithoutRoomOrReadOnlyInPartIsNeverKept) {
    FakeRecords records(4 * kBlock);
    const uint64_t oneBlock = records.BytesOf(0, kBlock);
    {   // No budget, a budget of 0: nothing is read ahead.
        RecordBlockCache cache;
        EXPECT_EQ(Record(cache, 1, 9, 4 * kBlock, records), nullptr);
        nscommon::CacheBudget none(0);
        cache.SetBudget(&none);
        EXPECT_EQ(Record(cache, 1, 99, 4 * kBlock, records), nullptr);
        EXPECT_EQ(records.reads, 0u);
    }
    {   // Room for one block in the quarter of the budget that blocks may
        // use: a second block is not loaded and does not push out the first.
        nscommon::CacheBudget budget(4 * oneBlock + 4 * 64);
        RecordBlockCache cache;
        cache.SetBudget(&budget);
        ASSERT_NE(Record(cache, 1, 10, 4 * kBlock, records), nullptr);
        EXPECT_EQ(Record(cache, 1, 3 * kBlock + 1, 4 * kBlock, records), nullptr);
        EXPECT_EQ(cache.BlockCount(), 1u);
        EXPECT_NE(Record(cache, 1, 20, 4 * kBlock, records), nullptr);
        cache.SetBudget(nullptr);
        EXPECT_EQ(budget.Used(), 0u);
    }
    {   // A read that fails inside the block: nothing kept, nothing reserved.
        nscommon::CacheBudget budget(64 << 20);
        RecordBlockCache cache;
        cache.SetBudget(&budget);
        records.failFrom = kBlock + 300;
        EXPECT_EQ(Record(cache, 1, kBlock + 2, 4 * kBlock, records), nullptr);
        EXPECT_EQ(cache.BlockCount(), 0u);
        EXPECT_EQ(budget.Used(), 0u);
        EXPECT_NE(Record(cache, 1, 5, 4 * kBlock, records), nullptr) << "an earlier block still loads";
    }
}

}  // namespace
