// Conversions between item indexes and times of an entity, answered from the
// entity's blocks alone (no file access).
//
// A block is a run of items with one start time; within a block item k lies
// k sample periods after the start.  Events and segments are blocks of one
// item, a continuous channel is one block, a channel of a sweep recording has
// one block per sweep.
#pragma once

#include <cstdint>
#include <vector>

namespace qrd {

struct ItemBlock;

// Flags of the index search (ns_BEFORE, ns_CLOSEST, ns_AFTER).
constexpr int32_t kIndexBefore = -1;
constexpr int32_t kIndexClosest = 0;
constexpr int32_t kIndexAfter = 1;

struct BlockList {
    const std::vector<ItemBlock>& blocks;
    uint32_t itemCount;
    uint32_t rateMilliHz;  // the stream's sample rate: one item is 1000 / rate seconds long
};

// True when both the start and the end times of the blocks never decrease;
// the index search may then bisect instead of walking every block.
bool BlocksInTimeOrder(const std::vector<ItemBlock>& blocks, uint32_t rateMilliHz);

// The item at time t: the last one starting at or before t (kIndexBefore),
// the first one at or after t (kIndexAfter) or the nearer of the two (any
// other flag).  `index` is written in every case, also when the result is
// false: t before the start with kIndexBefore, t after the last item with
// kIndexAfter, or a t that is not a number.  The index written is always
// below the item count: past the last item kIndexBefore and kIndexClosest
// give the last item and kIndexAfter gives it too, but fails.  An entity
// without items answers 0 and fails only for t < 0 with kIndexBefore or
// t > 0 with kIndexAfter.
// timeOrdered (from BlocksInTimeOrder) lets the search bisect; the answer is
// the same as walking the blocks in order.
bool IndexAtTime(const BlockList& list, double t, int32_t flag, bool timeOrdered, uint32_t& index);

// Time of item `index`: the start of its block plus its offset in the block
// in sample periods.  blockLength > 0 means every block holds that many
// items; otherwise the blocks are counted through.  False for an index not
// below the item count.
bool TimeOfIndex(const BlockList& list, int32_t blockLength, uint32_t index, double& time);

}  // namespace qrd
