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

// Releases a stream file the way the registry always does: Reset first, so
// the file handle is closed and the streams are gone before destruction.
void Discard(std::unique_ptr<CQRVAStreamFile>& file) {
    if (!file) return;
    file->Reset();
    file.reset();
}

}  // namespace

CQRD::CQRD(LibrarySettings settings)
    : baseIsPressedStart_(settings.baseIsPressedStart),
      indexCacheDirectory_(std::move(settings.indexCacheDirectory)),
      cacheBudget_(settings.cacheBudgetBytes) {}

CQRD::~CQRD() {
    for (uint32_t id = 1; id <= kMaxOpenFiles; ++id) {
        entityTables_[id].reset();
        Discard(files_[id]);
    }
}

uint32_t CQRD::FindFreeSlot() const {
    for (uint32_t id = 1; id <= kMaxOpenFiles; ++id) {
        if (!files_[id]) return id;
    }
    return 0;
}

ns_RESULT CQRD::OpenFile(const char* path, uint32_t* id) {
    if (id == nullptr) return ns_LIBERROR;
    *id = 0;
    if (path == nullptr) return ns_FILEERROR;
    const uint32_t slot = FindFreeSlot();
    // With every slot taken nothing is opened; a failure code keeps a host
    // from taking identifier 0 for an open file.
    if (slot == 0) return ns_FILEERROR;

    // The stream file joins its slot only once it opened, so that no failure
    // on the way (including an exception) can leave the slot occupied.
    auto file = std::make_unique<CQRVAStreamFile>();
    if (!indexCacheDirectory_.empty()) file->SetCacheDirectory(indexCacheDirectory_);
    file->SetCacheBudget(&cacheBudget_);
    const int result = file->Open(path);
    if (result != CQRVAStreamFile::kOpenOk) {
        Discard(file);
        return MapOpenResult(result);
    }
    files_[slot] = std::move(file);
    // The entity table is owned by the slot from the start; entity records
    // are added to it as the streams are walked, so a build that stops early
    // (a stream it cannot read, or memory running out) leaves the file open
    // with the entities built so far.
    entityTables_[slot] = std::make_unique<EntityTable>();
    *id = slot;
    try {
        BuildEntityTable(*files_[slot], baseIsPressedStart_, *entityTables_[slot]);
    } catch (const std::exception&) {
    }
    return ns_OK;
}

ns_RESULT CQRD::CloseFile(uint32_t id) {
    if (!IsValidId(id) || !files_[id]) return ns_BADFILE;
    entityTables_[id].reset();
    Discard(files_[id]);
    return ns_OK;
}

CQRVAStreamFile* CQRD::GetFile(uint32_t id) const { return IsValidId(id) ? files_[id].get() : nullptr; }

EntityTable* CQRD::GetEntities(uint32_t id) const {
    return IsValidId(id) ? entityTables_[id].get() : nullptr;
}

uint32_t CQRD::EntityCount(uint32_t id) const {
    const EntityTable* table = GetEntities(id);
    return table ? static_cast<uint32_t>(table->Count()) : 0;
}

CQRD& Registry() {
    // Constructed on first use; the library's exports reference it from a
    // load-time initialiser, so in practice the settings are read at load.
    static CQRD registry(LoadSettingsBesideLibrary());
    return registry;
}

}  // namespace qrd
