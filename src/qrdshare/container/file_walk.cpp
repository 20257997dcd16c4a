// Reading chunk heads and the walk over every chunk of a recording in file
// order, whatever stream it belongs to.
#include "container/binary_file.h"
#include "container/chunk.h"
#include "container/chunk_header.h"
#include "container/file_header.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"

#include <cstdint>
#include <mutex>

namespace qrd {

void CQRVAStreamFile::ApplyFirstChunkRule(uint64_t chunkStart) {
    // Settled once a chunk with a start time has been read (at open, in
    // practice): from then on walks on any thread only read.
    if (firstDataTime_.load(std::memory_order_acquire) != 0) return;
    std::lock_guard<std::mutex> guard(firstChunkLock_);
    if (firstDataTime_.load(std::memory_order_relaxed) != 0) return;
    // Recorders writing header versions below 3 could stamp the start of a
    // recording after its first data; the first chunk read moves the start
    // (and every origin measured from it) back to the data.
    if (header_ && header_->version() < 3 && chunkStart < startTime_->GetTicks()) {
        header_->setStartTime(chunkStart);
        startTime_->SetTicks(chunkStart);
        const int64_t origin = static_cast<int64_t>(chunkStart);
        fileTime_->SetOrigin(origin);
        startTime_->SetOrigin(origin);
        stopTime_->SetOrigin(origin);
    }
    firstDataTime_.store(chunkStart, std::memory_order_release);
}

void CQRVAStreamFile::SettleFirstChunk() {
    if (firstDataTime_.load(std::memory_order_acquire) == 0) FirstChunk();
}

std::unique_ptr<CQRVAChunk> CQRVAStreamFile::ChunkFromHeader(const ChunkHeader& head, uint64_t dataOffset) {
    const uint64_t size = file_.Size();
    if (head.length < kChunkTimesSize || dataOffset > size || head.PayloadSize() > size - dataOffset) return nullptr;
    ApplyFirstChunkRule(head.start);
    std::unique_ptr<CQRVAChunk> chunk(new CQRVAChunk());
    chunk->SetTag(head.tag);
    chunk->Describe(head.start, head.end, static_cast<int64_t>(startTime_->GetTicks()), head.PayloadSize(),
                    static_cast<int64_t>(dataOffset), &file_);
    return chunk;
}

std::unique_ptr<CQRVAChunk> CQRVAStreamFile::ReadChunkAt(uint64_t offset) {
    ChunkHeader head;
    if (!ReadChunkHeaderAt(file_, offset, head)) return nullptr;
    return ChunkFromHeader(head, offset + kChunkHeaderSize);
}

std::unique_ptr<CQRVAChunk> CQRVAStreamFile::FirstChunk() {
    if (!file_.IsOpen() || !header_) return nullptr;
    // Without data chunks the index block can follow the header list
    // directly; it must not be read as a chunk.
    if (indexOffset_ != 0 && dataStart_ >= indexOffset_) return nullptr;
    return ReadChunkAt(dataStart_);
}

std::unique_ptr<CQRVAChunk> CQRVAStreamFile::NextChunk(std::unique_ptr<CQRVAChunk>& chunk) {
    if (!chunk || !file_.IsOpen()) return nullptr;
    const uint64_t at = chunk->GetNextOffset();
    if ((indexOffset_ != 0 && at >= indexOffset_) || at > static_cast<uint64_t>(INT64_MAX)) return nullptr;
    std::unique_ptr<CQRVAChunk> next = ReadChunkAt(at);
    if (next) chunk.reset();
    return next;
}

}  // namespace qrd
