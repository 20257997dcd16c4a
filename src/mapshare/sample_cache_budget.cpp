#include "sample_cache_budget.h"

#include <cstdlib>

namespace mapshare {

nscommon::CacheBudget& sampleCacheBudget() {
    static nscommon::CacheBudget budget(
        nscommon::CacheBudgetFromMegabytes(std::getenv(kCacheBudgetVariable), nscommon::DefaultCacheBudgetBytes()));
    return budget;
}

// A piece of 256 KiB is read in a few tens of microseconds, so the system
// call cost vanishes, and stays in the processor's cache (next to a host's
// window of samples) while every channel takes its blocks from it.  Small
// budgets get smaller pieces, so that a few of them still fit.
size_t pieceBytesFor(uint64_t budgetBytes) {
    constexpr size_t kLargest = 256u << 10;
    constexpr size_t kSmallest = 64u << 10;
    size_t bytes = kLargest;
    while (bytes > kSmallest && budgetBytes / bytes < 16) bytes /= 2;
    return bytes;
}

}  // namespace mapshare
