// The mapshare shared library as a Neuroshare host sees it: loaded at run
// time (dlopen, LoadLibrary), the seventeen functions found by name.  Outputs are checked with
// guard bytes so a write past a record or buffer is caught.
#pragma once

#include <nsapi/nsapi.h>
#include <nsapi/nsapi_loader.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace maptest {

// The seventeen function pointers come from nsapi::Functions.
struct MapLibrary : nsapi::Functions {
    // The last-error text (read, and therefore emptied).
    std::string lastError() const;
};

// Loaded once per test program; stays loaded, as in a host.
const MapLibrary& mapLib();

// An output area of count T values followed by guard bytes.
template <typename T>
class Guarded {
public:
    explicit Guarded(size_t count = 1) : count_(count), bytes_(count * sizeof(T) + kGuard, kFill) {}
    T* get() { return reinterpret_cast<T*>(bytes_.data()); }
    T& operator*() { return *get(); }
    T* operator->() { return get(); }
    T& operator[](size_t i) { return get()[i]; }
    uint32_t size() const { return static_cast<uint32_t>(count_ * sizeof(T)); }
    bool guardIntact() const {
        for (size_t i = count_ * sizeof(T); i < bytes_.size(); ++i)
            if (bytes_[i] != kFill) return false;
        return true;
    }

private:
    static constexpr size_t kGuard = 32;
    static constexpr uint8_t kFill = 0xA5;
    size_t count_;
    // 8-byte aligned storage for doubles.
    std::vector<uint8_t> bytes_;
};

// An open recording that is closed at the end of the scope.
class OpenRecording {
public:
    explicit OpenRecording(const std::string& path);
    ~OpenRecording();
    uint32_t handle() const { return handle_; }
    ns_RESULT result() const { return result_; }
    ns_FILEINFO info() const;
    ns_ENTITYINFO entity(uint32_t index) const;
    // Entity index of the first entity with this label, or UINT32_MAX.
    uint32_t find(const std::string& label) const;

private:
    uint32_t handle_ = 0;
    ns_RESULT result_;
};

}  // namespace maptest
