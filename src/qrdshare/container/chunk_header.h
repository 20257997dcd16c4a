// The 32-byte head of a data chunk: tag, length L (= 16 + payload bytes),
// start ticks and end ticks; the payload follows.  A reader skipping a chunk
// (or any other block) of a tag it does not want seeks L bytes past the
// length field.
#pragma once

#include <cstddef>
#include <cstdint>

#include "container/le_codec.h"

namespace qrd {

class BinaryFile;

constexpr size_t kChunkHeaderSize = 32;
// Bytes of the length that are not payload: the start and end ticks.
constexpr uint64_t kChunkTimesSize = 16;

struct ChunkHeader {
    char tag[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    uint64_t length = 0;  // 16 + payload bytes
    uint64_t start = 0;   // ticks
    uint64_t end = 0;     // ticks

    // Payload bytes, 0 for a length below 16 (a damaged chunk).
    uint64_t PayloadSize() const { return length >= kChunkTimesSize ? length - kChunkTimesSize : 0; }
};

// Reads the 32 bytes at the current position; false on a short read.
bool ReadChunkHeader(BinaryFile& file, ChunkHeader& header);
// The same at offset, without touching the file's position (any thread).
bool ReadChunkHeaderAt(BinaryFile& file, uint64_t offset, ChunkHeader& header);
// Parses 32 bytes already in memory.
ChunkHeader ParseChunkHeader(const uint8_t bytes[kChunkHeaderSize]);
void WriteChunkHeader(const ChunkHeader& header, LeWriter& out);

}  // namespace qrd
