#include "common/cache_budget.h"

#include "platform/system_memory.h"

#include <algorithm>
#include <cstddef>
#include <limits>

namespace nscommon {

namespace {
constexpr uint64_t kMiB = 1024 * 1024;
constexpr uint64_t kUnknownMemoryBudget = 64 * kMiB;
constexpr uint64_t kCap = sizeof(void*) >= 8 ? 4096 * kMiB : 256 * kMiB;
}  // namespace

bool CacheBudget::TryReserve(uint64_t bytes) {
    uint64_t used = used_.load(std::memory_order_relaxed);
    for (;;) {
        const uint64_t capacity = Capacity();
        if (bytes > capacity || used > capacity - bytes) return false;
        if (used_.compare_exchange_weak(used, used + bytes, std::memory_order_relaxed)) return true;
    }
}

void CacheBudget::Release(uint64_t bytes) {
    uint64_t used = used_.load(std::memory_order_relaxed);
    // Never below zero, even if a caller gives back more than it took.
    while (!used_.compare_exchange_weak(used, used - std::min(used, bytes), std::memory_order_relaxed)) {
    }
}

uint64_t DefaultCacheBudgetBytes() {
    const uint64_t physical = nsplatform::PhysicalMemoryBytes();
    if (physical == 0) return kUnknownMemoryBudget;
    return std::min(physical / 8, kCap);
}

uint64_t CacheBudgetFromMegabytes(const char* text, uint64_t fallback) {
    if (text == nullptr) return fallback;
    const char* p = text;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p < '0' || *p > '9') return fallback;
    const uint64_t limit = std::numeric_limits<size_t>::max() / kMiB;
    uint64_t megabytes = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        megabytes = std::min(limit, megabytes * 10 + static_cast<uint64_t>(*p - '0'));
    }
    while (*p == ' ' || *p == '\t') ++p;
    if (*p != '\0') return fallback;
    return megabytes * kMiB;
}

}  // namespace nscommon
