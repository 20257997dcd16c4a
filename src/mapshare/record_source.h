// Hands out the records of a MAP file one after another, reading the file
// through one large buffer rather than with a system call per record.
#pragma once

#include "random_access_file.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace mapshare {

class RecordSource {
public:
    explicit RecordSource(const RandomAccessFile& file);

    uint64_t position() const { return position_; }
    uint64_t remaining() const { return file_.size() - position_; }

    // Makes the next count bytes available contiguously; false when the file
    // cannot deliver them (ioError() tells an input error from the end).
    bool peek(size_t count, const uint8_t** bytes);
    void advance(size_t count) { position_ += count; }
    bool ioError() const { return ioError_; }

private:
    const RandomAccessFile& file_;
    // Not zero-filled: only bytes that a read has filled are handed out.
    std::unique_ptr<uint8_t[]> buffer_;
    size_t bufferSize_ = 0;
    uint64_t bufferStart_ = 0;   // file position of buffer_[0]
    size_t bufferFill_ = 0;
    uint64_t position_ = 0;
    bool ioError_ = false;
};

}  // namespace mapshare
