// A buffered binary file: the one way the QRD reader and writer touch disk.
//
// Reads are all-or-nothing (a short read reports failure), positions are
// 64-bit so recordings beyond 4 GiB work, and the size of a file opened for
// reading is known, so counts taken from the file can be checked against what
// the file can hold before anything is allocated for them.  Write errors are
// sticky: once a write fails, every later write and Close() report failure.
//
// Walking the chunks of a recording makes many small reads, which read
// buffers answer from memory: a buffer reads little after a jump and more and
// more while the reads go on along the file.  Large reads (sample payloads) go
// straight from the file into the caller's memory.  Writes collect in a write
// buffer until it is full, the position jumps, the file is read or
// Flush()/Close() is called.
//
// Threads: ReadAt() may be called by any number of threads at once on a file
// opened for reading (the calls of an open recording do), and so may Size()
// and IsOpen().  Each small read takes a read buffer of its own from a small
// pool for the time of the read (a lock guards only the pool), so concurrent
// walks do not disturb each other's read-ahead.  The positioned calls (Seek,
// Read, Tell, the Read*() helpers), writing, opening and closing belong to
// one thread at a time: opening a recording and writing one use them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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
    // Safe to call from several threads at once while no thread writes.
    bool ReadAt(uint64_t offset, void* dst, size_t n);
    // A chunk head (tag and u64 length) at offset; see ReadTagAndLength.
    bool ReadTagAndLengthAt(uint64_t offset, char tag[8], uint64_t& length);
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

    // Read buffers the pool holds at most; a small read that finds all of
    // them taken reads straight from the file.
    static constexpr size_t kMaxReadBuffers = 8;

private:
    // File bytes [start, start + count) of one stretch of the file.
    struct ReadBuffer {
        std::unique_ptr<uint8_t[]> bytes;
        size_t capacity = 0;
        uint64_t start = 0;
        size_t count = 0;
        size_t fillSize = 0;  // bytes the last fill asked for
        uint64_t lastUse = 0;
        bool taken = false;
    };

    // A free read buffer for a read at offset (the one the read goes on
    // from, else the one used longest ago, else a new one), marked taken;
    // null when every buffer the pool may hold is taken.
    ReadBuffer* TakeReadBuffer(uint64_t offset);
    void GiveBack(ReadBuffer& buffer);
    // Reads at least atLeast bytes (fewer at the end of the file, or when the
    // buffer of a small file holds fewer) from offset into buffer; false when
    // nothing is there.
    bool Fill(ReadBuffer& buffer, uint64_t offset, size_t atLeast) const;
    // Forgets what the read buffers hold (the file was written).
    void DropReadBuffers();
    // Writes what the write buffer holds; false once any write failed.
    bool WritePending();

    nsplatform::NativeFile file_;
    // The write buffer, allocated at the first buffered write.
    std::unique_ptr<uint8_t[]> writeBuffer_;
    uint64_t writeStart_ = 0;   // file offset of writeBuffer_[0]
    size_t writeBytes_ = 0;     // bytes waiting in writeBuffer_
    // The read buffers; the lock guards the list and the taken flags.
    std::mutex readLock_;
    std::vector<std::unique_ptr<ReadBuffer>> readBuffers_;
    uint64_t readClock_ = 0;
    uint64_t position_ = 0;
    uint64_t size_ = 0;
    bool writing_ = false;
    bool writeFailed_ = false;
};

}  // namespace qrd
