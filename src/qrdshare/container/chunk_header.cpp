#include "container/chunk_header.h"

#include <cstring>

#include "container/binary_file.h"

namespace qrd {

ChunkHeader ParseChunkHeader(const uint8_t bytes[kChunkHeaderSize]) {
    ChunkHeader h;
    std::memcpy(h.tag, bytes, sizeof h.tag);
    h.length = GetU64(bytes, 8);
    h.start = GetU64(bytes, 16);
    h.end = GetU64(bytes, 24);
    return h;
}

bool ReadChunkHeader(BinaryFile& file, ChunkHeader& header) {
    uint8_t bytes[kChunkHeaderSize];
    if (!file.Read(bytes, sizeof bytes)) return false;
    header = ParseChunkHeader(bytes);
    return true;
}

bool ReadChunkHeaderAt(BinaryFile& file, uint64_t offset, ChunkHeader& header) {
    uint8_t bytes[kChunkHeaderSize];
    if (!file.ReadAt(offset, bytes, sizeof bytes)) return false;
    header = ParseChunkHeader(bytes);
    return true;
}

void WriteChunkHeader(const ChunkHeader& header, LeWriter& out) {
    out.Bytes(header.tag, sizeof header.tag);
    out.U64(header.length);
    out.U64(header.start);
    out.U64(header.end);
}

}  // namespace qrd
