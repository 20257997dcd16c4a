// A file opened through the operating system's own handle (a POSIX file
// descriptor, a Win32 HANDLE), read and written at absolute 64-bit offsets.
//
// This is the only place where the libraries open, read or write files.  It
// keeps no position of its own, so several readers can share one open file,
// and it buffers nothing: the library-side classes (qrdshare's BinaryFile,
// mapshare's RandomAccessFile) add whatever buffering their access pattern
// needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nsplatform {

class NativeFile {
public:
    NativeFile() = default;
    ~NativeFile();
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;

    // Opens an existing regular file for reading.  Folders, devices, pipes
    // and anything else that is not a plain file on disk are refused.
    bool OpenRead(const std::string& path);
    // Creates the file, or empties an existing one, for reading and writing.
    bool Create(const std::string& path);
    // False when the system reports a failure while closing (which, for a
    // file that was written, can mean lost data).  Closing a closed file is
    // a success.
    bool Close();
    bool IsOpen() const { return handle_ != kNoHandle; }

    // The current size of the open file.
    bool QuerySize(uint64_t& size) const;

    // Reads up to count bytes at offset: the number read, fewer only at the
    // end of the file, or -1 on an input error.
    int64_t ReadAt(uint64_t offset, void* buffer, size_t count) const;
    // Writes all count bytes at offset, or returns false.
    bool WriteAt(uint64_t offset, const void* data, size_t count);

private:
    // A file descriptor or a HANDLE, whichever the system uses; -1 is
    // "closed" for both (it is also INVALID_HANDLE_VALUE).
    static constexpr intptr_t kNoHandle = -1;
    intptr_t handle_ = kNoHandle;
};

}  // namespace nsplatform
