// The chunks of one stream, listed once.
//
// Chunks of all streams lie interleaved in a recording, so finding the chunk
// that holds sample n (or time t) by walking the stream costs one header read
// and one seek per block before it.  A ChunkTable does that walk once, the
// first time a stream's samples are read, and keeps for every chunk its times,
// where its payload lies and the index of its first instant (one instant is
// one value of every channel).  Later reads anywhere in the recording find
// their first chunk with a binary search and go straight to its payload.
//
// The table lists exactly the chunks the stream walk returns, in the same
// order: the walk ends at the first damaged chunk (a length below 16 or a
// payload reaching beyond the file), and so does the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qrd {

class CQRVAStream;

struct ChunkTableEntry {
    uint64_t start = 0;         // ticks
    uint64_t end = 0;           // ticks
    uint64_t dataOffset = 0;    // file offset of the payload
    uint64_t valueCount = 0;    // u16 values in the payload (an odd last byte is no value)
    uint64_t firstInstant = 0;  // instants in all chunks before this one
};

class ChunkTable {
public:
    // Walks the stream's chunks from the first and lists them.
    void Build(CQRVAStream& stream);
    bool IsBuilt() const { return built_; }

    size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    const ChunkTableEntry& At(size_t i) const { return entries_[i]; }
    // Instants per chunk are counted with this channel count (at least 1).
    uint32_t ChannelCount() const { return channelCount_; }
    // Instants in the whole stream.
    uint64_t TotalInstants() const { return totalInstants_; }
    // Bytes of the largest payload: what a buffer for one whole chunk needs.
    uint64_t LargestPayload() const { return largestPayload_; }

    // The chunk holding instant i (the last chunk whose first instant is not
    // after i and that has instants), or Size() when i lies beyond the data.
    size_t ChunkOfInstant(uint64_t instant) const;
    // The first chunk from `from` on whose end lies after ticks, or Size()
    // when there is none; the result of walking forward one chunk at a time.
    size_t FirstEndingAfter(size_t from, uint64_t ticks) const;

    // Buffers for payload pieces, kept so repeated reads do not allocate.
    // A read takes one for its own use and gives it back when it is done, so
    // reads on several threads never share one; the table keeps as many as
    // were in use at once (at most kKeptScratch).
    std::vector<uint8_t> TakeScratch();
    void GiveBackScratch(std::vector<uint8_t> scratch);
    static constexpr size_t kKeptScratch = 8;

private:
    std::vector<ChunkTableEntry> entries_;
    uint32_t channelCount_ = 1;
    uint64_t totalInstants_ = 0;
    uint64_t largestPayload_ = 0;
    // True when every chunk ends no earlier than the one before it, as in
    // every recording a recorder writes; searches by time may then bisect.
    bool endsOrdered_ = true;
    bool built_ = false;
    std::mutex scratchLock_;
    std::vector<std::vector<uint8_t>> scratch_;
};

}  // namespace qrd
