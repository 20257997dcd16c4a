#include "platform/large_buffer.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <cstdint>

namespace nsplatform {

namespace {
constexpr size_t kUnit = kLargeBufferUnit;
}  // namespace

size_t LargeBufferSize(size_t bytes) {
    if (bytes == 0) return kUnit;
    if (bytes > SIZE_MAX - kUnit) return 0;
    return (bytes + kUnit - 1) / kUnit * kUnit;
}

#if defined(_WIN32)

void* AllocateLargeBuffer(size_t bytes) {
    const size_t size = LargeBufferSize(bytes);
    if (size == 0) return nullptr;
    return VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void FreeLargeBuffer(void* buffer, size_t) {
    if (buffer) VirtualFree(buffer, 0, MEM_RELEASE);
}

#else

void* AllocateLargeBuffer(size_t bytes) {
    const size_t size = LargeBufferSize(bytes);
    if (size == 0) return nullptr;
    // Map one unit more than needed, then unmap the ends so that the buffer
    // starts on a unit boundary, where large pages can back it.
    const size_t mapped = size + kUnit;
    void* base = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(base);
    const uintptr_t aligned = (start + kUnit - 1) / kUnit * kUnit;
    if (aligned > start) munmap(base, aligned - start);
    const uintptr_t end = start + mapped, used = aligned + size;
    if (end > used) munmap(reinterpret_cast<void*>(used), end - used);
    void* buffer = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    madvise(buffer, size, MADV_HUGEPAGE);
#endif
    return buffer;
}

void FreeLargeBuffer(void* buffer, size_t bytes) {
    if (buffer) munmap(buffer, LargeBufferSize(bytes));
}

#endif

}  // namespace nsplatform
