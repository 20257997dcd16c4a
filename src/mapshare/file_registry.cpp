#include "file_registry.h"

#include "last_error.h"

namespace mapshare {

int FileRegistry::slotOf(uint32_t handle) const {
    for (int i = 0; i < kMaxFiles; ++i)
        if (slots_[static_cast<size_t>(i)].handle == handle) return i;
    return -1;
}

uint32_t FileRegistry::add(std::unique_ptr<MapFile> file) {
    if (!file) {
        setLastError(count_ == kMaxFiles ? "Already have the maximum files" : "Null pointer");
        return 0;
    }
    if (count_ >= kMaxFiles) {
        setLastError("Already have the maximum files");
        return 0;
    }
    // After four thousand million opens the handles are used up; reusing one
    // could make an old handle name a new file.
    if (lastHandle_ >= 0xFFFFFFFEu) {
        setLastError("Could not add file");
        return 0;
    }
    const int slot = slotOf(0);
    if (slot < 0) {
        setLastError("Could not add file");
        return 0;
    }
    const uint32_t handle = ++lastHandle_;
    slots_[static_cast<size_t>(slot)].handle = handle;
    slots_[static_cast<size_t>(slot)].file = std::move(file);
    ++count_;
    return handle;
}

MapFile* FileRegistry::find(uint32_t handle) {
    if (handle == 0) {
        setLastError("Null pointer");
        return nullptr;
    }
    const int slot = slotOf(handle);
    return slot < 0 ? nullptr : slots_[static_cast<size_t>(slot)].file.get();
}

bool FileRegistry::remove(uint32_t handle) {
    if (handle == 0) {
        setLastError("Null pointer");
        return false;
    }
    const int slot = slotOf(handle);
    if (slot < 0) {
        setLastError("file not found to remove");
        return false;
    }
    Slot& s = slots_[static_cast<size_t>(slot)];
    s.file->removeAllChannels();
    s.file->file().close();
    s.file.reset();
    s.handle = 0;
    --count_;
    return true;
}

FileRegistry& registry() {
    // Created at first use and destroyed at unload.  Files still open then are
    // released with the registry, which only frees their memory and closes
    // their descriptors.
    static FileRegistry instance;
    return instance;
}

}  // namespace mapshare
