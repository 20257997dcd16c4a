// The open recordings of the process, in 256 slots.
//
// A host names an open file by a 32-bit handle.  Handles come from a counter
// that only grows while the library is loaded, so a handle never names a
// different file later: a stale handle of a closed file is refused.  0 and
// 0xFFFFFFFF are never handed out.
//
// Hosts may call from any number of threads.  The slot table is guarded by
// locks that are held only to look a handle up, fill a slot or empty it.
// Each open file has a mutex of its own, which a call holds for the whole of
// its work on that file (HeldMapFile): calls on one file run one after
// another, calls on different files run in parallel.
#pragma once

#include "map_file.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace mapshare {

// One open recording, shared by its slot and the calls working on it, and
// freed when the last of them lets go.  Aligned to a cache line of its own,
// so that calls on two files never write to one line.
struct alignas(64) OpenMapFile {
    std::mutex lock;
    // Set (under lock) when the file is closed; its MapFile is gone then.
    bool closed = false;
    std::unique_ptr<MapFile> file;
};

// An open file held by one call: a reference and the file's lock, released
// together when the HeldMapFile goes.  Empty when the handle names no open
// file or the file was closed while the call waited for it.
class HeldMapFile {
public:
    HeldMapFile() = default;
    explicit HeldMapFile(std::shared_ptr<OpenMapFile> open);
    HeldMapFile(HeldMapFile&&) = default;
    // Lets go of the file held so far (lock first), then takes other's.
    HeldMapFile& operator=(HeldMapFile&& other) noexcept;

    explicit operator bool() const { return open_ != nullptr; }
    MapFile& operator*() const { return *open_->file; }
    MapFile* operator->() const { return open_->file.get(); }

private:
    // Declared before the lock, so the lock is released before the last
    // reference can free the mutex.
    std::shared_ptr<OpenMapFile> open_;
    std::unique_lock<std::mutex> lock_;
};

class FileRegistry {
public:
    static constexpr int kMaxFiles = 256;

    // Takes ownership of an opened file, gives it a slot and a handle and
    // returns the handle; 0 when the file cannot be registered (the message
    // is set).  The file is not visible to hold() or remove() yet: the
    // caller parses it through the pointer it kept, then publish()es it or,
    // when the parse failed, discard()s it.
    uint32_t add(std::unique_ptr<MapFile> file);
    void publish(uint32_t handle);
    void discard(uint32_t handle);

    // The open file a handle names, locked for the caller; empty when there
    // is none.  Handle 0 sets "Null pointer".
    HeldMapFile hold(uint32_t handle);
    // Whether handle names an open file (a snapshot; takes no file's lock).
    bool contains(uint32_t handle);
    // Takes the file out of the registry and destroys it once no call is
    // working on it; false with the message set when the handle names no
    // open file.
    bool remove(uint32_t handle);

private:
    // A call finds its file by scanning published_, which only opens and
    // closes write, then takes only the lock of that slot: calls on
    // different files never write to a cache line that another reads or
    // writes.  Opens and closes also hold lock_ while they change a slot.
    struct alignas(64) Slot {
        uint32_t handle = 0;  // published or reserved (under lock_)
        std::mutex lock;      // guards open
        std::shared_ptr<OpenMapFile> open;
    };
    // The slot holding handle (published or reserved), or -1.  Call with
    // lock_ held.
    int slotOf(uint32_t handle) const;

    std::mutex lock_;
    // The handle that calls can reach in each slot, or 0.
    std::atomic<uint32_t> published_[kMaxFiles] = {};
    Slot slots_[kMaxFiles];
    int count_ = 0;
    uint32_t lastHandle_ = 0;
};

FileRegistry& registry();

}  // namespace mapshare
