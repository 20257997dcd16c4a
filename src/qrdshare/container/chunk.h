// One data chunk of a QRD recording, described by its header only.
//
// A chunk on disk is: 8-byte tag, u64 length L (= 16 + payload bytes), u64
// start ticks, u64 end ticks, payload.  A CQRVAChunk remembers where the
// payload lies so it can be read on demand; only clones (made when chunks are
// copied into another recording) carry a copy of the payload.
//
// Ownership: every walk that returns a chunk hands it to the caller.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace qrd {

class BinaryFile;
class CQRVAStream;
class CQRVATimeStamp;

class CQRVAChunk {
public:
    // Bytes from a chunk's tag to its payload: tag, length, start, end.
    static constexpr uint64_t kHeaderBytes = 32;

    CQRVAChunk();
    ~CQRVAChunk();
    CQRVAChunk(const CQRVAChunk&) = delete;
    CQRVAChunk& operator=(const CQRVAChunk&) = delete;

    // Start and end time stamps; both use the file's start time as origin.
    CQRVATimeStamp& Start() { return *start_; }
    CQRVATimeStamp& End() { return *end_; }
    const CQRVATimeStamp& Start() const { return *start_; }
    const CQRVATimeStamp& End() const { return *end_; }
    uint64_t GetStartTicks() const;
    uint64_t GetEndTicks() const;

    uint64_t GetDataSize() const { return dataSize_; }
    int64_t GetDataOffset() const { return dataOffset_; }
    // File offset just past the payload, where the next block begins.
    uint64_t GetNextOffset() const { return static_cast<uint64_t>(dataOffset_) + dataSize_; }
    // File offset of the chunk's tag.
    uint64_t GetTagOffset() const { return static_cast<uint64_t>(dataOffset_) - kHeaderBytes; }
    BinaryFile* GetFile() const { return file_; }
    int32_t GetReserved() const { return reserved_; }
    CQRVAStream* GetStream() const { return stream_; }
    void SetStream(CQRVAStream* stream) { stream_ = stream; }
    // The 8 tag characters, NUL-terminated.
    const char* GetTag() const { return tag_; }
    void SetTag(const char tag[8]);

    // Fills the descriptor from a chunk header that was just read.
    void Describe(uint64_t startTicks, uint64_t endTicks, int64_t origin, uint64_t dataSize,
                  int64_t dataOffset, BinaryFile* file);
    // Sets the origin of both time stamps.
    void SetOrigin(int64_t origin);

    // Reads the payload into buffer, which holds capacity bytes.  Returns the
    // data size, or 0 when the buffer is too small or the read fails.
    uint64_t ReadData(void* buffer, uint64_t capacity) const;
    // Reads the payload into a vector sized to it; false on failure.
    bool ReadData(std::vector<uint8_t>& out) const;

    // A copy carrying its own payload; null when the payload cannot be read.
    std::unique_ptr<CQRVAChunk> Clone() const;
    const std::vector<uint8_t>* GetDataCopy() const { return dataCopy_.get(); }
    // Writes tag, length, shifted times and the copied payload.  Only clones
    // carry a payload; false for a chunk without one or on a write error.
    bool WriteChunk(BinaryFile& out, int64_t timeOffset) const;

private:
    std::unique_ptr<CQRVATimeStamp> start_;
    std::unique_ptr<CQRVATimeStamp> end_;
    uint64_t dataSize_ = 0;
    int64_t dataOffset_ = 0;
    BinaryFile* file_ = nullptr;
    int32_t reserved_ = -1;
    CQRVAStream* stream_ = nullptr;
    char tag_[9] = {0};
    std::unique_ptr<std::vector<uint8_t>> dataCopy_;
};

}  // namespace qrd
