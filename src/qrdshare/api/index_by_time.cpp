#include "api/index_by_time.h"

#include "api/entity_table.h"
#include "api/item_time.h"

#include <algorithm>
#include <cmath>

namespace qrd {

namespace {

double EndOf(const ItemBlock& block, uint32_t rate) {
    return block.startTime + SampleSpanSeconds(static_cast<double>(block.count), rate);
}

// Fraction of the way through a block at t (start <= t <= end); a block
// without duration (no items or no sample rate) is all at its start.
double PositionInBlock(const ItemBlock& block, double end, double t) {
    if (!(end > block.startTime)) return 0.0;
    return (t - block.startTime) / (end - block.startTime) * block.count;
}

// The index search stops at the first block that starts after t or that t
// falls into.  Given that block (or blocks.size() when t is past them all),
// computes the answer the block walk gives: the raw index (may be negative or
// beyond the items; the caller clamps) and whether the walk ran past the end.
struct RawAnswer {
    double index = 0.0;
    bool pastEnd = false;
};

RawAnswer AnswerAt(const BlockList& list, size_t stop, double t, int32_t flag) {
    RawAnswer answer;
    const std::vector<ItemBlock>& blocks = list.blocks;
    // What the walk carried into block `stop`: the end of the block before it
    // and that block's last item.
    double previousEnd = 0.0;
    if (stop > 0) {
        const ItemBlock& before = blocks[stop - 1];
        previousEnd = EndOf(before, list.rateMilliHz);
        answer.index = static_cast<double>(before.firstIndex) + static_cast<double>(before.count) - 1.0;
    }
    if (stop == blocks.size()) {
        answer.pastEnd = !blocks.empty();
        return answer;
    }
    const ItemBlock& block = blocks[stop];
    const double s = block.startTime;
    if (s > t) {
        // t lies in the gap before this block.
        if (flag == kIndexAfter) {
            answer.index = block.firstIndex;
        } else if (flag != kIndexBefore && t - previousEnd > s - t) {
            answer.index = block.firstIndex;  // a tie keeps the earlier item
        }
        return answer;
    }
    const double e = EndOf(block, list.rateMilliHz);
    const double v = block.firstIndex + PositionInBlock(block, e, t);
    if (flag == kIndexBefore) {
        answer.index = std::floor(v);
    } else if (flag == kIndexAfter) {
        answer.index = std::ceil(v);
    } else {
        answer.index = std::trunc((block.firstIndex + 0.5) + PositionInBlock(block, e, t));
    }
    return answer;
}

// Whether the walk stops at this block: it starts after t or t falls into it.
bool StopsAt(const ItemBlock& block, uint32_t rate, double t) { return block.startTime > t || t <= EndOf(block, rate); }

size_t StopByWalk(const BlockList& list, double t) {
    size_t i = 0;
    while (i < list.blocks.size() && !StopsAt(list.blocks[i], list.rateMilliHz, t)) ++i;
    return i;
}

size_t StopByBisection(const BlockList& list, double t) {
    // With start and end times in order the stop condition is false for a
    // leading run of blocks and true for the rest.
    const auto it = std::partition_point(list.blocks.begin(), list.blocks.end(), [&](const ItemBlock& block) {
        return !StopsAt(block, list.rateMilliHz, t);
    });
    return static_cast<size_t>(it - list.blocks.begin());
}

}  // namespace

bool BlocksInTimeOrder(const std::vector<ItemBlock>& blocks, uint32_t rateMilliHz) {
    for (size_t i = 1; i < blocks.size(); ++i) {
        if (!(blocks[i].startTime >= blocks[i - 1].startTime)) return false;
        if (!(EndOf(blocks[i], rateMilliHz) >= EndOf(blocks[i - 1], rateMilliHz))) return false;
    }
    return true;
}

bool IndexAtTime(const BlockList& list, double t, int32_t flag, bool timeOrdered, uint32_t& index) {
    index = 0;
    if (std::isnan(t)) return false;
    // An entity without items answers index 0 for every time: "before" a
    // negative time and "after" a positive one there is nothing, every other
    // question is answered.  Hosts that ask each entity for the index range
    // of a time window can so walk past empty entities.
    if (list.blocks.empty() || list.itemCount == 0) {
        if (flag == kIndexBefore) return !(t < 0);
        if (flag == kIndexAfter) return !(t > 0);
        return true;
    }

    const size_t stop = timeOrdered ? StopByBisection(list, t) : StopByWalk(list, t);
    const RawAnswer answer = AnswerAt(list, stop, t, flag);
    bool ok = true;
    if (flag == kIndexBefore && t < 0) ok = false;
    if (flag == kIndexAfter && answer.pastEnd) ok = false;
    // No index at or beyond the item count is ever handed out: past the last
    // item the last one is the answer, and "after" t there is none.
    const double last = static_cast<double>(list.itemCount) - 1.0;
    if (answer.index > last) {
        index = list.itemCount - 1;
        return flag == kIndexAfter ? false : ok;
    }
    index = answer.index > 0 ? static_cast<uint32_t>(answer.index) : 0;
    return ok;
}

bool TimeOfIndex(const BlockList& list, int32_t blockLength, uint32_t index, double& time) {
    if (index >= list.itemCount) return false;
    uint32_t r = index;
    double s = 0.0;
    if (blockLength > 0) {
        const uint32_t length = static_cast<uint32_t>(blockLength);
        const size_t b = index / length;
        r = index % length;
        s = b < list.blocks.size() ? list.blocks[b].startTime : 0.0;
    } else {
        for (const ItemBlock& block : list.blocks) {
            s = block.startTime;
            if (block.count > r) break;
            r -= block.count;
        }
    }
    if (r != 0 && list.rateMilliHz == 0) return false;  // no sample period to count in
    time = SampleSpanSeconds(static_cast<double>(r), list.rateMilliHz) + s;
    return true;
}

}  // namespace qrd
