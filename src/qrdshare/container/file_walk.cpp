// Reading chunk heads and the walk over every chunk of a recording in file
// order, whatever stream it belongs to.
#include "container/binary_file.h"
#include "container/chunk.h"
#include "container/chunk_header.h"
#include "container/file_header.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"

namespace qrd {

void CQRVAStreamFile::ApplyFirstChunkRule(uint64_t chunkStart) {
    if (firstDataTime_ != 0) return;
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
    firstDataTime_ = chunkStart;
}

std::unique_ptr<CQRVAChunk> CQRVAStreamFile::ChunkFromHeader(const ChunkHeader& head) {
    const uint64_t dataOffset = file_.Tell();
    const uint64_t size = file_.Size();
    if (head.length < kChunkTimesSize || dataOffset > size || head.PayloadSize() > size - dataOffset) return nullptr;
    ApplyFirstChunkRule(head.start);
    std::unique_ptr<CQRVAChunk> chunk(new CQRVAChunk());
    chunk->SetTag(head.tag);
    chunk->Describe(head.start, head.end, static_cast<int64_t>(startTime_->GetTicks()), head.PayloadSize(),
                    static_cast<int64_t>(dataOffset), &file_);
    return chunk;
}

std::unique_ptr<CQRVAChunk> CQRVAStreamFile::ReadChunkHere() {
    ChunkHeader head;
    if (!ReadChunkHeader(file_, head)) return nullptr;
    return ChunkFromHeader(head);
}

std::unique_ptr<CQRVAChunk> CQRVAStreamFile::FirstChunk() {
    if (!file_.IsOpen() || !header_) return nullptr;
    // Without data chunks the index block can follow the header list
    // directly; it must not be read as a chunk.
    if (indexOffset_ != 0 && dataStart_ >= indexOffset_) return nullptr;
    if (!file_.Seek(dataStart_)) return nullptr;
    return ReadChunkHere();
}

std::unique_ptr<CQRVAChunk> CQRVAStreamFile::NextChunk(std::unique_ptr<CQRVAChunk>& chunk) {
    if (!chunk || !file_.IsOpen()) return nullptr;
    const uint64_t at = chunk->GetNextOffset();
    if ((indexOffset_ != 0 && at >= indexOffset_) || !file_.Seek(at)) return nullptr;
    std::unique_ptr<CQRVAChunk> next = ReadChunkHere();
    if (next) chunk.reset();
    return next;
}

}  // namespace qrd
