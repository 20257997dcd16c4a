// Records of the index block that can end a recording (and that is the whole
// content of an index cache file):
//   "IDX1QRV " + u64 303 + IndexHeader
//   "IDXIDX  " + u64 16 x n + n PositionEntry
//   "IDXSWEEP" + u64 16 x m + m SweepEntry
// The index header is packed: 303 bytes without padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "container/le_codec.h"

namespace qrd {

namespace index_header_layout {
constexpr size_t kVersion = 0;
constexpr size_t kPath = 2;
constexpr size_t kPathWidth = 257;
constexpr size_t kStreamCount = 259;
constexpr size_t kEntryCount = 263;
constexpr size_t kFirstEntryTime = 267;
constexpr size_t kLastEntryTime = 275;
constexpr size_t kSweepCount = 283;
constexpr size_t kFirstSweepStart = 287;
constexpr size_t kLastSweepEnd = 295;
constexpr size_t kRecordSize = 303;
static_assert(kPath + kPathWidth == kStreamCount, "the path ends at the stream count");
static_assert(kLastSweepEnd + 8 == kRecordSize, "the last sweep end ends the record");
}  // namespace index_header_layout

constexpr uint16_t kIndexVersion = 1;
constexpr size_t kIndexEntrySize = 16;

struct IndexHeader {
    static constexpr size_t kSize = index_header_layout::kRecordSize;

    uint16_t version = 0;
    std::string path;           // recording the index was built for, at most 256 characters
    uint32_t streamCount = 0;
    uint32_t entryCount = 0;    // position entries n
    uint64_t firstEntryTime = 0;
    uint64_t lastEntryTime = 0;
    uint32_t sweepCount = 0;    // sweeps m
    uint64_t firstSweepStart = 0;
    uint64_t lastSweepEnd = 0;

    // Field by field from / into the 303 bytes.
    static IndexHeader Parse(const uint8_t bytes[kSize]);
    void Serialize(uint8_t bytes[kSize]) const;
};

// A chunk start time and the file offset of that chunk's tag.
struct PositionEntry {
    uint64_t time = 0;
    uint64_t offset = 0;
    bool operator==(const PositionEntry& o) const { return time == o.time && offset == o.offset; }
};

// One stretch of uninterrupted data.
struct SweepEntry {
    uint64_t start = 0;
    uint64_t end = 0;
    bool operator==(const SweepEntry& o) const { return start == o.start && end == o.end; }
};

}  // namespace qrd
