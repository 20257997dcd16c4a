// CQRD: the library-wide registry of open recordings.
//
// One instance lives for as long as the library is loaded.  It holds 256 file
// slots; a file's identifier at the boundary is its slot number (1..256, 0
// never names an open file), and each occupied slot holds an OpenRecording:
// the stream file and the entity table built for it.  The settings read from
// the settings file at load live here too and never change afterwards.
//
// Hosts may call from any number of threads, on one file or on several.
// Calls find their file without taking a lock: each slot has a call gate
// (common/call_gate.h) that a call enters for as long as it works on the
// file it found (HeldFile).  Calls on one file therefore run in parallel;
// what the file keeps that calls change (its caches, the chunk lists built on
// first use) guards itself.  Closing empties the slot, waits at the gate
// until the calls that found the file have left, and only then releases it.
// Opens and closes change the slot table under layoutLock_, which no call
// on an open file takes.
#pragma once

#include "api/entity_table.h"
#include "api/library_info.h"
#include "api/library_settings.h"
#include "common/cache_budget.h"
#include "common/call_gate.h"
#include "nsapi/nsapi.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace qrd {

class CQRVAStreamFile;

// Everything of one open recording, owned by its slot.  Aligned to a cache
// line of its own, so that calls on two files never write to one line.
struct alignas(64) OpenRecording {
    OpenRecording();
    ~OpenRecording();
    OpenRecording(const OpenRecording&) = delete;
    OpenRecording& operator=(const OpenRecording&) = delete;

    std::unique_ptr<CQRVAStreamFile> file;
    std::unique_ptr<EntityTable> entities;
};

// An open recording held by one call: the call stays inside its slot's gate
// until the HeldFile goes, so the recording is not released under it.  Empty
// (false) when the identifier names no open file, or when the file was
// closed before the call found it.
class HeldFile {
public:
    HeldFile() = default;
    HeldFile(nscommon::GateEntry entry, OpenRecording* recording);
    HeldFile(HeldFile&&) = default;
    // Not assignable: a held file is given up only by going out of scope.
    HeldFile& operator=(HeldFile&&) = delete;

    explicit operator bool() const { return recording_ != nullptr; }
    CQRVAStreamFile& File() const { return *recording_->file; }
    EntityTable& Entities() const { return *recording_->entities; }

private:
    nscommon::GateEntry entry_;
    OpenRecording* recording_ = nullptr;
};

class CQRD {
public:
    explicit CQRD(LibrarySettings settings = LibrarySettings());
    // Files still open are closed: a host that unloads the library without
    // closing its files gets its file handles and memory back.
    virtual ~CQRD();
    CQRD(const CQRD&) = delete;
    CQRD& operator=(const CQRD&) = delete;

    static bool IsValidId(uint32_t id) { return id >= 1 && id <= kMaxOpenFiles; }

    // Lowest free identifier, scanning 1..256 upwards; 0 when all are taken.
    uint32_t FindFreeSlot() const;

    // Opens path and puts it in the lowest free slot.  *id is 0 unless the
    // file opened.  Results: ns_OK; ns_FILEERROR when the file cannot be
    // opened, when path is null or when every slot is taken; ns_TYPEERROR
    // when it is not a readable QRD recording; ns_LIBERROR when id is null.
    // The recording is read and its entity table built before a slot is
    // taken, without holding the registry lock, so a long open does not hold
    // up calls on other files; a failed open leaves every slot as it was.
    ns_RESULT OpenFile(const char* path, uint32_t* id);

    // Closes the file of identifier id: ns_OK, or ns_BADFILE when id is out
    // of range or its slot is empty.  The slot is free at once (later calls
    // find it empty); calls already working on the file finish first, then
    // the stream file and entity table are released.
    ns_RESULT CloseFile(uint32_t id);

    // The open file of identifier id, held for the caller; empty when id is
    // out of range, its slot is empty or the file is being closed.
    HeldFile Hold(uint32_t id) const;
    // Whether a file is open under identifier id (a snapshot).
    bool IsOpen(uint32_t id) const;

    int32_t BaseIsPressedStart() const { return baseIsPressedStart_; }
    const std::string& IndexCacheDirectory() const { return indexCacheDirectory_; }
    // The memory every open file's span cache takes its entries from.
    nscommon::CacheBudget& CacheBudget() { return cacheBudget_; }

private:
    // Puts recording in the lowest free slot; 0 when none is free.
    uint32_t Insert(std::unique_ptr<OpenRecording> recording);

    // A slot is free when it owns no recording.  owned changes only under
    // layoutLock_; calls read only current, which is the owned recording
    // while the file is open and null from the moment a close begins.
    struct alignas(64) Slot {
        nscommon::CallGate gate;
        std::atomic<OpenRecording*> current{nullptr};
        std::unique_ptr<OpenRecording> owned;
    };
    const int32_t baseIsPressedStart_ = 0;
    const std::string indexCacheDirectory_;
    // Declared before the slots, so it is destroyed after every file still
    // open at unload has given its cache bytes back.
    nscommon::CacheBudget cacheBudget_;
    mutable std::mutex layoutLock_;
    // Element k belongs to identifier k; element 0 is never used.
    mutable Slot slots_[kMaxOpenFiles + 1];
};

// The registry of the loaded library, created (and its settings file read)
// when the library is loaded.
CQRD& Registry();

}  // namespace qrd
