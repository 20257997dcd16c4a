// A buffered binary file: the one way the QRD reader and writer touch disk.
//
// Reads are all-or-nothing (a short read reports failure), positions are
// 64-bit so recordings beyond 4 GiB work, and the size of a file opened for
// reading is known, so counts taken from the file can be checked against what
// the file can hold before anything is allocated for them.  Write errors are
// sticky: once a write fails, every later write and Close() report failure.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace qrd {

class BinaryFile {
public:
    BinaryFile() = default;
    ~BinaryFile();
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    bool OpenRead(const std::string& path);
    // Creates or truncates the file.
    bool OpenWrite(const std::string& path);
    // Returns false when the file was written and a write or the final flush failed.
    bool Close();
    bool IsOpen() const { return file_ != nullptr; }

    // Exactly n bytes, or false (the position is then unspecified).
    bool Read(void* dst, size_t n);
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
    bool Flush();
    bool WriteFailed() const { return writeFailed_; }

    std::FILE* handle() const { return file_; }

private:
    std::FILE* file_ = nullptr;
    bool writing_ = false;
    bool writeFailed_ = false;
    uint64_t size_ = 0;
};

}  // namespace qrd
