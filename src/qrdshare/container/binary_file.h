// A buffered binary file: the one way the QRD reader and writer touch disk.
//
// Reads are all-or-nothing (a short read reports failure), positions are
// 64-bit so recordings beyond 4 GiB work, and the size of a file opened for
// reading is known, so counts taken from the file can be checked against what
// the file can hold before anything is allocated for them.  Write errors are
// sticky: once a write fails, every later write and Close() report failure.
//
// One buffer serves both directions.  Walking the chunks of a recording makes
// many small reads, which the buffer answers from memory: it reads little
// after a jump and more and more while the reads go on along the file.  Large
// reads (sample payloads) go straight from the file into the caller's memory.
// Writes collect in the buffer until it is full, the position jumps, the file
// is read or Flush()/Close() is called.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/native_file.h"

namespace qrd {

class BinaryFile {
public:
    BinaryFile() = default;
    ~BinaryFile();
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    // Opens a regular file; folders and devices are refused.
    bool OpenRead(const std::string& path);
    // Creates or truncates the file; it can be read back as well.
    bool OpenWrite(const std::string& path);
    // Returns false when the file was written and a write or the final flush failed.
    bool Close();
    bool IsOpen() const { return file_.IsOpen(); }

    // Exactly n bytes, or false (the position is then unspecified).
    bool Read(void* dst, size_t n);
    // Exactly n bytes from offset, or false; the position stays where it is.
    bool ReadAt(uint64_t offset, void* dst, size_t n);
    // Reads an 8-byte tag and the u64 that follows it.
    bool ReadTagAndLength(char tag[8], uint64_t& length);
    bool ReadU64(uint64_t& value);

    bool Seek(uint64_t offset);
    uint64_t Tell() const;
    // Size at open time (reading), or the current end (writing).
    uint64_t Size() const;
    // Bytes from the current position to the end of the file.
    uint64_t Remaining() const;

    bool Write(const void* src, size_t n);
    bool WriteU64(uint64_t value);
    // Hands buffered writes to the system; false once any write failed.
    bool Flush();
    bool WriteFailed() const { return writeFailed_; }

private:
    enum class BufferUse { kNone, kRead, kWrite };

    // Reads at least atLeast bytes (fewer at the end of the file, or when the
    // buffer of a small file holds fewer) from offset into the buffer; false
    // when nothing is there.
    bool Fill(uint64_t offset, size_t atLeast);
    // Allocates the buffer on first use: kBufferSize for writing, at most the
    // file's size for reading.
    void EnsureBuffer();
    // Writes what the buffer holds for writing; false once any write failed.
    bool WritePending();
    void DropBuffer();

    nsplatform::NativeFile file_;
    std::unique_ptr<uint8_t[]> buffer_;  // allocated on first use
    size_t bufferCapacity_ = 0;          // bytes buffer_ holds
    BufferUse use_ = BufferUse::kNone;
    uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
    size_t bufferBytes_ = 0;    // bytes of buffer_ in use
    size_t fillSize_ = 0;       // bytes the last fill asked for
    uint64_t position_ = 0;
    uint64_t size_ = 0;
    bool writing_ = false;
    bool writeFailed_ = false;
};

}  // namespace qrd
