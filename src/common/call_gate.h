// Counts the calls that are working on one slot of a file registry, so that
// closing the slot's file can wait for them without making calls on one file
// take turns.
//
// Every call enters the gate before it looks at the slot and leaves it when
// it is done with the file it found there.  Closing first empties the slot
// (later calls find nothing) and then waits until every call that entered
// before has left (WaitForEarlierCalls); only then is the file released.
// Calls on the same file never wait for each other: entering and leaving are
// one atomic addition each, on a counter that threads mostly have to
// themselves (the counter is split into cache-line-sized shards, and each
// thread keeps to one shard).
//
// Calls that enter while a close waits must not keep it waiting, or a close
// could wait for ever behind threads that call the emptied slot again and
// again.  So the gate has two sets of counters and an epoch that says which
// set calls count in: a close switches the epoch and waits only for the old
// set.  A call re-reads the epoch after counting itself and starts again in
// the new set when it changed, so a close that has switched either sees the
// call counted in the set it waits for or the call sees the slot emptied.
// Closes of one gate follow each other (the next switch waits until the old
// set of the previous close is empty).
//
// Ordering: counting in and reading the epoch and the slot are sequentially
// consistent, as are emptying the slot and switching the epoch.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace nscommon {

class CallGate {
public:
    static constexpr size_t kShards = 8;

    CallGate() = default;
    CallGate(const CallGate&) = delete;
    CallGate& operator=(const CallGate&) = delete;

    // Counts the calling thread in; returns what Leave() needs.
    size_t Enter() {
        const size_t shard = ThreadShard();
        for (;;) {
            const uint32_t epoch = epoch_.load(std::memory_order_seq_cst);
            std::atomic<uint64_t>& calls = counters_[epoch][shard].calls;
            calls.fetch_add(1, std::memory_order_seq_cst);
            if (epoch_.load(std::memory_order_seq_cst) == epoch) return epoch * kShards + shard;
            // A close switched the epoch meanwhile: count in the new set.
            calls.fetch_sub(1, std::memory_order_release);
        }
    }
    void Leave(size_t token) {
        counters_[token / kShards][token % kShards].calls.fetch_sub(1, std::memory_order_release);
    }

    // Called after the slot was emptied: returns once every call that
    // entered before has left.  Calls entering meanwhile are not waited for.
    void WaitForEarlierCalls();

    // Calls inside at this moment (a snapshot, for tests).
    uint64_t Inside() const;

private:
    // Each thread takes the next shard when it first enters any gate.
    static size_t ThreadShard();

    struct alignas(64) Counter {
        std::atomic<uint64_t> calls{0};
    };
    Counter counters_[2][kShards];
    alignas(64) std::atomic<uint32_t> epoch_{0};
    std::mutex closing_;  // one close at a time switches and waits
};

// Enters a gate for the lifetime of the object.
class GateEntry {
public:
    GateEntry() = default;
    explicit GateEntry(CallGate& gate) : gate_(&gate), token_(gate.Enter()) {}
    GateEntry(GateEntry&& other) noexcept : gate_(other.gate_), token_(other.token_) { other.gate_ = nullptr; }
    GateEntry& operator=(GateEntry&& other) noexcept {
        if (this != &other) {
            Release();
            gate_ = other.gate_;
            token_ = other.token_;
            other.gate_ = nullptr;
        }
        return *this;
    }
    GateEntry(const GateEntry&) = delete;
    GateEntry& operator=(const GateEntry&) = delete;
    ~GateEntry() { Release(); }

    void Release() {
        if (gate_ != nullptr) gate_->Leave(token_);
        gate_ = nullptr;
    }

private:
    CallGate* gate_ = nullptr;
    size_t token_ = 0;
};

}  // namespace nscommon
