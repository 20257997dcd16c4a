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
    writeBuffer_.reset();
    writeBytes_ = 0;
    {
        std::lock_guard<std::mutex> guard(readLock_);
        readBuffers_.clear();
    }
    writing_ = false;
    position_ = 0;
    size_ = 0;
    return ok;
}

BinaryFile::ReadBuffer* BinaryFile::TakeReadBuffer(uint64_t offset) {
    std::lock_guard<std::mutex> guard(readLock_);
    ReadBuffer* along = nullptr;
    ReadBuffer* oldest = nullptr;
    for (const auto& b : readBuffers_) {
        if (b->taken) continue;
        // The buffer holds the offset or its reads go on towards it.
        if (b->count > 0 && offset >= b->start && offset - b->start <= b->count + b->fillSize) {
            along = b.get();
            break;
        }
        if (oldest == nullptr || b->lastUse < oldest->lastUse) oldest = b.get();
    }
    ReadBuffer* chosen = along != nullptr ? along : oldest;
    if (chosen == nullptr) {
        if (readBuffers_.size() >= kMaxReadBuffers) return nullptr;
        // A file opened for reading never needs more buffer than it has
        // bytes (opening many small files, as fuzzing does, then costs
        // little).  The memory is not cleared: only bytes read from the file
        // are ever used.
        auto fresh = std::make_unique<ReadBuffer>();
        fresh->capacity = static_cast<size_t>(std::min<uint64_t>(std::max<uint64_t>(size_, kFirstFill), kBufferSize));
        fresh->bytes.reset(new uint8_t[fresh->capacity]);
        readBuffers_.push_back(std::move(fresh));
        chosen = readBuffers_.back().get();
    }
    chosen->taken = true;
    chosen->lastUse = ++readClock_;
    return chosen;
}

void BinaryFile::GiveBack(ReadBuffer& buffer) {
    std::lock_guard<std::mutex> guard(readLock_);
    buffer.taken = false;
}

void BinaryFile::DropReadBuffers() {
    std::lock_guard<std::mutex> guard(readLock_);
    for (const auto& b : readBuffers_) b->count = 0;
}

bool BinaryFile::Fill(ReadBuffer& buffer, uint64_t offset, size_t atLeast) const {
    // Going on from the previous fill (the offset lies at most one fill
    // beyond its end) is reading along: read more this time.
    const uint64_t previousEnd = buffer.start + buffer.count;
    const bool along = buffer.count > 0 && offset >= buffer.start && offset - previousEnd <= buffer.fillSize;
    buffer.fillSize = along ? std::min(2 * buffer.fillSize, kBufferSize) : kFirstFill;
    buffer.count = 0;
    const int64_t got =
        file_.ReadAt(offset, buffer.bytes.get(), std::min(std::max(buffer.fillSize, atLeast), buffer.capacity));
    if (got <= 0) return false;
    buffer.start = offset;
    buffer.count = static_cast<size_t>(got);
    return true;
}

bool BinaryFile::WritePending() {
    if (writeBytes_ > 0 && !writeFailed_ && !file_.WriteAt(writeStart_, writeBuffer_.get(), writeBytes_)) {
        writeFailed_ = true;
    }
    writeBytes_ = 0;
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
    // Written bytes must be on file before the file is read (writers use
    // the file from one thread).
    if (writing_ && writeBytes_ > 0 && !WritePending()) return false;
    auto* out = static_cast<uint8_t*>(dst);
    if (n >= kDirectRead) return file_.ReadAt(offset, out, n) == static_cast<int64_t>(n);
    ReadBuffer* buffer = TakeReadBuffer(offset);
    if (buffer == nullptr) return file_.ReadAt(offset, out, n) == static_cast<int64_t>(n);
    bool ok = true;
    while (n > 0) {
        if (buffer->count > 0 && offset >= buffer->start && offset - buffer->start < buffer->count) {
            const size_t from = static_cast<size_t>(offset - buffer->start);
            const size_t take = std::min(n, buffer->count - from);
            std::memcpy(out, buffer->bytes.get() + from, take);
            out += take;
            offset += take;
            n -= take;
        } else if (!Fill(*buffer, offset, n)) {
            ok = false;
            break;
        }
    }
    GiveBack(*buffer);
    return ok;
}

bool BinaryFile::ReadTagAndLengthAt(uint64_t offset, char tag[8], uint64_t& length) {
    uint8_t buf[16];
    if (!ReadAt(offset, buf, sizeof buf)) return false;
    for (int i = 0; i < 8; ++i) tag[i] = static_cast<char>(buf[i]);
    length = GetU64(buf, 8);
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
    DropReadBuffers();
    // Pending bytes go out first when these do not follow them or do not fit.
    const bool follows = writeBytes_ > 0 && writeStart_ + writeBytes_ == position_;
    if (writeBytes_ > 0 && (!follows || writeBytes_ + n > kBufferSize) && !WritePending()) return false;
    if (n >= kBufferSize) {
        if (!file_.WriteAt(position_, src, n)) writeFailed_ = true;
    } else {
        if (!writeBuffer_) writeBuffer_.reset(new uint8_t[kBufferSize]);
        if (writeBytes_ == 0) writeStart_ = position_;
        std::memcpy(writeBuffer_.get() + writeBytes_, src, n);
        writeBytes_ += n;
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
