// Building the chunk index of an open recording: from the index read at
// open, from an index cache file, or by scanning the chunks; the stop time
// correction that follows, and progress reports of the scan.
//
// The scan walks every stream's chunks side by side, one chunk of each stream
// per pass, in file order.  The stream with the highest index that has data
// is the reference: every gap between one of its chunks and the next starts a
// new sweep.  While it walks, the scan notes a position entry (chunk start,
// offset of its tag) about every 250000 bytes of file, so that a later time
// lookup can seek close to its target instead of walking from the start.
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "container/binary_file.h"
#include "container/chunk.h"
#include "container/chunk_index.h"
#include "container/file_header.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"
#include "platform/file_replace.h"

namespace qrd {

namespace {

// Bytes of file between position entries (at least).
constexpr uint64_t kPositionSpacing = 250000;
constexpr char kCachePrefix[] = "qrvidx";
constexpr char kProgressText[] = "Generating index";
// A repeated identical progress report this soon after the last one is dropped.
constexpr long kProgressRepeatMs = 200;

// Processor time in milliseconds.
long ProcessorMilliseconds() {
    return static_cast<long>(static_cast<double>(std::clock()) * 1000.0 / CLOCKS_PER_SEC);
}

}  // namespace

int CQRVAStreamFile::BuildIndex() {
    // An index read from the recording (or built before) is used as it is.
    // A recording that keeps no position entries is scanned once per open:
    // its sweep lists then exist without entries.
    const bool present =
        !index_->positions().empty() || (dropPositionIndex_ != 0 && index_->sweepStarts() != nullptr);
    if (!present && !LoadIndexCache()) {
        index_->Clear();
        ScanIndex();
    }
    CorrectStopTimeFromIndex();
    return static_cast<int>(index_->SweepCount());
}

void CQRVAStreamFile::CorrectStopTimeFromIndex() {
    const std::vector<uint64_t>* ends = index_->sweepEnds();
    if (ends && !ends->empty()) {
        if (ends->back() != stopTime_->GetTicks()) stopTime_->SetTicks(ends->back());
    } else {
        stopTime_->SetTicks(startTime_->GetTicks());
    }
}

void CQRVAStreamFile::TakeStopTimeFromDataWhenMissing() {
    // Version-0 headers store no stop time (and a damaged header can hold
    // one before the start).  Sample counts and the time span are computed
    // from the stop time, so it is taken from the data, as the index scan
    // finds it: the end of the reference stream's last chunk.
    if (header_ && stopTime_->GetTicks() <= startTime_->GetTicks()) BuildIndex();
}

std::string CQRVAStreamFile::IndexCacheFileName() const {
    const uint64_t fileTime = header_ ? header_->fileTime() : fileTime_->GetTicks();
    return cacheDirectory_ + kCachePrefix + std::to_string(fileTime);
}

bool CQRVAStreamFile::LoadIndexCache() {
    if (cacheDirectory_.empty() || !header_) return false;
    BinaryFile cache;
    if (!cache.OpenRead(IndexCacheFileName())) return false;
    // The cache names a recording by its file time only; the last position
    // entry must still point at a chunk of this recording with its time.
    const bool ok = index_->ReadIndexHeader(cache) && index_->ReadIndexLists(cache) && index_->Validate(file_);
    if (!ok) index_->Clear();
    return ok;
}

void CQRVAStreamFile::WriteIndexCache() {
    // Other threads and processes may open a recording with the same file
    // time and read or write this cache at the same moment.  The cache is
    // written under a name of its own and put in place in one step, so a
    // reader finds the old cache, the new one or none, never a part of one.
    const std::string name = IndexCacheFileName();
    const std::string temporary = nsplatform::UniqueTemporaryName(name);
    BinaryFile cache;
    if (!cache.OpenWrite(temporary)) return;  // a cache is optional
    index_->WriteIndexHeader(cache, path_, GetStreamCount());
    index_->WriteIndexLists(cache);
    if (!cache.Close() || !nsplatform::ReplaceFile(temporary, name)) std::remove(temporary.c_str());
}

bool CQRVAStreamFile::ScanIndex() {
    const uint64_t fileSize = progress_ ? file_.Size() : 0;
    std::vector<uint64_t> starts, ends;
    starts.reserve(CQRVAChunkIndex::kReservedSweeps);
    ends.reserve(CQRVAChunkIndex::kReservedSweeps);

    // Each stream's current chunk; the reference stream is the last with data.
    std::vector<std::unique_ptr<CQRVAChunk>> current(streams_.size());
    size_t reference = 0;
    bool haveReference = false;
    bool haveCandidate = false;
    uint64_t candidateStart = 0, candidateOffset = 0;
    auto consider = [&](const CQRVAChunk& chunk) {
        const uint64_t offset = static_cast<uint64_t>(chunk.GetDataOffset());
        if (!haveCandidate || offset < candidateOffset) {
            candidateStart = chunk.GetStartTicks();
            candidateOffset = offset;
            haveCandidate = true;
        }
    };
    for (size_t s = 0; s < streams_.size(); ++s) {
        current[s] = streams_[s] ? streams_[s]->FirstChunk() : nullptr;
        if (!current[s]) continue;
        reference = s;
        haveReference = true;
        consider(*current[s]);
    }
    if (!haveReference) {
        index_->SetSweeps(std::move(starts), std::move(ends));
        return true;
    }

    index_->AddPosition(candidateStart, candidateOffset - CQRVAChunk::kHeaderBytes);
    uint64_t lastIndexed = 0;
    uint64_t previousEnd = current[reference]->GetStartTicks();
    starts.push_back(previousEnd);
    enum class Pass { kIdle, kArmed, kCollecting } state = Pass::kIdle;

    // Passes go on while the reference stream has chunks; a stream that runs
    // out earlier (a trigger stream whose last event comes early) simply
    // drops out, so it cannot cut the sweep list short.
    while (current[reference]) {
        const CQRVAChunk& ref = *current[reference];
        if (previousEnd < ref.GetStartTicks()) {
            // A gap in the reference stream ends a sweep.
            starts.push_back(ref.GetStartTicks());
            ends.push_back(previousEnd);
        }
        previousEnd = ref.GetEndTicks();
        if (state == Pass::kArmed) {
            state = Pass::kCollecting;
            haveCandidate = false;
        }
        for (size_t s = 0; s < current.size(); ++s) {
            if (!current[s]) continue;
            std::unique_ptr<CQRVAChunk> next = streams_[s]->NextChunk(current[s]);
            if (!next) {
                current[s].reset();
                continue;
            }
            current[s] = std::move(next);
            const uint64_t offset = static_cast<uint64_t>(current[s]->GetDataOffset());
            if (state == Pass::kIdle) {
                if (offset > lastIndexed && offset - lastIndexed > kPositionSpacing) state = Pass::kArmed;
            } else if (state == Pass::kCollecting) {
                consider(*current[s]);
            }
        }
        if (progress_) {
            uint32_t percent = 100;
            if (current[reference] && fileSize / 100 != 0)
                percent = static_cast<uint32_t>((static_cast<uint64_t>(current[reference]->GetDataOffset()) / 100 * 100) /
                                                (fileSize / 100));
            if (ReportProgress(kProgressText, percent) != 0) {
                // Cancelled: nothing of the scan is kept, so the next
                // BuildIndex starts over instead of trusting a partial index.
                index_->Clear();
                return false;
            }
        }
        if (state == Pass::kCollecting && haveCandidate) {
            index_->AddPosition(candidateStart, candidateOffset - CQRVAChunk::kHeaderBytes);
            lastIndexed = candidateOffset;
            state = Pass::kIdle;
        }
    }
    ends.push_back(previousEnd);
    index_->SetSweeps(std::move(starts), std::move(ends));

    if (dropPositionIndex_ != 0) {
        // Old recordings with long chunks keep no position entries (and no
        // cache file); their time lookups walk from the first chunk.
        index_->ClearPositions();
        return true;
    }
    if (!cacheDirectory_.empty()) WriteIndexCache();
    return true;
}

int CQRVAStreamFile::ReportProgress(const char* text, uint32_t percent) {
    if (!progress_) return 0;
    const std::string current = text ? text : "";
    const long now = ProcessorMilliseconds();
    if (hasReported_ && current == lastProgressText_ && percent == lastProgressPercent_ &&
        now - lastProgressClock_ < kProgressRepeatMs)
        return 0;
    hasReported_ = true;
    lastProgressText_ = current.substr(0, 511);
    lastProgressPercent_ = percent;
    lastProgressClock_ = now;
    return progress_(lastProgressText_.c_str(), percent);
}

}  // namespace qrd
