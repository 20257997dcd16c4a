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

HeldFile::HeldFile(nscommon::GateEntry entry, OpenRecording* recording)
    : entry_(std::move(entry)), recording_(recording) {
    // Nothing to hold: the gate is left at once.
    if (recording_ == nullptr) entry_.Release();
}

CQRD::CQRD(LibrarySettings settings)
    : baseIsPressedStart_(settings.baseIsPressedStart),
      indexCacheDirectory_(std::move(settings.indexCacheDirectory)),
      cacheBudget_(settings.cacheBudgetBytes) {}

CQRD::~CQRD() {
    // Unloading: no call can be running any more.
    for (uint32_t id = 1; id <= kMaxOpenFiles; ++id) {
        slots_[id].current.store(nullptr);
        slots_[id].owned.reset();
    }
}

uint32_t CQRD::FindFreeSlot() const {
    std::lock_guard<std::mutex> layout(layoutLock_);
    for (uint32_t id = 1; id <= kMaxOpenFiles; ++id) {
        if (!slots_[id].owned) return id;
    }
    return 0;
}

uint32_t CQRD::Insert(std::unique_ptr<OpenRecording> recording) {
    std::lock_guard<std::mutex> layout(layoutLock_);
    for (uint32_t id = 1; id <= kMaxOpenFiles; ++id) {
        Slot& slot = slots_[id];
        if (!slot.owned) {
            slot.owned = std::move(recording);
            slot.current.store(slot.owned.get(), std::memory_order_release);
            return id;
        }
    }
    return 0;
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
    auto recording = std::make_unique<OpenRecording>();
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
    // Whatever reading the first chunk settles (the start time of old
    // recordings) is settled before other threads can see the file.
    recording->file->SettleFirstChunk();
    const uint32_t slot = Insert(std::move(recording));
    // Other threads took the last free slots while this file was read.
    if (slot == 0) return ns_FILEERROR;
    *id = slot;
    return ns_OK;
}

ns_RESULT CQRD::CloseFile(uint32_t id) {
    if (!IsValidId(id)) return ns_BADFILE;
    Slot& slot = slots_[id];
    std::unique_ptr<OpenRecording> recording;
    {
        std::lock_guard<std::mutex> layout(layoutLock_);
        if (!slot.owned) return ns_BADFILE;
        // From here on calls find the slot empty, and an open may take it
        // again at once.
        slot.current.store(nullptr, std::memory_order_seq_cst);
        recording = std::move(slot.owned);
    }
    // Calls that found this file finish with it; then it is released at
    // once, so the host's file is no longer open when this call returns.
    slot.gate.WaitForEarlierCalls();
    Release(*recording);
    return ns_OK;
}

HeldFile CQRD::Hold(uint32_t id) const {
    if (!IsValidId(id)) return HeldFile();
    Slot& slot = slots_[id];
    nscommon::GateEntry entry(slot.gate);
    return HeldFile(std::move(entry), slot.current.load(std::memory_order_seq_cst));
}

bool CQRD::IsOpen(uint32_t id) const {
    return IsValidId(id) && slots_[id].current.load(std::memory_order_acquire) != nullptr;
}

CQRD& Registry() {
    // Constructed on first use (thread-safe); the library's exports reference
    // it from a load-time initialiser, so in practice the settings are read
    // at load, before any host thread calls.
    static CQRD registry(LoadSettingsBesideLibrary());
    return registry;
}

}  // namespace qrd
