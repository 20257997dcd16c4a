#include "table_arena.h"

#include "platform/large_buffer.h"

namespace mapshare {

TableArena::~TableArena() {
    for (const Region& r : regions_) nsplatform::FreeLargeBuffer(r.base, r.bytes);
}

void* TableArena::allocate(size_t bytes, size_t align) {
    if (bytes == 0) bytes = 1;
    const auto end = reinterpret_cast<uintptr_t>(end_);
    uintptr_t aligned = (reinterpret_cast<uintptr_t>(next_) + align - 1) & ~static_cast<uintptr_t>(align - 1);
    if (next_ == nullptr || aligned > end || bytes > end - aligned) {
        // A new slab: one large page, or as many as a large table needs.
        // The rest of the previous slab is left unused.
        const size_t slab = bytes > nsplatform::kLargeBufferUnit / 2 ? bytes : nsplatform::kLargeBufferUnit;
        auto* base = static_cast<uint8_t*>(nsplatform::AllocateLargeBuffer(slab));
        if (!base) throw std::bad_alloc();
        regions_.push_back(Region{base, slab});
        if (slab == bytes && next_ != nullptr) {
            // A table of its own slab: the current slab stays open for
            // smaller ones.
            last_ = nullptr;
            return base;
        }
        next_ = base;
        end_ = base + ((slab + nsplatform::kLargeBufferUnit - 1) / nsplatform::kLargeBufferUnit) *
                          nsplatform::kLargeBufferUnit;
        aligned = reinterpret_cast<uintptr_t>(base);
    }
    last_ = reinterpret_cast<uint8_t*>(aligned);
    next_ = last_ + bytes;
    return last_;
}

void TableArena::release(void* memory, size_t bytes) {
    if (memory != nullptr && memory == last_ && last_ + bytes == next_) {
        next_ = last_;
        last_ = nullptr;
    }
}

}  // namespace mapshare
