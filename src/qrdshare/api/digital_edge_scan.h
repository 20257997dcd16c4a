// Finds the bit edges of one digital channel: every change of a bit between
// two consecutive samples is an item of that bit's event entity, rising (1)
// or falling (0xFF).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qrd {

class CQRVAStream;
struct EntityRecord;
struct ItemBlock;

// The 16 bit entities of one channel, bit 0 first.
using BitRecords = std::array<EntityRecord*, 16>;

// Largest number of samples read at once while scanning a continuous channel.
constexpr uint32_t kEdgeScanPiece = 1000000;

// Compares each sample with the one before and appends an edge to the bit
// records for every bit that changed; times are startTime + sample index x
// the sample period, with firstSampleIndex the index of samples[0].  The
// comparison starts with `previous`.
void AppendEdges(const uint16_t* samples, size_t count, uint16_t& previous, uint64_t firstSampleIndex,
                 double startTime, uint32_t rateMilliHz, BitRecords& bits);

// Continuous recording: reads `total` samples of column `column` from the
// start, at most kEdgeScanPiece at a time.  The first sample is the first
// "previous" value.  A read that comes back short ends the scan, so a cut
// recording yields only the edges of the samples really read.
void ScanContinuousEdges(CQRVAStream& stream, uint32_t column, uint64_t total, double timeOffset,
                         BitRecords& bits);

// Sweep recording: each sweep is compared within itself (its first sample is
// never compared with the previous sweep's last); an edge's time is its
// sample's offset in the sweep after the sweep's start time.  sweepBlocks
// are the sweeps (count = samples per channel, startTime = sweep start).  A
// sweep read short ends the scan after the samples read.
void ScanSweepEdges(CQRVAStream& stream, uint32_t column, const std::vector<ItemBlock>& sweepBlocks,
                    BitRecords& bits);

}  // namespace qrd
