// Memory for the block tables of one open file.
//
// Parsing builds a table of block descriptors for every channel; together
// they are most of the memory an open file holds, and filling fresh memory
// page by page is most of what parsing costs.  The arena hands out that
// memory from large pages (platform/large_buffer.h), one fault filling 2 MiB,
// and gives it all back when the file closes.  Memory freed before then (a
// table outgrowing its first reservation) is not reused: the prediction of
// the parser keeps that small.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace mapshare {

class TableArena {
public:
    TableArena() = default;
    ~TableArena();
    TableArena(const TableArena&) = delete;
    TableArena& operator=(const TableArena&) = delete;

    // bytes aligned to align (a power of two of at most 16); throws
    // std::bad_alloc when the system has no memory.
    void* allocate(size_t bytes, size_t align);
    // Memory handed out last is taken back; anything else waits for the end.
    void release(void* memory, size_t bytes);

private:
    struct Region {
        uint8_t* base;
        size_t bytes;
    };
    std::vector<Region> regions_;
    uint8_t* next_ = nullptr;   // free part of the last slab
    uint8_t* end_ = nullptr;
    uint8_t* last_ = nullptr;   // start of the memory handed out last
};

// A standard allocator over an arena; without one it uses the heap.
template <typename T>
class TableAllocator {
public:
    using value_type = T;

    TableAllocator() noexcept = default;
    explicit TableAllocator(TableArena* arena) noexcept : arena_(arena) {}
    template <typename U>
    TableAllocator(const TableAllocator<U>& other) noexcept : arena_(other.arena()) {}

    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        if (!arena_) return static_cast<T*>(::operator new(n * sizeof(T)));
        return static_cast<T*>(arena_->allocate(n * sizeof(T), alignof(T)));
    }
    void deallocate(T* p, size_t n) noexcept {
        if (!arena_) {
            ::operator delete(p);
            return;
        }
        arena_->release(p, n * sizeof(T));
    }
    TableArena* arena() const noexcept { return arena_; }

    template <typename U>
    bool operator==(const TableAllocator<U>& other) const noexcept {
        return arena_ == other.arena();
    }
    template <typename U>
    bool operator!=(const TableAllocator<U>& other) const noexcept {
        return arena_ != other.arena();
    }

private:
    TableArena* arena_ = nullptr;
};

template <typename T>
using Table = std::vector<T, TableAllocator<T>>;

}  // namespace mapshare
