#include "record_source.h"

#include <algorithm>
#include <cstring>

namespace mapshare {
namespace {
// Large enough that the system call cost vanishes against the parsing and
// far larger than the longest record (65535 bytes), yet small enough to stay
// in the processor's cache between the read and the walk over its records.
constexpr size_t kBufferSize = 512u << 10;
}

// Small files get a buffer of their own size; a buffer never needs to be
// larger than the file to hold any of its records.
RecordSource::RecordSource(const RandomAccessFile& file)
    : file_(file), bufferSize_(static_cast<size_t>(std::min<uint64_t>(kBufferSize, file.size()))) {
    buffer_.reset(new uint8_t[bufferSize_ > 0 ? bufferSize_ : 1]);
}

bool RecordSource::peek(size_t count, const uint8_t** bytes) {
    if (count > bufferSize_ || count > remaining()) return false;
    const uint64_t offset = position_ - bufferStart_;
    if (position_ < bufferStart_ || offset + count > bufferFill_) {
        // Keep the unread tail, then fill the rest of the buffer from the file.
        size_t kept = 0;
        if (position_ >= bufferStart_ && offset < bufferFill_) {
            kept = bufferFill_ - static_cast<size_t>(offset);
            std::memmove(buffer_.get(), buffer_.get() + offset, kept);
        }
        bufferStart_ = position_;
        bufferFill_ = kept;
        const int64_t got = file_.readAt(position_ + kept, buffer_.get() + kept, bufferSize_ - kept);
        if (got < 0) {
            ioError_ = true;
            return false;
        }
        bufferFill_ += static_cast<size_t>(got);
        if (count > bufferFill_) return false;
    }
    *bytes = buffer_.get() + (position_ - bufferStart_);
    return true;
}

}  // namespace mapshare
