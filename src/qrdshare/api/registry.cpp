#include "api/registry.h"

#include "api/entity_builder.h"
#include "container/stream_file.h"

#include <exception>
#include <utility>

namespace qrd {

namespace {

// Open results of the stream file, as the host sees them.
ns_RESULT MapOpenResult(int result) {
    switch (result) {
        case CQRVAStreamFile::kOpenOk:
            return ns_OK;
        case CQRVAStreamFile::kOpenNotQrd:
        case CQRVAStreamFile::kOpenBadHeader:
            return ns_TYPEERROR;
        case CQRVAStreamFile::kOpenCannotOpen:
        default:
            return ns_FILEERROR;
    }
}

// Releases what a recording holds the way the registry always does: the
// entity table first, then the stream file after Reset, so the file handle
// is closed and the streams are gone before destruction.
void Release(OpenRecording& recording) {
    recording.entities.reset();
    if (recording.file) {
        recording.file->Reset();
        recording.file.reset();
    }
}

}  // namespace

OpenRecording::OpenRecording() = default;
OpenRecording::~OpenRecording() { Release(*this); }

HeldFile::HeldFile(std::shared_ptr<OpenRecording> recording) : recording_(std::move(recording)) {
    if (!recording_) return;
    lock_ = std::unique_lock<std::mutex>(recording_->lock);
    // Closed while this call waited for the lock: it must not be read.
    if (recording_->closed) {
        lock_.unlock();
        recording_.reset();
    }
}

CQRD::CQRD(LibrarySettings settings)
    : baseIsPressedStart_(settings.baseIsPressedStart),
      indexCacheDirectory_(std::move(settings.indexCacheDirectory)),
      cacheBudget_(settings.cacheBudgetBytes) {}

CQRD::~CQRD() {
    // Unloading: no call can be running any more.
    for (uint32_t id = 1; id <= kMaxOpenFiles; ++id) slots_[id].recording.reset();
}

uint32_t CQRD::FindFreeSlot() const {
    std::lock_guard<std::mutex> layout(layoutLock_);
    for (uint32_t id = 1; id <= kMaxOpenFiles; ++id) {
        if (!slots_[id].recording) return id;
    }
    return 0;
}

uint32_t CQRD::Insert(std::shared_ptr<OpenRecording> recording) {
    std::lock_guard<std::mutex> layout(layoutLock_);
    for (uint32_t id = 1; id <= kMaxOpenFiles; ++id) {
        if (!slots_[id].recording) {
            std::lock_guard<std::mutex> slot(slots_[id].lock);
            slots_[id].recording = std::move(recording);
            return id;
        }
    }
    return 0;
}

std::shared_ptr<OpenRecording> CQRD::Find(uint32_t id) const {
    if (!IsValidId(id)) return nullptr;
    std::lock_guard<std::mutex> slot(slots_[id].lock);
    return slots_[id].recording;
}

ns_RESULT CQRD::OpenFile(const char* path, uint32_t* id) {
    if (id == nullptr) return ns_LIBERROR;
    *id = 0;
    if (path == nullptr) return ns_FILEERROR;
    // With every slot taken nothing is opened; a failure code keeps a host
    // from taking identifier 0 for an open file.
    if (FindFreeSlot() == 0) return ns_FILEERROR;

    // Nobody else can see the recording until it has a slot, so it is read
    // and its entities built without any lock.
    auto recording = std::make_shared<OpenRecording>();
    recording->file = std::make_unique<CQRVAStreamFile>();
    if (!indexCacheDirectory_.empty()) recording->file->SetCacheDirectory(indexCacheDirectory_);
    recording->file->SetCacheBudget(&cacheBudget_);
    const int result = recording->file->Open(path);
    if (result != CQRVAStreamFile::kOpenOk) return MapOpenResult(result);
    // Entity records are added to the table as the streams are walked, so a
    // build that stops early (a stream it cannot read, or memory running
    // out) leaves the file open with the entities built so far.
    recording->entities = std::make_unique<EntityTable>();
    try {
        BuildEntityTable(*recording->file, baseIsPressedStart_, *recording->entities);
    } catch (const std::exception&) {
    }
    const uint32_t slot = Insert(std::move(recording));
    // Other threads took the last free slots while this file was read.
    if (slot == 0) return ns_FILEERROR;
    *id = slot;
    return ns_OK;
}

ns_RESULT CQRD::CloseFile(uint32_t id) {
    std::shared_ptr<OpenRecording> recording;
    if (IsValidId(id)) {
        std::lock_guard<std::mutex> layout(layoutLock_);
        std::lock_guard<std::mutex> slot(slots_[id].lock);
        recording = std::move(slots_[id].recording);
    }
    if (!recording) return ns_BADFILE;
    // Waits for a call that is working on the file, then releases the file
    // at once, so the host's file is no longer open when this call returns.
    // Calls that took a reference before the slot was emptied find it closed.
    std::lock_guard<std::mutex> guard(recording->lock);
    recording->closed = true;
    Release(*recording);
    return ns_OK;
}

HeldFile CQRD::Hold(uint32_t id) const { return HeldFile(Find(id)); }

bool CQRD::IsOpen(uint32_t id) const { return Find(id) != nullptr; }

CQRD& Registry() {
    // Constructed on first use (thread-safe); the library's exports reference
    // it from a load-time initialiser, so in practice the settings are read
    // at load, before any host thread calls.
    static CQRD registry(LoadSettingsBesideLibrary());
    return registry;
}

}  // namespace qrd
