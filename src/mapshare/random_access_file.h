// The open recording: a read-only file that is read at absolute positions.
// The parser and every query go through it, so there is no shared "current
// position" that one query could leave behind for the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/native_file.h"

namespace mapshare {

class RandomAccessFile {
public:
    RandomAccessFile() = default;
    RandomAccessFile(const RandomAccessFile&) = delete;
    RandomAccessFile& operator=(const RandomAccessFile&) = delete;

    // Opens a regular file for reading; false for anything else.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return file_.IsOpen(); }
    // The size when the file was opened.
    uint64_t size() const { return size_; }

    // Reads up to count bytes at position.  Returns the number of bytes read
    // (fewer at the end of the file) or -1 on an input error.
    int64_t readAt(uint64_t position, void* buffer, size_t count) const {
        return file_.ReadAt(position, buffer, count);
    }

private:
    nsplatform::NativeFile file_;
    uint64_t size_ = 0;
};

}  // namespace mapshare
