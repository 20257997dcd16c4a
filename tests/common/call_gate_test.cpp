// The call gate of the file registries: a close waits for the calls that
// found the file before it, not for calls that come after, and a file is
// never released under a call that found it, however often the slot is
// emptied and filled again.
#include "common/call_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

using nscommon::CallGate;
using nscommon::GateEntry;
using namespace std::chrono_literals;

TEST(CallGate, ACloseWaitsForEarlierCallsOnlyAndLaterCallsNeverHoldItUp) {
    CallGate gate;
    auto earlier = std::make_unique<GateEntry>(gate);
    auto close = std::async(std::launch::async, [&] { gate.WaitForEarlierCalls(); });
    EXPECT_EQ(close.wait_for(50ms), std::future_status::timeout) << "the close must wait for the earlier call";
    // A call that comes while the close waits, and stays.
    GateEntry later(gate);
    EXPECT_EQ(gate.Inside(), 2u);
    earlier.reset();
    ASSERT_EQ(close.wait_for(5s), std::future_status::ready) << "a later call held the close up";
    EXPECT_EQ(gate.Inside(), 1u);
    // The next close waits for that call in turn.
    auto next = std::async(std::launch::async, [&] { gate.WaitForEarlierCalls(); });
    EXPECT_EQ(next.wait_for(50ms), std::future_status::timeout);
    later.Release();
    ASSERT_EQ(next.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(gate.Inside(), 0u);
}

// A slot as the registries keep it: callers enter, read the file the slot
// points at and leave; a closer empties the slot, waits at the gate, marks
// the file released and puts a new one in.  A caller must never see a file
// that was released while it held it.
TEST(CallGate, AFileIsNeverReleasedUnderACallThatFoundIt) {
    struct File {
        std::atomic<bool> released{false};
    };
    CallGate gate;
    std::atomic<File*> slot{new File};
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> reads{0}, misses{0}, underCall{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&] {
            while (!stop.load()) {
                GateEntry entry(gate);
                File* file = slot.load(std::memory_order_seq_cst);
                if (file == nullptr) {
                    ++misses;
                    continue;
                }
                for (int k = 0; k < 50; ++k)
                    if (file->released.load(std::memory_order_relaxed)) ++underCall;
                ++reads;
            }
        });
    std::vector<std::unique_ptr<File>> released;
    for (int round = 0; round < 50; ++round) {
        // Callers read the file for a while, then the slot is emptied under them.
        const uint64_t before = reads.load();
        while (reads.load() < before + 20) std::this_thread::yield();
        File* old = slot.exchange(nullptr, std::memory_order_seq_cst);
        gate.WaitForEarlierCalls();
        old->released.store(true, std::memory_order_relaxed);
        released.emplace_back(old);  // kept, so a late reader sees the mark instead of freed memory
        slot.store(new File, std::memory_order_seq_cst);
    }
    stop = true;
    for (std::thread& t : callers) t.join();
    delete slot.load();
    EXPECT_EQ(underCall.load(), 0u);
    EXPECT_GT(reads.load(), 0u);
    EXPECT_EQ(gate.Inside(), 0u);
}

}  // namespace
