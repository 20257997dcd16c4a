#include "container/binary_file.h"

#include <sys/stat.h>
#include <sys/types.h>

#include "container/le_codec.h"

namespace qrd {

namespace {
// Large enough that walking interleaved chunks of a long recording costs few
// system calls, small enough to keep many files open at once.
constexpr size_t kBufferSize = 256 * 1024;
}  // namespace

BinaryFile::~BinaryFile() { Close(); }

bool BinaryFile::OpenRead(const std::string& path) {
    Close();
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return false;
    // A folder or a device opens fine with fopen on Linux but is no recording:
    // only regular files count as readable.
    struct stat st;
    if (fstat(fileno(file_), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    std::setvbuf(file_, nullptr, _IOFBF, kBufferSize);
    writing_ = false;
    writeFailed_ = false;
    if (fseeko(file_, 0, SEEK_END) != 0) {
        Close();
        return false;
    }
    off_t end = ftello(file_);
    if (end < 0 || fseeko(file_, 0, SEEK_SET) != 0) {
        Close();
        return false;
    }
    size_ = static_cast<uint64_t>(end);
    return true;
}

bool BinaryFile::OpenWrite(const std::string& path) {
    Close();
    file_ = std::fopen(path.c_str(), "wb+");
    if (!file_) return false;
    std::setvbuf(file_, nullptr, _IOFBF, kBufferSize);
    writing_ = true;
    writeFailed_ = false;
    size_ = 0;
    return true;
}

bool BinaryFile::Close() {
    if (!file_) return true;
    bool ok = true;
    if (writing_) ok = std::fflush(file_) == 0 && !writeFailed_;
    if (std::fclose(file_) != 0 && writing_) ok = false;
    file_ = nullptr;
    writing_ = false;
    size_ = 0;
    return ok;
}

bool BinaryFile::Read(void* dst, size_t n) {
    if (!file_) return false;
    if (n == 0) return true;
    return std::fread(dst, 1, n, file_) == n;
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
    if (!file_ || offset > static_cast<uint64_t>(INT64_MAX)) return false;
    return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0;
}

uint64_t BinaryFile::Tell() const {
    if (!file_) return 0;
    off_t at = ftello(file_);
    return at < 0 ? 0 : static_cast<uint64_t>(at);
}

uint64_t BinaryFile::Size() const {
    if (!file_) return 0;
    if (!writing_) return size_;
    off_t here = ftello(file_);
    if (here < 0 || fseeko(file_, 0, SEEK_END) != 0) return 0;
    off_t end = ftello(file_);
    fseeko(file_, here, SEEK_SET);
    return end < 0 ? 0 : static_cast<uint64_t>(end);
}

uint64_t BinaryFile::Remaining() const {
    uint64_t size = Size(), at = Tell();
    return at < size ? size - at : 0;
}

bool BinaryFile::Write(const void* src, size_t n) {
    if (!file_ || writeFailed_) return false;
    if (n && std::fwrite(src, 1, n, file_) != n) writeFailed_ = true;
    return !writeFailed_;
}

bool BinaryFile::WriteU64(uint64_t value) {
    uint8_t buf[8];
    PutU64(buf, 0, value);
    return Write(buf, sizeof buf);
}

bool BinaryFile::Flush() {
    if (!file_) return false;
    if (writing_ && std::fflush(file_) != 0) writeFailed_ = true;
    return !writeFailed_;
}

}  // namespace qrd
