#include "file_registry.h"

#include "last_error.h"

#include <utility>

namespace mapshare {

namespace {

// Everything a file holds is released here: its channels, its open file
// and the MapFile itself.
void release(std::unique_ptr<MapFile>& file) {
    if (!file) return;
    file->removeAllChannels();
    file->file().close();
    file.reset();
}

}  // namespace

HeldMapFile::HeldMapFile(nscommon::GateEntry entry, MapFile* file) : entry_(std::move(entry)), file_(file) {
    // Nothing to hold: the gate is left at once.
    if (file_ == nullptr) entry_.Release();
}

int FileRegistry::slotOf(uint32_t handle) const {
    for (int i = 0; i < kMaxFiles; ++i)
        if (slots_[i].handle == handle) return i;
    return -1;
}

uint32_t FileRegistry::add(std::unique_ptr<MapFile> file) {
    std::lock_guard<std::mutex> guard(lock_);
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
    Slot& s = slots_[slot];
    s.handle = handle;
    s.file = std::move(file);
    ++count_;
    return handle;
}

void FileRegistry::publish(uint32_t handle) {
    std::lock_guard<std::mutex> guard(lock_);
    const int slot = slotOf(handle);
    if (slot >= 0) published_[slot].store(handle, std::memory_order_release);
}

void FileRegistry::discard(uint32_t handle) {
    std::unique_ptr<MapFile> file;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const int slot = slotOf(handle);
        if (slot < 0 || published_[slot].load(std::memory_order_relaxed) != 0) return;
        Slot& s = slots_[slot];
        file = std::move(s.file);
        s.handle = 0;
        --count_;
    }
    // Never published: no other call can hold it.
    release(file);
}

HeldMapFile FileRegistry::hold(uint32_t handle) {
    if (handle == 0) {
        setLastError("Null pointer");
        return HeldMapFile();
    }
    for (int i = 0; i < kMaxFiles; ++i) {
        if (published_[i].load(std::memory_order_acquire) != handle) continue;
        nscommon::GateEntry entry(slots_[i].gate);
        // Looked at again inside the gate: a close may have unpublished the
        // handle meanwhile, and then waits for no call that finds it gone.
        if (published_[i].load(std::memory_order_seq_cst) != handle) break;
        return HeldMapFile(std::move(entry), slots_[i].file.get());
    }
    return HeldMapFile();
}

bool FileRegistry::contains(uint32_t handle) {
    if (handle == 0) return false;
    for (const std::atomic<uint32_t>& published : published_)
        if (published.load(std::memory_order_acquire) == handle) return true;
    return false;
}

bool FileRegistry::remove(uint32_t handle) {
    if (handle == 0) {
        setLastError("Null pointer");
        return false;
    }
    int slot = -1;
    {
        std::lock_guard<std::mutex> guard(lock_);
        slot = slotOf(handle);
        if (slot < 0 || published_[slot].load(std::memory_order_relaxed) != handle) {
            setLastError("file not found to remove");
            return false;
        }
        // Later calls find no file; the slot stays reserved (its handle is
        // kept) until the file is released.
        published_[slot].store(0, std::memory_order_seq_cst);
    }
    // Waits for the calls that found the file, then releases it at once, so
    // the recording is no longer open when ns_CloseFile returns.
    Slot& s = slots_[slot];
    s.gate.WaitForEarlierCalls();
    std::unique_ptr<MapFile> file;
    {
        std::lock_guard<std::mutex> guard(lock_);
        file = std::move(s.file);
        s.handle = 0;
        --count_;
    }
    release(file);
    return true;
}

FileRegistry& registry() {
    // Created on first use (thread-safe) and destroyed at unload.  Files
    // still open then are released with the registry, which only frees their
    // memory and closes their descriptors.
    static FileRegistry instance;
    return instance;
}

}  // namespace mapshare
