#include "container/chunk_index.h"

#include <algorithm>
#include <functional>
#include <limits>

#include "container/binary_file.h"
#include "container/block_tags.h"
#include "container/le_codec.h"

namespace qrd {

namespace {

// Entries are read in slices, so a long list costs few reads and no buffer
// larger than this.
constexpr size_t kEntriesPerRead = 4096;

// Reads one list section: the exact tag, a length of exactly 16 x expected
// bytes that the file can hold, and the (first, second) u64 pairs.
bool ReadPairSection(BinaryFile& file, const char* expectedTag, uint32_t expected,
                     std::vector<std::pair<uint64_t, uint64_t>>& pairs) {
    char tag[kTagSize];
    uint64_t length = 0;
    if (!file.ReadTagAndLength(tag, length) || !TagEquals(tag, expectedTag)) return false;
    if (length != static_cast<uint64_t>(expected) * kIndexEntrySize) return false;
    if (length > file.Remaining()) return false;
    pairs.clear();
    pairs.reserve(expected);
    std::vector<uint8_t> slice;
    uint32_t left = expected;
    while (left > 0) {
        const size_t n = std::min<size_t>(left, kEntriesPerRead);
        slice.resize(n * kIndexEntrySize);
        if (!file.Read(slice.data(), slice.size())) return false;
        for (size_t i = 0; i < n; ++i)
            pairs.emplace_back(GetU64(slice.data(), i * kIndexEntrySize), GetU64(slice.data(), i * kIndexEntrySize + 8));
        left -= static_cast<uint32_t>(n);
    }
    return true;
}

void AppendPairSection(std::vector<uint8_t>& out, const char* tag, size_t count,
                       const std::function<std::pair<uint64_t, uint64_t>(size_t)>& pair) {
    LeWriter w(out);
    w.Tag(tag);
    w.U64(static_cast<uint64_t>(count) * kIndexEntrySize);
    for (size_t i = 0; i < count; ++i) {
        const auto p = pair(i);
        w.U64(p.first);
        w.U64(p.second);
    }
}

// a + delta within the unsigned tick range, or false.
bool Shift(uint64_t a, int64_t delta, uint64_t& result) {
    if (delta < 0) {
        const uint64_t back = static_cast<uint64_t>(-(delta + 1)) + 1;  // |delta| without overflow
        if (a < back) return false;
        result = a - back;
    } else {
        const uint64_t forward = static_cast<uint64_t>(delta);
        if (a > std::numeric_limits<uint64_t>::max() - forward) return false;
        result = a + forward;
    }
    return true;
}

}  // namespace

bool PositionsAreOrdered(const std::vector<PositionEntry>& positions) {
    for (size_t i = 1; i < positions.size(); ++i) {
        if (positions[i].time < positions[i - 1].time || positions[i].offset < positions[i - 1].offset) return false;
    }
    return true;
}

bool SweepsFormChain(const std::vector<uint64_t>& starts, const std::vector<uint64_t>& ends) {
    if (starts.size() != ends.size()) return false;
    for (size_t i = 0; i < starts.size(); ++i) {
        if (ends[i] < starts[i]) return false;
        if (i > 0 && starts[i] < ends[i - 1]) return false;
    }
    return true;
}

CQRVAChunkIndex::CQRVAChunkIndex() { positions_.reserve(kReservedPositions); }

CQRVAChunkIndex::CQRVAChunkIndex(const CQRVAChunkIndex& other) { *this = other; }

CQRVAChunkIndex& CQRVAChunkIndex::operator=(const CQRVAChunkIndex& other) {
    if (this == &other) return *this;
    positions_ = other.positions_;
    sweepStarts_ = other.sweepStarts_ ? std::make_unique<std::vector<uint64_t>>(*other.sweepStarts_) : nullptr;
    sweepEnds_ = other.sweepEnds_ ? std::make_unique<std::vector<uint64_t>>(*other.sweepEnds_) : nullptr;
    header_ = other.header_;
    return *this;
}

void CQRVAChunkIndex::Clear() {
    positions_.clear();
    sweepStarts_.reset();
    sweepEnds_.reset();
}

void CQRVAChunkIndex::AddPosition(uint64_t time, uint64_t offset) { positions_.push_back({time, offset}); }

void CQRVAChunkIndex::SetSweeps(std::vector<uint64_t> starts, std::vector<uint64_t> ends) {
    const size_t n = std::min(starts.size(), ends.size());
    starts.resize(n);
    ends.resize(n);
    sweepStarts_ = std::make_unique<std::vector<uint64_t>>(std::move(starts));
    sweepEnds_ = std::make_unique<std::vector<uint64_t>>(std::move(ends));
}

bool CQRVAChunkIndex::ReadIndexHeader(BinaryFile& file) {
    char tag[kTagSize];
    uint64_t length = 0;
    if (!file.ReadTagAndLength(tag, length) || !TagEquals(tag, kTagIndexHeader)) return false;
    uint8_t bytes[IndexHeader::kSize];
    if (!file.Read(bytes, sizeof bytes)) return false;
    header_ = IndexHeader::Parse(bytes);
    return true;
}

bool CQRVAChunkIndex::ReadIndexLists(BinaryFile& file) {
    std::vector<std::pair<uint64_t, uint64_t>> pairs;
    if (!ReadPairSection(file, kTagIndexPositions, header_.entryCount, pairs)) return false;
    std::vector<PositionEntry> positions;
    positions.reserve(std::max(pairs.size(), kReservedPositions));
    for (const auto& p : pairs) positions.push_back({p.first, p.second});
    if (!PositionsAreOrdered(positions)) return false;

    if (!ReadPairSection(file, kTagIndexSweeps, header_.sweepCount, pairs)) return false;
    std::vector<uint64_t> starts, ends;
    starts.reserve(pairs.size());
    ends.reserve(pairs.size());
    for (const auto& p : pairs) {
        starts.push_back(p.first);
        ends.push_back(p.second);
    }
    if (!SweepsFormChain(starts, ends)) return false;

    positions_ = std::move(positions);
    SetSweeps(std::move(starts), std::move(ends));
    return true;
}

bool CQRVAChunkIndex::Validate(BinaryFile& recording) const {
    if (positions_.empty()) return true;
    const PositionEntry& last = positions_.back();
    // The entry's offset is a chunk tag; the chunk's start ticks follow its
    // tag and length.
    if (last.offset > std::numeric_limits<uint64_t>::max() - 16) return false;
    const uint64_t here = recording.Tell();
    uint64_t start = 0;
    const bool ok = recording.Seek(last.offset + 16) && recording.ReadU64(start) && start == last.time;
    recording.Seek(here);
    return ok;
}

void CQRVAChunkIndex::RefreshHeader(const std::string& recordingPath, uint32_t streamCount) {
    header_.version = kIndexVersion;
    header_.path = recordingPath.substr(0, index_header_layout::kPathWidth - 1);
    header_.streamCount = streamCount;
    header_.entryCount = static_cast<uint32_t>(positions_.size());
    header_.firstEntryTime = positions_.empty() ? 0 : positions_.front().time;
    header_.lastEntryTime = positions_.empty() ? 0 : positions_.back().time;
    const size_t sweeps = SweepCount();
    header_.sweepCount = static_cast<uint32_t>(sweeps);
    header_.firstSweepStart = sweeps ? sweepStarts_->front() : 0;
    header_.lastSweepEnd = sweeps && !sweepEnds_->empty() ? sweepEnds_->back() : 0;
}

void CQRVAChunkIndex::AppendIndexHeader(std::vector<uint8_t>& out, const std::string& recordingPath,
                                        uint32_t streamCount) {
    RefreshHeader(recordingPath, streamCount);
    LeWriter w(out);
    w.Tag(kTagIndexHeader);
    w.U64(IndexHeader::kSize);
    uint8_t bytes[IndexHeader::kSize] = {};
    header_.Serialize(bytes);
    w.Bytes(bytes, sizeof bytes);
}

uint32_t CQRVAChunkIndex::AppendIndexLists(std::vector<uint8_t>& out) const {
    AppendPairSection(out, kTagIndexPositions, positions_.size(),
                      [this](size_t i) { return std::make_pair(positions_[i].time, positions_[i].offset); });
    const size_t m = SweepCount();
    AppendPairSection(out, kTagIndexSweeps, m, [this](size_t i) {
        return std::make_pair((*sweepStarts_)[i], (*sweepEnds_)[i]);
    });
    return static_cast<uint32_t>(m);
}

bool CQRVAChunkIndex::WriteIndexHeader(BinaryFile& file, const std::string& recordingPath, uint32_t streamCount) {
    std::vector<uint8_t> bytes;
    AppendIndexHeader(bytes, recordingPath, streamCount);
    return file.Write(bytes.data(), bytes.size());
}

uint32_t CQRVAChunkIndex::WriteIndexLists(BinaryFile& file) const {
    std::vector<uint8_t> bytes;
    const uint32_t m = AppendIndexLists(bytes);
    file.Write(bytes.data(), bytes.size());
    return m;
}

bool CQRVAChunkIndex::Append(const CQRVAChunkIndex& other, int64_t timeOffset, uint64_t positionOffset) {
    std::vector<PositionEntry> positions = positions_;
    for (const PositionEntry& p : other.positions_) {
        PositionEntry moved;
        if (!Shift(p.time, timeOffset, moved.time)) return false;
        if (p.offset > std::numeric_limits<uint64_t>::max() - positionOffset) return false;
        moved.offset = p.offset + positionOffset;
        positions.push_back(moved);
    }
    if (!PositionsAreOrdered(positions)) return false;

    std::vector<uint64_t> starts = sweepStarts_ ? *sweepStarts_ : std::vector<uint64_t>();
    std::vector<uint64_t> ends = sweepEnds_ ? *sweepEnds_ : std::vector<uint64_t>();
    const size_t m = other.SweepCount();
    for (size_t i = 0; i < m; ++i) {
        uint64_t start, end;
        if (!Shift((*other.sweepStarts_)[i], timeOffset, start) || !Shift((*other.sweepEnds_)[i], timeOffset, end))
            return false;
        if (i == 0 && !ends.empty() && ends.back() == start) {
            ends.back() = end;  // the joined data continues without a gap
            continue;
        }
        starts.push_back(start);
        ends.push_back(end);
    }
    if (!SweepsFormChain(starts, ends)) return false;

    positions_ = std::move(positions);
    if (sweepStarts_ || other.sweepStarts_) SetSweeps(std::move(starts), std::move(ends));
    return true;
}

}  // namespace qrd
