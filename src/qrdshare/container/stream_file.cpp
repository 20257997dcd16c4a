// CQRVAStreamFile: construction, closing and the accessors of an open file.
// Opening (the header list) is in stream_file_open.cpp, the old-recording
// probes in stream_file_probes.cpp, the file-wide chunk walk in
// file_walk.cpp and re-emitting the header list in stream_file_write.cpp.
#include "container/stream_file.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>

#include "container/app_version.h"
#include "container/chunk.h"
#include "container/chunk_index.h"
#include "container/file_header.h"
#include "container/payload_cache.h"
#include "container/record_block_cache.h"
#include "container/span_cache.h"
#include "container/stream.h"
#include "container/time_stamp.h"
#include "layout/qr_layout.h"

namespace qrd {

namespace {

// The header's sweep values are floats; the accessors expose their integer
// part.  Values an int cannot hold (NaN, infinities, huge numbers in a damaged
// header) are clamped instead of converted, which would be undefined.
int32_t TruncateToInt32(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace

CQRVAStreamFile::CQRVAStreamFile()
    : fileTime_(new CQRVATimeStamp()),
      startTime_(new CQRVATimeStamp()),
      stopTime_(new CQRVATimeStamp()),
      index_(new CQRVAChunkIndex()),
      layout_(new CQRLayout()),
      spanCache_(new SpanCache()),
      payloadCache_(new PayloadCache()),
      recordBlockCache_(new RecordBlockCache()) {}

void CQRVAStreamFile::SetCacheBudget(nscommon::CacheBudget* budget) {
    spanCache_->SetBudget(budget);
    payloadCache_->SetBudget(budget);
    recordBlockCache_->SetBudget(budget);
}

CQRVAStreamFile::~CQRVAStreamFile() { Close(); }

void CQRVAStreamFile::Reset() {
    Close();
    dropPositionIndex_ = 0;
    plainStreamsOnly_ = 0;
    longChunks_ = 0;
    firstDataTime_ = 0;
    headerListLength_ = 0;
    dataStart_ = 0;
    streamListValue_ = 0;
    indexOffset_ = 0;
    indexPointerPosition_ = 0;
    triggerStream_ = kTriggerUndecided;
    stopTriggerStream_ = kTriggerUndecided;
    std::memset(signature_, 0, sizeof signature_);
    *fileTime_ = CQRVATimeStamp();
    *startTime_ = CQRVATimeStamp();
    *stopTime_ = CQRVATimeStamp();
}

void CQRVAStreamFile::Close() {
    // Cached samples and payloads belong to this file; they go with it.
    spanCache_->Clear();
    payloadCache_->Clear();
    recordBlockCache_->Clear();
    file_.Close();
    // Streams keep chunks that point at the file handle; they go first.
    streams_.clear();
    header_.reset();
    index_->Clear();
    cacheDirectory_.clear();
    path_.clear();
}

// ---- header values ---------------------------------------------------------------

uint32_t CQRVAStreamFile::GetAppVersion() const { return header_ ? header_->appVersion() : 0; }
uint32_t CQRVAStreamFile::GetAppBuild() const { return header_ ? header_->appBuild() : 0; }
uint16_t CQRVAStreamFile::GetHeaderVersion() const { return header_ ? header_->version() : 0; }
int32_t CQRVAStreamFile::GetRecordingMode() const { return header_ ? header_->recordingMode() : 0; }
uint16_t CQRVAStreamFile::GetSourceType() const {
    return header_ ? static_cast<uint16_t>(header_->sourceType() & 0xFFFF) : 0;
}
uint32_t CQRVAStreamFile::GetSampleRate() const { return header_ ? header_->sampleRate() : 0; }
const char* CQRVAStreamFile::GetComment() const { return header_ ? header_->comment() : nullptr; }

std::string CQRVAStreamFile::GetAppVersionText() const {
    if (!header_) return std::string();
    return FormatAppVersion(SplitAppVersion(header_->appVersion(), header_->appBuild()));
}

// The calendar accessors convert the header's start time on every call, in
// UTC (no local-time conversion).
uint16_t CQRVAStreamFile::GetStartYear() const { return header_ ? TicksToUtcCalendar(header_->startTime()).year : 0; }
uint16_t CQRVAStreamFile::GetStartMonth() const {
    return header_ ? TicksToUtcCalendar(header_->startTime()).month : 0;
}
uint16_t CQRVAStreamFile::GetStartDay() const { return header_ ? TicksToUtcCalendar(header_->startTime()).day : 0; }
uint16_t CQRVAStreamFile::GetStartHour() const { return header_ ? TicksToUtcCalendar(header_->startTime()).hour : 0; }
uint16_t CQRVAStreamFile::GetStartMinute() const {
    return header_ ? TicksToUtcCalendar(header_->startTime()).minute : 0;
}
uint16_t CQRVAStreamFile::GetStartSecond() const {
    return header_ ? TicksToUtcCalendar(header_->startTime()).second : 0;
}
uint16_t CQRVAStreamFile::GetStartMillisecond() const {
    return header_ ? TicksToUtcCalendar(header_->startTime()).millisecond : 0;
}
uint32_t CQRVAStreamFile::GetStartMicrosecond() const {
    return header_ ? static_cast<uint32_t>((header_->startTime() % 1000000) / 1000) : 0;
}
uint32_t CQRVAStreamFile::GetStartNanosecond() const {
    return header_ ? static_cast<uint32_t>(header_->startTime() % 1000) : 0;
}

uint32_t CQRVAStreamFile::GetStreamCount() const { return header_ ? header_->streamCount() : 0; }

CQRVAStream* CQRVAStreamFile::GetStream(uint32_t i) const {
    // The stream array holds exactly the header's stream count after a
    // successful open; checking the array also covers a failed one.
    if (i >= GetStreamCount() || i >= streams_.size()) return nullptr;
    return streams_[i].get();
}

int32_t CQRVAStreamFile::GetSweepLength() const {
    if (!header_ || header_->recordingMode() == 0) return -1;
    return TruncateToInt32(header_->sweepLength());
}
int32_t CQRVAStreamFile::GetSweepOffset() const { return header_ ? TruncateToInt32(header_->sweepOffset()) : 0; }
int32_t CQRVAStreamFile::GetSweepLengthValue() const {
    return header_ ? TruncateToInt32(header_->sweepLength()) : 0;
}

std::unique_ptr<CQRVATimeStamp> CQRVAStreamFile::GetSweepStart(uint32_t i) const {
    if (!index_->HasSweepList() || i >= index_->SweepCount()) return nullptr;
    return std::unique_ptr<CQRVATimeStamp>(
        new CQRVATimeStamp((*index_->sweepStarts())[i], static_cast<int64_t>(startTime_->GetTicks())));
}

std::unique_ptr<CQRVATimeStamp> CQRVAStreamFile::GetSweepEnd(uint32_t i) const {
    if (!index_->HasSweepList() || !index_->sweepEnds() || i >= index_->sweepEnds()->size()) return nullptr;
    return std::unique_ptr<CQRVATimeStamp>(
        new CQRVATimeStamp((*index_->sweepEnds())[i], static_cast<int64_t>(startTime_->GetTicks())));
}

uint64_t CQRVAStreamFile::GetSweepStartTicks(uint32_t i) const {
    if (!index_->HasSweepList() || i >= index_->SweepCount()) return 0;
    return (*index_->sweepStarts())[i];
}

int32_t CQRVAStreamFile::GetTriggerStream() const { return triggerStream_; }
int32_t CQRVAStreamFile::GetStopTriggerStream() const { return stopTriggerStream_; }
CQRVATimeStamp* CQRVAStreamFile::GetFileTime() const { return fileTime_.get(); }
CQRVATimeStamp* CQRVAStreamFile::GetStartTime() const { return startTime_.get(); }
CQRVATimeStamp* CQRVAStreamFile::GetStopTime() const { return stopTime_.get(); }
uint32_t CQRVAStreamFile::GetIndexFlag() const { return header_ ? header_->indexFlag() : 0; }
uint32_t CQRVAStreamFile::GetChunkDuration() const { return header_ ? header_->chunkDuration() : 0; }
BinaryFile* CQRVAStreamFile::GetFileHandle() { return &file_; }
uint64_t CQRVAStreamFile::GetDataStart() const { return dataStart_; }

int CQRVAStreamFile::SetTriggerStream(int32_t i) {
    triggerStream_ = i;
    return 0;
}

int CQRVAStreamFile::SetStopTriggerStream(int32_t i) {
    stopTriggerStream_ = i;
    return 0;
}

int32_t CQRVAStreamFile::FindStreamByTag(const char* tag) const {
    if (!tag) return -1;
    for (size_t i = 0; i < streams_.size(); ++i) {
        const char* streamTag = streams_[i] ? streams_[i]->GetStreamTag() : nullptr;
        if (streamTag && std::strncmp(streamTag, tag, 8) == 0) return static_cast<int32_t>(i);
    }
    return -1;
}

void CQRVAStreamFile::GetHeaderEntry(uint32_t i, int32_t values[6], uint64_t wide[4]) const {
    if (!header_ || i >= file_header_layout::kHeaderEntryCount) return;
    for (size_t k = 0; k < 6; ++k)
        if (values) values[k] = header_->headerEntryValue(i, k);
    for (size_t k = 0; k < 4; ++k)
        if (wide) wide[k] = header_->headerEntryWide(i, k);
}

const char* CQRVAStreamFile::GetHeaderEntryText(uint32_t i) const {
    return header_ ? header_->headerEntryText(i) : nullptr;
}

}  // namespace qrd
