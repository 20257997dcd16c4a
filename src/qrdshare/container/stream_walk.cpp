// The walk over one stream's chunks.  Chunks of all streams lie interleaved
// in the file, so the walk reads block heads from a position on and skips
// every block whose tag is not this stream's chunk tag.
#include <algorithm>
#include <cctype>

#include "container/binary_file.h"
#include "container/block_tags.h"
#include "container/chunk.h"
#include "container/chunk_header.h"
#include "container/chunk_index.h"
#include "container/le_codec.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "container/stream_header.h"
#include "container/time_stamp.h"

namespace qrd {

namespace {

// Chunk tags are compared without regard to case; a NUL in an unused tag
// position counts as the blank a recorder pads with.
bool ChunkTagsMatch(const char* onDisk, const char* key) {
    for (size_t i = 0; i < kTagSize; ++i) {
        unsigned char a = static_cast<unsigned char>(onDisk[i] == '\0' ? ' ' : onDisk[i]);
        unsigned char b = static_cast<unsigned char>(key[i]);
        if (std::toupper(a) != std::toupper(b)) return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<CQRVAChunk> CQRVAStream::ScanForChunk(uint64_t at) {
    BinaryFile* file = file_->GetFileHandle();
    char key[kTagSize];
    ChunkTagKey(key);
    const uint64_t size = file->Size();
    for (;;) {
        char tag[kTagSize];
        uint64_t length = 0;
        if (!file->ReadTagAndLengthAt(at, tag, length)) return nullptr;
        at += 16;
        if (ChunkTagsMatch(tag, key)) {
            uint8_t times[16];
            if (!file->ReadAt(at, times, sizeof times)) return nullptr;
            ChunkHeader head;
            for (size_t i = 0; i < kTagSize; ++i) head.tag[i] = tag[i];
            head.length = length;
            head.start = GetU64(times, 0);
            head.end = GetU64(times, 8);
            std::unique_ptr<CQRVAChunk> chunk = file_->ChunkFromHeader(head, at + sizeof times);
            if (chunk) chunk->SetStream(this);
            return chunk;
        }
        // Skip the block.  Every step moves at least the 16 bytes of its head
        // forward, and a length reaching beyond the file ends the walk.
        if (at > size || length > size - at || at + length > static_cast<uint64_t>(INT64_MAX)) return nullptr;
        at += length;
    }
}

std::unique_ptr<CQRVAChunk> CQRVAStream::FirstChunk() {
    if (!file_ || !header_) return nullptr;
    BinaryFile* file = file_->GetFileHandle();
    if (!file || !file->IsOpen()) return nullptr;
    return ScanForChunk(file_->GetDataStart());
}

std::unique_ptr<CQRVAChunk> CQRVAStream::NextChunk(std::unique_ptr<CQRVAChunk>& chunk) {
    if (!chunk || !file_ || !header_) return nullptr;
    BinaryFile* file = file_->GetFileHandle();
    if (!file || !file->IsOpen()) return nullptr;
    std::unique_ptr<CQRVAChunk> next = ScanForChunk(chunk->GetNextOffset());
    if (next) chunk.reset();
    return next;
}

std::unique_ptr<CQRVAChunk> CQRVAStream::ChunkAtTime(const CQRVATimeStamp& t) {
    if (!file_ || !header_) return nullptr;
    const uint64_t ticks = t.GetTicks();
    std::unique_ptr<CQRVAChunk> chunk = ChunkFromIndex(ticks);
    bool fromIndex = chunk != nullptr;
    if (!chunk) chunk = FirstChunk();
    chunk = AdvancePast(std::move(chunk), ticks);
    // Chunks of one time slice share a start time but not a file position,
    // and a long chunk can begin before the indexed chunk it overlaps, so the
    // scan from an index entry can pass over the chunk that covers t.  A
    // result that does not cover t is therefore confirmed by a walk from the
    // first chunk; a result that covers t is the first chunk ending after it.
    if (fromIndex && (!chunk || chunk->GetStartTicks() > ticks)) chunk = AdvancePast(FirstChunk(), ticks);
    return chunk;
}

std::unique_ptr<CQRVAChunk> CQRVAStream::ChunkFromIndex(uint64_t ticks) {
    const std::vector<PositionEntry>& positions = file_->GetIndex().positions();
    if (positions.empty()) return nullptr;
    // The last entry not after t (the first entry when t precedes them all);
    // among entries of equal time the first, which lies earliest in the file.
    // Entries are ordered by time (the index reader checks it), so binary
    // searches find them.
    auto later = std::upper_bound(positions.begin(), positions.end(), ticks,
                                  [](uint64_t value, const PositionEntry& e) { return value < e.time; });
    const uint64_t time = later == positions.begin() ? positions.front().time : (later - 1)->time;
    auto entry = std::lower_bound(positions.begin(), positions.end(), time,
                                  [](const PositionEntry& e, uint64_t value) { return e.time < value; });
    BinaryFile* file = file_->GetFileHandle();
    if (!file || entry->offset > file->Size()) return nullptr;
    return ScanForChunk(entry->offset);
}

std::unique_ptr<CQRVAChunk> CQRVAStream::AdvancePast(std::unique_ptr<CQRVAChunk> chunk, uint64_t ticks) {
    while (chunk && chunk->GetEndTicks() <= ticks) {
        std::unique_ptr<CQRVAChunk> next = NextChunk(chunk);
        if (!next) return nullptr;
        chunk = std::move(next);
    }
    return chunk;
}

}  // namespace qrd
