// The open recordings of the process, in 256 slots.
//
// A host names an open file by a 32-bit handle.  Handles come from a counter
// that only grows while the library is loaded, so a handle never names a
// different file later: a stale handle of a closed file is refused.  0 and
// 0xFFFFFFFF are never handed out.
//
// Hosts may call from any number of threads, on one file or on several.
// Calls find their file without taking a lock: each slot has a call gate
// (common/call_gate.h) that a call enters for as long as it works on the
// file it found (HeldMapFile), so calls on one file run in parallel; what a
// file keeps that calls change (its piece cache) guards itself.  Closing
// unpublishes the handle, waits at the gate until the calls that found the
// file have left, and only then releases it.  Opens and closes change the
// slot table under a lock that no call on an open file takes.
#pragma once

#include "map_file.h"

#include "common/call_gate.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace mapshare {

// An open file held by one call: the call stays inside its slot's gate until
// the HeldMapFile goes, so the file is not released under it.  Empty when the
// handle names no open file or the file is being closed.
class HeldMapFile {
public:
    HeldMapFile() = default;
    HeldMapFile(nscommon::GateEntry entry, MapFile* file);
    HeldMapFile(HeldMapFile&&) = default;
    HeldMapFile& operator=(HeldMapFile&&) = default;

    explicit operator bool() const { return file_ != nullptr; }
    MapFile& operator*() const { return *file_; }
    MapFile* operator->() const { return file_; }

private:
    nscommon::GateEntry entry_;
    MapFile* file_ = nullptr;
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

    // The open file a handle names, held for the caller; empty when there
    // is none.  Handle 0 sets "Null pointer".
    HeldMapFile hold(uint32_t handle);
    // Whether handle names an open file (a snapshot).
    bool contains(uint32_t handle);
    // Takes the file out of the registry and destroys it once no call is
    // working on it (the slot stays taken until then); false with the
    // message set when the handle names no open file.
    bool remove(uint32_t handle);

private:
    // A call finds its file by scanning published_, which only opens and
    // closes write, then enters that slot's gate and looks again: calls
    // never write to a cache line that another thread's call writes.
    // handle and file change under lock_; file is set before the handle is
    // published and released only after the close has waited at the gate,
    // so a call that found the handle published reads it safely.
    struct alignas(64) Slot {
        nscommon::CallGate gate;
        uint32_t handle = 0;  // published, reserved or being closed (under lock_)
        std::unique_ptr<MapFile> file;
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
