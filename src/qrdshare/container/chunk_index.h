// The chunk index of a recording: a sparse list of (chunk start time, file
// offset of the chunk's tag) so a time lookup can seek close to its target,
// and the sweep list, the start and end of every stretch of uninterrupted
// data (the sweeps of a triggered recording, the single span of a continuous
// one).
//
// The sweep lists are either absent (never built, or a cancelled scan) or
// present, possibly empty (a recording without data chunks); callers tell the
// two apart through sweepStarts() being null.
//
// On disk the index is the index block of index_records.h; ReadIndexHeader and
// ReadIndexLists read it back with every invariant checked, and a damaged
// block is rejected as a whole, never truncated.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "container/index_records.h"

namespace qrd {

class BinaryFile;

class CQRVAChunkIndex {
public:
    // Room reserved up front for the position entries of a long recording.
    static constexpr size_t kReservedPositions = 4001;
    static constexpr size_t kReservedSweeps = 500;

    CQRVAChunkIndex();
    // Deep copies (the sweep lists are copied, absent lists stay absent).
    CQRVAChunkIndex(const CQRVAChunkIndex& other);
    CQRVAChunkIndex& operator=(const CQRVAChunkIndex& other);
    CQRVAChunkIndex(CQRVAChunkIndex&&) = default;
    CQRVAChunkIndex& operator=(CQRVAChunkIndex&&) = default;

    // Empties the position entries and drops both sweep lists (they become absent).
    void Clear();
    void AddPosition(uint64_t time, uint64_t offset);
    // Drops the position entries only (sweep lists stay).
    void ClearPositions() { positions_.clear(); }
    const std::vector<PositionEntry>& positions() const { return positions_; }

    // True when the sweep start list exists and is not empty.
    bool HasSweepList() const { return sweepStarts_ && !sweepStarts_->empty(); }
    // Null while the lists are absent.
    const std::vector<uint64_t>* sweepStarts() const { return sweepStarts_.get(); }
    const std::vector<uint64_t>* sweepEnds() const { return sweepEnds_.get(); }
    // Number of sweep starts (0 while absent).
    size_t SweepCount() const { return sweepStarts_ ? sweepStarts_->size() : 0; }
    // Installs both lists (the scan's result).  The lists must be equally long;
    // the shorter length is used otherwise.
    void SetSweeps(std::vector<uint64_t> starts, std::vector<uint64_t> ends);

    // The header as last read or written.
    const IndexHeader& header() const { return header_; }

    // Reads "IDX1QRV " (compared exactly), its length (ignored) and the 303
    // header bytes.  False on a short read or a wrong tag.
    bool ReadIndexHeader(BinaryFile& file);
    // Reads "IDXIDX  " and "IDXSWEEP" after the header.  Each section length
    // must be exactly 16 x the header's count and fit in the rest of the file
    // (checked before anything is allocated); position times and offsets must
    // be non-decreasing; the sweeps must form a non-decreasing chain.  On
    // success the entries replace the index's positions and sweep lists; on
    // failure the index is left as it was and false is returned.
    bool ReadIndexLists(BinaryFile& file);
    // True when there are no position entries, or when the recording holds,
    // 16 bytes after the last entry's offset, a u64 equal to that entry's time
    // (the entry points at a chunk with that start).  The recording's read
    // position is restored.
    bool Validate(BinaryFile& recording) const;

    // Fills the header from the entries (version 1, path cut to 256
    // characters, counts, first/last times) and writes "IDX1QRV ", 303 and
    // the header.  False on a write error.
    bool WriteIndexHeader(BinaryFile& file, const std::string& recordingPath, uint32_t streamCount);
    // Writes "IDXIDX  " + the entries and "IDXSWEEP" + the sweeps; returns the
    // number of sweeps written (write errors stay in the file's sticky state).
    uint32_t WriteIndexLists(BinaryFile& file) const;
    // The same bytes in memory: the header section (updating header() as
    // WriteIndexHeader does) and the list sections.
    void AppendIndexHeader(std::vector<uint8_t>& out, const std::string& recordingPath, uint32_t streamCount);
    uint32_t AppendIndexLists(std::vector<uint8_t>& out) const;

    // Appends another index whose recording was placed positionOffset bytes
    // further into a file and shifted by timeOffset ticks: its positions
    // become (time + timeOffset, offset + positionOffset) and its sweeps are
    // shifted by timeOffset; a first appended sweep that starts exactly where
    // the last sweep here ends continues that sweep (no gap, so one sweep, as
    // a scan of the joined file finds it).  Refuses (returns false, index
    // unchanged) when the result would break the ordering invariants or a time
    // would leave the tick range.
    bool Append(const CQRVAChunkIndex& other, int64_t timeOffset, uint64_t positionOffset);

private:
    void RefreshHeader(const std::string& recordingPath, uint32_t streamCount);

    std::unique_ptr<std::vector<uint64_t>> sweepStarts_;
    std::unique_ptr<std::vector<uint64_t>> sweepEnds_;
    std::vector<PositionEntry> positions_;
    IndexHeader header_;
};

// Checks of the index invariants, shared by the reader and by tests.
bool PositionsAreOrdered(const std::vector<PositionEntry>& positions);
bool SweepsFormChain(const std::vector<uint64_t>& starts, const std::vector<uint64_t>& ends);

}  // namespace qrd
