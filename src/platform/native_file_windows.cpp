#include "platform/native_file.h"

#include <windows.h>

#include <algorithm>

namespace nsplatform {

namespace {

HANDLE Handle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// ReadFile and WriteFile take 32-bit counts; larger transfers go in pieces.
constexpr size_t kMaxTransfer = 1u << 30;

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    where.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return where;
}

}  // namespace

NativeFile::~NativeFile() { Close(); }

bool NativeFile::OpenRead(const std::string& path) {
    Close();
    // Others may go on reading, writing or renaming the file while it is open
    // here: a recording program may still be appending to it.  A folder
    // cannot be opened this way at all.
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    // Device names (NUL, COM1, CON) and pipes open too, but are no file.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return false;
    }
    handle_ = reinterpret_cast<intptr_t>(h);
    return true;
}

bool NativeFile::Create(const std::string& path) {
    Close();
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<intptr_t>(h);
    return true;
}

bool NativeFile::Close() {
    if (handle_ == kNoHandle) return true;
    const bool ok = CloseHandle(Handle(handle_)) != 0;
    handle_ = kNoHandle;
    return ok;
}

bool NativeFile::QuerySize(uint64_t& size) const {
    LARGE_INTEGER value;
    if (handle_ == kNoHandle || !GetFileSizeEx(Handle(handle_), &value) || value.QuadPart < 0) return false;
    size = static_cast<uint64_t>(value.QuadPart);
    return true;
}

int64_t NativeFile::ReadAt(uint64_t offset, void* buffer, size_t count) const {
    if (handle_ == kNoHandle || offset > static_cast<uint64_t>(INT64_MAX)) return -1;
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const DWORD want = static_cast<DWORD>(std::min(count - done, kMaxTransfer));
        OVERLAPPED where = At(offset + done);
        DWORD got = 0;
        // On a handle opened for synchronous access the offset in OVERLAPPED
        // makes this a positional read that completes before returning.
        if (!ReadFile(Handle(handle_), out + done, want, &got, &where)) {
            if (GetLastError() == ERROR_HANDLE_EOF) break;
            return -1;
        }
        if (got == 0) break;
        done += got;
    }
    return static_cast<int64_t>(done);
}

bool NativeFile::WriteAt(uint64_t offset, const void* data, size_t count) {
    if (handle_ == kNoHandle) return false;
    const auto* in = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < count) {
        const DWORD want = static_cast<DWORD>(std::min(count - done, kMaxTransfer));
        OVERLAPPED where = At(offset + done);
        DWORD put = 0;
        if (!WriteFile(Handle(handle_), in + done, want, &put, &where) || put == 0) return false;
        done += put;
    }
    return true;
}

}  // namespace nsplatform
