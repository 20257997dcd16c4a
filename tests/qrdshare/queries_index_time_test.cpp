// Index/time conversions on hand-made block lists: the end of the items, the
// gaps between events, streams without a sample rate, and the bisecting
// search against the plain block walk.  (The worked examples at 25 kHz run
// through the loaded library in queries_data_test.)
#include "api/entity_table.h"
#include "api/index_by_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace qrd {
namespace {

constexpr uint32_t k25kHz = 25000000;  // millihertz

ItemBlock Block(uint32_t first, uint32_t count, double start) {
    ItemBlock b;
    b.firstIndex = first;
    b.count = count;
    b.startTime = start;
    return b;
}

struct Answer {
    bool ok;
    uint32_t index;
};

Answer At(const std::vector<ItemBlock>& blocks, uint32_t items, uint32_t rate, double t, int32_t flag) {
    uint32_t index = 0xDEADBEEF;
    const bool ok = IndexAtTime(BlockList{blocks, items, rate}, t, flag, BlocksInTimeOrder(blocks, rate), index);
    return {ok, index};
}

TEST(IndexAtTime, NeverAnswersAnIndexAtOrBeyondTheItemCount) {
    // 100 samples: the last one starts at 3.96 ms, the block ends at 4 ms.
    const std::vector<ItemBlock> blocks{Block(0, 100, 0.0)};
    const double lastPeriod = 0.00399;
    Answer a = At(blocks, 100, k25kHz, lastPeriod, kIndexAfter);
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.index, 99u);
    a = At(blocks, 100, k25kHz, lastPeriod, kIndexClosest);
    EXPECT_TRUE(a.ok);
    EXPECT_EQ(a.index, 99u);
    a = At(blocks, 100, k25kHz, 0.004, kIndexBefore);
    EXPECT_TRUE(a.ok);
    EXPECT_EQ(a.index, 99u);

    // Beyond the end: "after" fails but still names the last item.
    for (int32_t flag : {kIndexBefore, kIndexClosest, kIndexAfter}) {
        a = At(blocks, 100, k25kHz, 1.0, flag);
        EXPECT_EQ(a.index, 99u) << flag;
        EXPECT_EQ(a.ok, flag != kIndexAfter) << flag;
    }
    // Before the start: "before" fails.
    a = At(blocks, 100, k25kHz, -0.5, kIndexBefore);
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.index, 0u);
    EXPECT_TRUE(At(blocks, 100, k25kHz, -0.5, kIndexAfter).ok);
}

TEST(IndexAtTime, EventGapsAndEntitiesWithoutItems) {
    const std::vector<ItemBlock> events{Block(0, 1, 1.0), Block(1, 1, 2.0), Block(2, 1, 3.0)};
    EXPECT_EQ(At(events, 3, k25kHz, 1.5, kIndexAfter).index, 1u);
    EXPECT_TRUE(At(events, 3, k25kHz, 1.5, kIndexAfter).ok);
    EXPECT_EQ(At(events, 3, k25kHz, 1.5, kIndexBefore).index, 0u);
    // The first event ends one sample period after it starts, so 1.5 s lies
    // a little nearer the second event's start than the first's end.
    EXPECT_EQ(At(events, 3, k25kHz, 1.49, kIndexClosest).index, 0u);
    EXPECT_EQ(At(events, 3, k25kHz, 1.51, kIndexClosest).index, 1u);
    // Before the first event (and after time 0) "after" gives the first.
    EXPECT_EQ(At(events, 3, k25kHz, 0.5, kIndexAfter).index, 0u);

    // A stream without a sample rate: items have no duration, nothing divides by zero.
    for (double t : {0.5, 1.0, 1.5, 3.0, 4.0}) {
        for (int32_t flag : {kIndexBefore, kIndexClosest, kIndexAfter}) {
            const Answer a = At(events, 3, 0, t, flag);
            EXPECT_LT(a.index, 3u) << t << " " << flag;
        }
    }
    EXPECT_EQ(At(events, 3, 0, 2.0, kIndexBefore).index, 1u);

    // Without items (no blocks, or blocks of no samples) the answer is 0;
    // only "before" a negative time and "after" a positive one fail.
    const std::vector<ItemBlock> none;
    const std::vector<ItemBlock> emptySweeps{Block(0, 0, 1.0), Block(0, 0, 2.0)};
    for (const auto* blocks : {&none, &emptySweeps}) {
        for (double t : {-1.0, 0.0, 1.5, 5.0}) {
            for (int32_t flag : {kIndexBefore, kIndexClosest, kIndexAfter, 7}) {
                const Answer a = At(*blocks, 0, k25kHz, t, flag);
                const bool fails = (flag == kIndexBefore && t < 0) || (flag == kIndexAfter && t > 0);
                EXPECT_EQ(a.ok, !fails) << blocks->size() << " " << t << " " << flag;
                EXPECT_EQ(a.index, 0u) << blocks->size() << " " << t << " " << flag;
            }
        }
    }
    EXPECT_FALSE(At(events, 3, k25kHz, std::numeric_limits<double>::quiet_NaN(), kIndexClosest).ok);
}

TEST(IndexAtTime, BisectionGivesTheAnswersOfTheBlockWalk) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<double> gap(0.0, 0.0002);  // often shorter than a sample period
    std::uniform_int_distribution<uint32_t> length(0, 3);
    for (int trial = 0; trial < 20; ++trial) {
        std::vector<ItemBlock> blocks;
        uint32_t items = 0;
        double t = 0.001;
        for (int i = 0; i < 200; ++i) {
            const uint32_t count = trial % 2 ? 1 : length(random);
            blocks.push_back(Block(items, count, t));
            items += count;
            // Events may lie closer than a sample period; runs of samples
            // (sweeps) follow each other after their end.
            t += (trial % 2 ? 0.0 : count * 1000.0 / k25kHz) + gap(random);
        }
        ASSERT_TRUE(BlocksInTimeOrder(blocks, k25kHz));
        const BlockList list{blocks, items, k25kHz};
        std::uniform_real_distribution<double> when(-0.001, t + 0.001);
        for (int q = 0; q < 500; ++q) {
            const double at = when(random);
            for (int32_t flag : {kIndexBefore, kIndexClosest, kIndexAfter}) {
                uint32_t walked = 0, bisected = 0;
                const bool okWalk = IndexAtTime(list, at, flag, false, walked);
                const bool okBisect = IndexAtTime(list, at, flag, true, bisected);
                ASSERT_EQ(okWalk, okBisect) << at << " " << flag;
                ASSERT_EQ(walked, bisected) << at << " " << flag;
            }
        }
    }
    // Starts out of order: the search must walk.
    EXPECT_FALSE(BlocksInTimeOrder({Block(0, 1, 2.0), Block(1, 1, 1.0)}, k25kHz));
}

TEST(TimeOfIndex, SweepsOfEqualAndOfDifferentLengths) {
    const std::vector<ItemBlock> equal{Block(0, 100, 1.0), Block(100, 100, 2.0)};
    double time = 0;
    ASSERT_TRUE(TimeOfIndex(BlockList{equal, 200, k25kHz}, 100, 150, time));
    EXPECT_DOUBLE_EQ(time, 2.0 + 50 * 1000.0 / k25kHz);

    const std::vector<ItemBlock> differ{Block(0, 100, 1.0), Block(100, 90, 2.0)};
    ASSERT_TRUE(TimeOfIndex(BlockList{differ, 190, k25kHz}, 0, 189, time));
    EXPECT_DOUBLE_EQ(time, 2.0 + 89 * 1000.0 / k25kHz);
    ASSERT_TRUE(TimeOfIndex(BlockList{differ, 190, k25kHz}, 0, 99, time));
    EXPECT_DOUBLE_EQ(time, 1.0 + 99 * 1000.0 / k25kHz);
    EXPECT_FALSE(TimeOfIndex(BlockList{differ, 190, k25kHz}, 0, 190, time));

    // Without a sample rate only the first item of a block has a time.
    EXPECT_TRUE(TimeOfIndex(BlockList{differ, 190, 0}, 0, 100, time));
    EXPECT_DOUBLE_EQ(time, 2.0);
    EXPECT_FALSE(TimeOfIndex(BlockList{differ, 190, 0}, 0, 101, time));
}

}  // namespace
}  // namespace qrd
