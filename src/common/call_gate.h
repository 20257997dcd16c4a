// Counts the calls that are working on one slot of a file registry, so that
// closing the slot's file can wait for them without making calls on one file
// take turns.
//
// Every call enters the gate before it looks at the slot and leaves it when
// it is done with the file it found there.  Closing first empties the slot
// (later calls find nothing) and then waits until every call that entered
// before has left; only then is the file released.  Calls on the same file
// never wait for each other: entering and leaving are one atomic addition
// each, on a counter that threads mostly have to themselves (the counter is
// split into cache-line-sized shards, and each thread keeps to one shard).
//
// Ordering: Enter() is a sequentially consistent increment and the caller's
// look at the slot that follows is a sequentially consistent load; emptying
// the slot is a sequentially consistent store followed by WaitUntilIdle().
// So either the close sees the call's increment and waits for it, or the call
// sees the slot empty.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace nscommon {

class CallGate {
public:
    static constexpr size_t kShards = 8;

    CallGate() = default;
    CallGate(const CallGate&) = delete;
    CallGate& operator=(const CallGate&) = delete;

    // Marks the calling thread as inside; returns the shard to leave by.
    size_t Enter() {
        const size_t shard = ThreadShard();
        shards_[shard].calls.fetch_add(1, std::memory_order_seq_cst);
        return shard;
    }
    void Leave(size_t shard) { shards_[shard].calls.fetch_sub(1, std::memory_order_release); }

    // Returns once every call that entered before this was called has left.
    // Calls entering meanwhile are not waited for as a group: a shard seen
    // at 0 once holds no call from before, since such a call cannot enter
    // again without seeing the emptied slot.
    void WaitUntilIdle() const;

    // Calls inside at this moment (a snapshot, for tests).
    uint64_t Inside() const;

private:
    // Each thread takes the next shard when it first enters any gate.
    static size_t ThreadShard();

    struct alignas(64) Shard {
        std::atomic<uint64_t> calls{0};
    };
    Shard shards_[kShards];
};

// Enters a gate for the lifetime of the object.
class GateEntry {
public:
    GateEntry() = default;
    explicit GateEntry(CallGate& gate) : gate_(&gate), shard_(gate.Enter()) {}
    GateEntry(GateEntry&& other) noexcept : gate_(other.gate_), shard_(other.shard_) { other.gate_ = nullptr; }
    GateEntry& operator=(GateEntry&& other) noexcept {
        if (this != &other) {
            Release();
            gate_ = other.gate_;
            shard_ = other.shard_;
            other.gate_ = nullptr;
        }
        return *this;
    }
    GateEntry(const GateEntry&) = delete;
    GateEntry& operator=(const GateEntry&) = delete;
    ~GateEntry() { Release(); }

    void Release() {
        if (gate_ != nullptr) gate_->Leave(shard_);
        gate_ = nullptr;
    }

private:
    CallGate* gate_ = nullptr;
    size_t shard_ = 0;
};

}  // namespace nscommon
