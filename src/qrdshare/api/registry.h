// CQRD: the library-wide registry of open recordings.
//
// One instance lives for as long as the library is loaded.  It holds 256 file
// slots; a file's identifier at the boundary is its slot number (1..256, 0
// never names an open file), and each occupied slot holds an OpenRecording:
// the stream file and the entity table built for it.  The settings read from
// the settings file at load live here too and never change afterwards.
//
// Hosts may call from any number of threads.  The slot table is guarded by
// locks that are held only to look a slot up, fill it or empty it, never
// while a file is read.  Each open recording has a mutex of its own that a call
// holds for the whole of its work on that file (HeldFile), so calls on one
// file run one after another and calls on different files run in parallel.
#pragma once

#include "api/entity_table.h"
#include "api/library_info.h"
#include "api/library_settings.h"
#include "common/cache_budget.h"
#include "nsapi/nsapi.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace qrd {

class CQRVAStreamFile;

// Everything of one open recording.  Shared between its slot and the calls
// that work on it; freed when the last of them lets go.  Aligned to a cache
// line of its own, so that calls on two files never write to one line.
struct alignas(64) OpenRecording {
    OpenRecording();
    ~OpenRecording();
    OpenRecording(const OpenRecording&) = delete;
    OpenRecording& operator=(const OpenRecording&) = delete;

    std::mutex lock;
    // Set (under lock) by CloseFile, which also releases file and entities;
    // a call that gets the lock afterwards finds the recording closed.
    bool closed = false;
    std::unique_ptr<CQRVAStreamFile> file;
    std::unique_ptr<EntityTable> entities;
};

// An open recording held by one call: a reference that keeps it alive and
// its lock, both released when the HeldFile goes.  Empty (false) when the
// identifier names no open file, or when the file was closed while the call
// waited for it.
class HeldFile {
public:
    HeldFile() = default;
    explicit HeldFile(std::shared_ptr<OpenRecording> recording);
    HeldFile(HeldFile&&) = default;
    // Not assignable: an assignment would have to release one lock and its
    // recording in the right order before taking the other.
    HeldFile& operator=(HeldFile&&) = delete;

    explicit operator bool() const { return recording_ != nullptr; }
    CQRVAStreamFile& File() const { return *recording_->file; }
    EntityTable& Entities() const { return *recording_->entities; }

private:
    // Declared before the lock, so the lock is released before the last
    // reference can free the mutex.
    std::shared_ptr<OpenRecording> recording_;
    std::unique_lock<std::mutex> lock_;
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
    // of range or its slot is empty.  The slot is free at once; the stream
    // file and entity table are released as soon as a call that is working
    // on them has finished.
    ns_RESULT CloseFile(uint32_t id);

    // The open file of identifier id, locked for the caller; empty when id
    // is out of range, its slot is empty or the file was closed meanwhile.
    HeldFile Hold(uint32_t id) const;
    // Whether a file is open under identifier id (a snapshot).
    bool IsOpen(uint32_t id) const;

    int32_t BaseIsPressedStart() const { return baseIsPressedStart_; }
    const std::string& IndexCacheDirectory() const { return indexCacheDirectory_; }
    // The memory every open file's span cache takes its entries from.
    nscommon::CacheBudget& CacheBudget() { return cacheBudget_; }

private:
    // Puts recording in the lowest free slot; 0 when none is free.
    uint32_t Insert(std::shared_ptr<OpenRecording> recording);
    std::shared_ptr<OpenRecording> Find(uint32_t id) const;

    // Each slot has a lock of its own, so that calls on different files
    // never contend for one lock (or one cache line) just to find their
    // file.  Opens and closes also hold layoutLock_ while they fill or empty
    // a slot, so a scan for the lowest free slot under layoutLock_ sees a
    // consistent table.
    struct alignas(64) Slot {
        std::mutex lock;
        std::shared_ptr<OpenRecording> recording;
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
