#include "platform/large_pages.h"

#include <cstdint>
#include <sys/mman.h>

namespace nsplatform {

namespace {
size_t roundUp(size_t bytes) { return (bytes + kLargePageBytes - 1) / kLargePageBytes * kLargePageBytes; }
}  // namespace

void* AllocateLargePages(size_t bytes) {
    if (bytes == 0 || bytes > SIZE_MAX - 2 * kLargePageBytes) return nullptr;
    const size_t size = roundUp(bytes);
    // Map one large page more than needed and trim both ends, so the memory
    // starts on a large-page boundary.
    const size_t mapped = size + kLargePageBytes;
    void* raw = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kLargePageBytes - 1) & ~static_cast<uintptr_t>(kLargePageBytes - 1);
    if (aligned > start) munmap(raw, aligned - start);
    const size_t tail = mapped - (aligned - start) - size;
    if (tail > 0) munmap(reinterpret_cast<void*>(aligned + size), tail);
#ifdef MADV_HUGEPAGE
    // Only a request: without huge pages the memory works the same.
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
}

void FreeLargePages(void* memory, size_t bytes) {
    if (memory) munmap(memory, roundUp(bytes));
}

}  // namespace nsplatform
