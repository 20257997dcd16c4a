#include "container/binary_file.h"

#include <algorithm>
#include <cstring>

#include "container/le_codec.h"

namespace qrd {

namespace {
// The buffer holds up to kBufferSize bytes: large enough that walking the
// small chunks of a long recording one after the other costs few system
// calls, small enough to keep many files open at once.  A fill after a jump
// reads only kFirstFill bytes (a chunk header between two large payloads
// needs a few dozen), and every fill that goes on from the previous one
// reads twice as much as that one did, up to kBufferSize.
constexpr size_t kBufferSize = 256 * 1024;
constexpr size_t kFirstFill = 4 * 1024;
// Reads of this size or more (sample payloads) go straight from the file into
// the caller's memory: one copy instead of two.
constexpr size_t kDirectRead = 64 * 1024;
constexpr uint64_t kMaxOffset = static_cast<uint64_t>(INT64_MAX);
}  // namespace

BinaryFile::~BinaryFile() { Close(); }

bool BinaryFile::OpenRead(const std::string& path) {
    Close();
    writeFailed_ = false;
    if (!file_.OpenRead(path)) return false;
    if (!file_.QuerySize(size_)) {
        file_.Close();
        return false;
    }
    return true;
}

bool BinaryFile::OpenWrite(const std::string& path) {
    Close();
    writeFailed_ = false;
    if (!file_.Create(path)) return false;
    writing_ = true;
    return true;
}

bool BinaryFile::Close() {
    if (!file_.IsOpen()) return true;
    bool ok = true;
    if (writing_) ok = WritePending();
    if (!file_.Close() && writing_) ok = false;
    DropBuffer();
    buffer_.reset();
    bufferCapacity_ = 0;
    writing_ = false;
    position_ = 0;
    size_ = 0;
    return ok;
}

void BinaryFile::DropBuffer() {
    use_ = BufferUse::kNone;
    bufferStart_ = 0;
    bufferBytes_ = 0;
}

void BinaryFile::EnsureBuffer() {
    if (buffer_) return;
    // A file opened for reading never needs more buffer than it has bytes
    // (opening many small files, as fuzzing does, then costs little).  The
    // memory is not cleared: only bytes read from the file are ever used.
    const uint64_t wanted = writing_ ? kBufferSize : std::max<uint64_t>(size_, kFirstFill);
    bufferCapacity_ = static_cast<size_t>(std::min<uint64_t>(wanted, kBufferSize));
    buffer_.reset(new uint8_t[bufferCapacity_]);
}

bool BinaryFile::Fill(uint64_t offset, size_t atLeast) {
    EnsureBuffer();
    // Going on from the previous fill (the offset lies at most one fill
    // beyond its end) is reading along: read more this time.
    const uint64_t previousEnd = bufferStart_ + bufferBytes_;
    const bool along = use_ == BufferUse::kRead && offset >= bufferStart_ && offset - previousEnd <= fillSize_;
    fillSize_ = along ? std::min(2 * fillSize_, kBufferSize) : kFirstFill;
    DropBuffer();
    const int64_t got = file_.ReadAt(offset, buffer_.get(), std::min(std::max(fillSize_, atLeast), bufferCapacity_));
    if (got <= 0) return false;
    use_ = BufferUse::kRead;
    bufferStart_ = offset;
    bufferBytes_ = static_cast<size_t>(got);
    return true;
}

bool BinaryFile::WritePending() {
    if (use_ == BufferUse::kWrite && bufferBytes_ > 0 && !writeFailed_ &&
        !file_.WriteAt(bufferStart_, buffer_.get(), bufferBytes_)) {
        writeFailed_ = true;
    }
    if (use_ == BufferUse::kWrite) DropBuffer();
    return !writeFailed_;
}

bool BinaryFile::Read(void* dst, size_t n) {
    if (!ReadAt(position_, dst, n)) return false;
    position_ += n;
    return true;
}

bool BinaryFile::ReadAt(uint64_t offset, void* dst, size_t n) {
    if (!file_.IsOpen()) return false;
    if (n == 0) return true;
    if (offset > kMaxOffset || n > kMaxOffset - offset) return false;
    // Written bytes must be on file before the file is read.
    if (use_ == BufferUse::kWrite && !WritePending()) return false;
    auto* out = static_cast<uint8_t*>(dst);
    while (n > 0) {
        if (use_ == BufferUse::kRead && offset >= bufferStart_ && offset - bufferStart_ < bufferBytes_) {
            const size_t from = static_cast<size_t>(offset - bufferStart_);
            const size_t take = std::min(n, bufferBytes_ - from);
            std::memcpy(out, buffer_.get() + from, take);
            out += take;
            offset += take;
            n -= take;
        } else if (n >= kDirectRead) {
            return file_.ReadAt(offset, out, n) == static_cast<int64_t>(n);
        } else if (!Fill(offset, n)) {
            return false;
        }
    }
    return true;
}

bool BinaryFile::ReadTagAndLength(char tag[8], uint64_t& length) {
    uint8_t buf[16];
    if (!Read(buf, sizeof buf)) return false;
    for (int i = 0; i < 8; ++i) tag[i] = static_cast<char>(buf[i]);
    length = GetU64(buf, 8);
    return true;
}

bool BinaryFile::ReadU64(uint64_t& value) {
    uint8_t buf[8];
    if (!Read(buf, sizeof buf)) return false;
    value = GetU64(buf, 0);
    return true;
}

bool BinaryFile::Seek(uint64_t offset) {
    if (!file_.IsOpen() || offset > kMaxOffset) return false;
    position_ = offset;
    return true;
}

uint64_t BinaryFile::Tell() const { return file_.IsOpen() ? position_ : 0; }

uint64_t BinaryFile::Size() const { return file_.IsOpen() ? size_ : 0; }

uint64_t BinaryFile::Remaining() const {
    const uint64_t size = Size(), at = Tell();
    return at < size ? size - at : 0;
}

bool BinaryFile::Write(const void* src, size_t n) {
    if (!file_.IsOpen() || writeFailed_) return false;
    if (!writing_) {
        writeFailed_ = true;  // opened for reading only
        return false;
    }
    if (n == 0) return true;
    if (position_ > kMaxOffset || n > kMaxOffset - position_) {
        writeFailed_ = true;
        return false;
    }
    if (use_ == BufferUse::kRead) DropBuffer();
    // Pending bytes go out first when these do not follow them or do not fit.
    const bool follows = use_ == BufferUse::kWrite && bufferStart_ + bufferBytes_ == position_;
    if (use_ == BufferUse::kWrite && (!follows || bufferBytes_ + n > kBufferSize) && !WritePending()) return false;
    if (n >= kBufferSize) {
        if (!file_.WriteAt(position_, src, n)) writeFailed_ = true;
    } else {
        EnsureBuffer();
        if (use_ != BufferUse::kWrite) {
            use_ = BufferUse::kWrite;
            bufferStart_ = position_;
            bufferBytes_ = 0;
        }
        std::memcpy(buffer_.get() + bufferBytes_, src, n);
        bufferBytes_ += n;
    }
    if (writeFailed_) return false;
    position_ += n;
    size_ = std::max(size_, position_);
    return true;
}

bool BinaryFile::WriteU64(uint64_t value) {
    uint8_t buf[8];
    PutU64(buf, 0, value);
    return Write(buf, sizeof buf);
}

bool BinaryFile::Flush() {
    if (!file_.IsOpen()) return false;
    return writing_ ? WritePending() : !writeFailed_;
}

}  // namespace qrd
