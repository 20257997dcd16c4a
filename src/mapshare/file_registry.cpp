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
        if (slots_[static_cast<size_t>(i)].handle == handle) return i;
    return -1;
}

int FileRegistry::publishedSlotOf(uint32_t handle) const {
    const int slot = slotOf(handle);
    return slot >= 0 && slots_[static_cast<size_t>(slot)].published ? slot : -1;
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
    Slot& s = slots_[static_cast<size_t>(slot)];
    s.handle = handle;
    s.published = false;
    s.open = std::move(open);
    ++count_;
    return handle;
}

void FileRegistry::publish(uint32_t handle) {
    std::lock_guard<std::mutex> guard(lock_);
    const int slot = slotOf(handle);
    if (slot >= 0) slots_[static_cast<size_t>(slot)].published = true;
}

void FileRegistry::discard(uint32_t handle) {
    std::shared_ptr<OpenMapFile> open;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const int slot = slotOf(handle);
        if (slot < 0 || slots_[static_cast<size_t>(slot)].published) return;
        Slot& s = slots_[static_cast<size_t>(slot)];
        open = std::move(s.open);
        s = Slot{};
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
    {
        std::lock_guard<std::mutex> guard(lock_);
        const int slot = publishedSlotOf(handle);
        if (slot >= 0) open = slots_[static_cast<size_t>(slot)].open;
    }
    // The file's lock is taken after the registry's is released, so a long
    // call on one file never holds up lookups of others.
    return HeldMapFile(std::move(open));
}

bool FileRegistry::contains(uint32_t handle) {
    std::lock_guard<std::mutex> guard(lock_);
    return handle != 0 && publishedSlotOf(handle) >= 0;
}

bool FileRegistry::remove(uint32_t handle) {
    if (handle == 0) {
        setLastError("Null pointer");
        return false;
    }
    std::shared_ptr<OpenMapFile> open;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const int slot = publishedSlotOf(handle);
        if (slot < 0) {
            setLastError("file not found to remove");
            return false;
        }
        Slot& s = slots_[static_cast<size_t>(slot)];
        open = std::move(s.open);
        s = Slot{};
        --count_;
    }
    // Waits for a call that is working on the file, then releases it at
    // once, so the recording is no longer open when ns_CloseFile returns.
    // Calls that took a reference before the slot was emptied find it closed.
    std::lock_guard<std::mutex> guard(open->lock);
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
