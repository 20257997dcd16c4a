// Copying raw samples out of chunk payloads.
//
// A sample read is planned as a sequence of runs, each a stretch of values
// of one chunk, in the order the values make up the interleaved result (the
// "read position" of a value is its place in that sequence).  A SampleWindow
// says which read positions the caller wants and where they go; FeedRun reads
// only the bytes of a run that the window wants, so a read of one channel or
// of a short slice touches nothing else, and a read of everything goes
// straight into the caller's buffer without an intermediate copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qrd {

class BinaryFile;
class ChunkTable;

// Values [first, first + count) of chunk `chunk` of a ChunkTable.
struct ValueRun {
    size_t chunk = 0;
    uint64_t first = 0;
    uint64_t count = 0;
    // The run is a whole chunk taken in the whole-chunk phase of a time read
    // (a failed read of such a run fails the whole read).
    bool whole = false;
};

// Which read positions a read wants and where each one goes.
//
// The window starts `skip` values into the read and spans at most `limit`
// values.  Interleaved: value q of the window (q = position - skip) goes to
// dst[q] for q below capacity.  Column: only the values of one channel are
// taken; value q = channel + channels x k goes to dst[k] for k below capacity.
class SampleWindow {
public:
    static SampleWindow Interleaved(uint16_t* dst, uint64_t capacity, uint64_t skip, uint64_t limit);
    static SampleWindow Column(uint16_t* dst, uint64_t capacity, uint64_t skip, uint64_t limit, uint32_t channel,
                               uint32_t channels);

    // Values the read delivered to the window when the whole read produced
    // `total` values: interleaved, the values that landed in dst; column,
    // the whole instants of the window (cut at capacity).
    uint64_t Result(uint64_t total) const;

    // Part [from, to) of the n values at read position pos that the window
    // wants; from == to when it wants none of them.
    void Wanted(uint64_t pos, uint64_t n, uint64_t& from, uint64_t& to) const;
    // Takes n decoded-on-demand values (little-endian bytes) at read position pos.
    void Take(uint64_t pos, const uint8_t* bytes, uint64_t n);
    // Where n values at read position pos can be read straight into, or null.
    uint16_t* Direct(uint64_t pos, uint64_t n) const;

private:
    SampleWindow() = default;

    uint16_t* dst_ = nullptr;
    uint64_t capacity_ = 0;
    uint64_t skip_ = 0;
    uint64_t limit_ = 0;
    bool column_ = false;
    uint32_t channel_ = 0;
    uint32_t channels_ = 1;
};

// Reads the part of run that window wants (run's first value lies at read
// position pos) and hands it over.  Reads go through scratch in pieces of a
// bounded size unless the window takes them directly.  False when a read
// fails.
bool FeedRun(BinaryFile& file, const ChunkTable& table, const ValueRun& run, uint64_t pos, SampleWindow& window,
             std::vector<uint8_t>& scratch);

}  // namespace qrd
