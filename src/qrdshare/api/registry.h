// CQRD: the library-wide registry of open recordings.
//
// One instance lives for as long as the library is loaded.  It holds 256 file
// slots; a file's identifier at the boundary is its slot number (1..256, 0
// never names an open file), and each occupied slot owns the stream file and
// the entity table built for it.  The settings read from the settings file at
// load live here too.
#pragma once

#include "api/entity_table.h"
#include "api/library_info.h"
#include "api/library_settings.h"
#include "common/cache_budget.h"
#include "nsapi/nsapi.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qrd {

class CQRVAStreamFile;

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

    // Opens path in the lowest free slot.  *id is 0 unless the file opened.
    // Results: ns_OK; ns_FILEERROR when the file cannot be opened, when path
    // is null or when every slot is taken; ns_TYPEERROR when it is not a
    // readable QRD recording; ns_LIBERROR when id is null.  A failed open
    // leaves every slot as it was.
    ns_RESULT OpenFile(const char* path, uint32_t* id);

    // Closes the file of identifier id: ns_OK, or ns_BADFILE when id is out
    // of range or its slot is empty.
    ns_RESULT CloseFile(uint32_t id);

    // The stream file / entity table of identifier id; null when id is out of
    // range or the slot is empty.
    CQRVAStreamFile* GetFile(uint32_t id) const;
    EntityTable* GetEntities(uint32_t id) const;
    // Number of entities of an open file (0 when it has no table).
    uint32_t EntityCount(uint32_t id) const;

    int32_t BaseIsPressedStart() const { return baseIsPressedStart_; }
    const std::string& IndexCacheDirectory() const { return indexCacheDirectory_; }
    // The memory every open file's span cache takes its entries from.
    nscommon::CacheBudget& CacheBudget() { return cacheBudget_; }

private:
    // Element k belongs to identifier k; element 0 is never used.
    std::unique_ptr<CQRVAStreamFile> files_[kMaxOpenFiles + 1];
    std::unique_ptr<EntityTable> entityTables_[kMaxOpenFiles + 1];
    int32_t baseIsPressedStart_ = 0;
    std::string indexCacheDirectory_;
    // Destroyed after the destructor's body has closed every file, so the
    // files' caches give their bytes back first.
    nscommon::CacheBudget cacheBudget_;
};

// The registry of the loaded library, created (and its settings file read)
// when the library is loaded.
CQRD& Registry();

}  // namespace qrd
