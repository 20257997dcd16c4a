#include "common/call_gate.h"

#include <chrono>
#include <thread>

namespace nscommon {

size_t CallGate::ThreadShard() {
    static std::atomic<size_t> next{0};
    thread_local const size_t shard = next.fetch_add(1, std::memory_order_relaxed) % kShards;
    return shard;
}

void CallGate::WaitForEarlierCalls() {
    std::lock_guard<std::mutex> guard(closing_);
    const uint32_t old = epoch_.load(std::memory_order_seq_cst);
    epoch_.store(old ^ 1u, std::memory_order_seq_cst);
    for (const Counter& counter : counters_[old]) {
        // Calls are short next to a close; the first waits only yield, later
        // ones sleep a little longer each time, so a close behind a long
        // read costs no processor time.
        std::chrono::microseconds pause(10);
        for (int tries = 0; counter.calls.load(std::memory_order_acquire) != 0; ++tries) {
            if (tries < 64) {
                std::this_thread::yield();
            } else {
                std::this_thread::sleep_for(pause);
                if (pause < std::chrono::milliseconds(1)) pause *= 2;
            }
        }
    }
}

uint64_t CallGate::Inside() const {
    uint64_t n = 0;
    for (const auto& set : counters_)
        for (const Counter& counter : set) n += counter.calls.load(std::memory_order_acquire);
    return n;
}

}  // namespace nscommon
