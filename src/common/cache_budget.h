// The memory allowance that a library's caches of decoded data share.
//
// Each library keeps one budget for the whole process: every open file's
// cache reserves the bytes of an entry before it keeps it and gives them back
// when the entry goes, so all caches together never hold more than the
// budget.  A budget of 0 turns caching off.  Reservations are atomic, so
// caches of files used from different threads can share one budget.
#pragma once

#include <atomic>
#include <cstdint>

namespace nscommon {

class CacheBudget {
public:
    explicit CacheBudget(uint64_t capacityBytes) : capacity_(capacityBytes) {}
    CacheBudget(const CacheBudget&) = delete;
    CacheBudget& operator=(const CacheBudget&) = delete;

    uint64_t Capacity() const { return capacity_.load(std::memory_order_relaxed); }
    uint64_t Used() const { return used_.load(std::memory_order_relaxed); }
    bool Enabled() const { return Capacity() > 0; }

    // Takes bytes from the budget; false (nothing taken) when they do not fit.
    bool TryReserve(uint64_t bytes);
    // Gives back bytes taken with TryReserve.
    void Release(uint64_t bytes);
    // Changes the allowance; entries already kept stay until they are released.
    void SetCapacity(uint64_t capacityBytes) { capacity_.store(capacityBytes, std::memory_order_relaxed); }

private:
    std::atomic<uint64_t> capacity_;
    std::atomic<uint64_t> used_{0};
};

// The default allowance: an eighth of physical memory, at most 4 GiB in a
// 64-bit build and 256 MiB in a 32-bit one (whose address space is small),
// and 64 MiB when the machine does not say how much memory it has.
uint64_t DefaultCacheBudgetBytes();

// A budget given in megabytes as text ("0" turns caching off).  Null, empty
// or malformed text (anything but decimal digits, optionally surrounded by
// blanks) gives fallback; values beyond the address space saturate.
uint64_t CacheBudgetFromMegabytes(const char* text, uint64_t fallback);

}  // namespace nscommon
