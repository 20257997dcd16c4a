// The open recordings of the process, in 256 slots.
//
// A host names an open file by a 32-bit handle.  Handles come from a counter
// that only grows while the library is loaded, so a handle never names a
// different file later: a stale handle of a closed file is refused.  0 and
// 0xFFFFFFFF are never handed out.
#pragma once

#include "map_file.h"

#include <array>
#include <cstdint>
#include <memory>

namespace mapshare {

class FileRegistry {
public:
    static constexpr int kMaxFiles = 256;

    // Takes ownership of an opened file and hands out its handle; 0 when the
    // file cannot be registered (the message is set).
    uint32_t add(std::unique_ptr<MapFile> file);
    // The file a handle names, or null.  Handle 0 sets "Null pointer".
    MapFile* find(uint32_t handle);
    // Closes and destroys the file; false with the message set when the
    // handle names no open file.
    bool remove(uint32_t handle);
    int openCount() const { return count_; }

private:
    struct Slot {
        uint32_t handle = 0;
        std::unique_ptr<MapFile> file;
    };
    int slotOf(uint32_t handle) const;

    std::array<Slot, kMaxFiles> slots_{};
    int count_ = 0;
    uint32_t lastHandle_ = 0;
};

FileRegistry& registry();

}  // namespace mapshare
