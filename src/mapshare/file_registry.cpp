#include "file_registry.h"

#include "last_error.h"

#include <utility>

namespace mapshare {

namespace {

// Everything a file holds is released here: its channels, its open file
// and the MapFile itself.
void release(OpenMapFile& open) {
    if (!open.file) return;
    open.file->removeAllChannels();
    open.file->file().close();
    open.file.reset();
}

}  // namespace

HeldMapFile::HeldMapFile(std::shared_ptr<OpenMapFile> open) : open_(std::move(open)) {
    if (!open_) return;
    lock_ = std::unique_lock<std::mutex>(open_->lock);
    // Closed while this call waited for the lock: it must not be read.
    if (open_->closed) {
        lock_.unlock();
        open_.reset();
    }
}

HeldMapFile& HeldMapFile::operator=(HeldMapFile&& other) noexcept {
    if (this != &other) {
        if (lock_.owns_lock()) lock_.unlock();
        lock_ = std::move(other.lock_);
        open_ = std::move(other.open_);
    }
    return *this;
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
    auto open = std::make_shared<OpenMapFile>();
    open->file = std::move(file);
    const uint32_t handle = ++lastHandle_;
    Slot& s = slots_[slot];
    s.handle = handle;
    {
        std::lock_guard<std::mutex> slotGuard(s.lock);
        s.open = std::move(open);
    }
    ++count_;
    return handle;
}

void FileRegistry::publish(uint32_t handle) {
    std::lock_guard<std::mutex> guard(lock_);
    const int slot = slotOf(handle);
    if (slot >= 0) published_[slot].store(handle, std::memory_order_release);
}

void FileRegistry::discard(uint32_t handle) {
    std::shared_ptr<OpenMapFile> open;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const int slot = slotOf(handle);
        if (slot < 0 || published_[slot].load(std::memory_order_relaxed) != 0) return;
        Slot& s = slots_[slot];
        {
            std::lock_guard<std::mutex> slotGuard(s.lock);
            open = std::move(s.open);
        }
        s.handle = 0;
        --count_;
    }
    // Never published: no other call can hold it.
    release(*open);
}

HeldMapFile FileRegistry::hold(uint32_t handle) {
    if (handle == 0) {
        setLastError("Null pointer");
        return HeldMapFile();
    }
    std::shared_ptr<OpenMapFile> open;
    for (int i = 0; i < kMaxFiles; ++i) {
        if (published_[i].load(std::memory_order_acquire) != handle) continue;
        std::lock_guard<std::mutex> slotGuard(slots_[i].lock);
        // Looked at again under the slot's lock: a close may have emptied it.
        if (published_[i].load(std::memory_order_relaxed) == handle) open = slots_[i].open;
        break;
    }
    // The file's lock is taken after the slot's is released, so a long call
    // on one file never holds up lookups of others.
    return HeldMapFile(std::move(open));
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
    std::shared_ptr<OpenMapFile> open;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const int slot = slotOf(handle);
        if (slot < 0 || published_[slot].load(std::memory_order_relaxed) != handle) {
            setLastError("file not found to remove");
            return false;
        }
        Slot& s = slots_[slot];
        {
            std::lock_guard<std::mutex> slotGuard(s.lock);
            published_[slot].store(0, std::memory_order_relaxed);
            open = std::move(s.open);
        }
        s.handle = 0;
        --count_;
    }
    // Waits for a call that is working on the file, then releases it at
    // once, so the recording is no longer open when ns_CloseFile returns.
    // Calls that took a reference before the slot was emptied find it closed.
    std::lock_guard<std::mutex> fileGuard(open->lock);
    open->closed = true;
    release(*open);
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
