// Opening a QRD recording: the signature, the header list (file header,
// layout, stream blocks, trailer, embedded index) and the decisions taken
// from it.
#include <cstring>

#include "container/binary_file.h"
#include "container/block_tags.h"
#include "container/chunk.h"
#include "container/chunk_index.h"
#include "container/file_header.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "container/stream_format.h"
#include "container/stream_header.h"
#include "container/time_stamp.h"
#include "layout/qr_layout.h"

namespace qrd {

namespace {

// Smallest stream block: "STRMHDR " section head and a stream header without
// tag, then the "STRMFMT " section head and the format header.  A stream
// count from the file is checked against it before the array is allocated.
constexpr uint64_t kSmallestStreamBlock = 16 + stream_header_layout::kRecordSizeWithoutTag + 16 + StreamFormat::kSize;

bool ReadExpectedTag(BinaryFile& file, const char* expected, uint64_t& value) {
    char tag[kTagSize];
    return file.ReadTagAndLength(tag, value) && TagEquals(tag, expected);
}

}  // namespace

int CQRVAStreamFile::Open(const char* path) {
    // Everything a previous Open decided is forgotten; only the configuration
    // (cache directory, progress callback) carries over.
    const std::string cacheDirectory = cacheDirectory_;
    Reset();
    cacheDirectory_ = cacheDirectory;

    // The path is kept in a member of 260 bytes; longer paths are refused
    // rather than cut, which would name another file.
    if (!path || std::strlen(path) > kMaxPathLength) return kOpenCannotOpen;
    if (!file_.OpenRead(path)) return kOpenCannotOpen;
    path_ = path;

    if (!file_.Read(signature_, sizeof signature_) ||
        !TagEquals(reinterpret_cast<const char*>(signature_), kTagSignature)) {
        file_.Close();
        return kOpenNotQrd;
    }
    if (!ReadHeader()) {
        // No partial stream list or header survives a rejected file.
        Close();
        cacheDirectory_ = cacheDirectory;
        return kOpenBadHeader;
    }
    SetTimeStamps();
    ProbeOldRecording();
    DecideEffectiveMode();
    TakeStopTimeFromDataWhenMissing();
    return kOpenOk;
}

void CQRVAStreamFile::SetTimeStamps() {
    const uint64_t start = header_->startTime();
    const int64_t origin = static_cast<int64_t>(start);
    fileTime_->SetTicks(header_->fileTime());
    fileTime_->SetOrigin(origin);
    startTime_->SetTicks(start);
    startTime_->SetOrigin(origin);
    stopTime_->SetTicks(header_->stopTime());
    stopTime_->SetOrigin(origin);
}

int CQRVAStreamFile::ReadHeader() {
    if (!file_.IsOpen() || !file_.Seek(16)) return 0;
    uint64_t ignoredLength = 0;
    if (!ReadExpectedTag(file_, kTagHeaderList, headerListLength_) ||
        !ReadExpectedTag(file_, kTagFileHeader, ignoredLength) || !ReadFileHeaderRecord() || !ReadLayout() ||
        !ReadStreams() || !DecideTriggerStreamsFromHeader() || !ReadIndexPointer()) {
        header_.reset();
        streams_.clear();
        return 0;
    }
    if (header_->startTime() == 0) FillStartTimeFromChunks();
    return 1;
}

bool CQRVAStreamFile::ReadFileHeaderRecord() {
    if (!header_) header_.reset(new StreamFileHeader());
    return ReadFileHeader(file_, *header_);
}

bool CQRVAStreamFile::ReadLayout() {
    const StreamFileHeader& h = *header_;
    if (h.sourceType() != kSourceConfiguredLayout) {
        pendingLayout_ = StandardLayoutCounts{static_cast<int32_t>(h.sourceType()), h.totalChannelCount(),
                                              h.electrodeCount() + h.additionalElectrodeCount(),
                                              h.analogCount() + h.additionalAnalogCount(), h.digitalCount()};
        return true;
    }
    pendingLayout_.reset();
    return ReadLayoutBlock(*layout_, file_);
}

const CQRLayout& CQRVAStreamFile::GetLayout() const {
    std::lock_guard<std::mutex> guard(layoutLock_);
    if (pendingLayout_) {
        const StandardLayoutCounts c = *pendingLayout_;
        pendingLayout_.reset();
        BuildStandardLayout(*layout_, c.sourceType, c.total, c.electrodes, c.analog, c.digital, 0);
    }
    return *layout_;
}

CQRLayout& CQRVAStreamFile::GetLayout() {
    static_cast<const CQRVAStreamFile&>(*this).GetLayout();
    return *layout_;
}

bool CQRVAStreamFile::ReadStreams() {
    const uint16_t v = header_->version();
    const uint64_t count = header_->streamCount();
    // The stream count comes from the file: each block needs at least its
    // smallest size in the bytes that are left.
    if (count > file_.Remaining() / kSmallestStreamBlock) return false;
    streams_.clear();
    streams_.reserve(static_cast<size_t>(count));
    for (uint64_t i = 0; i < count; ++i) {
        std::unique_ptr<CQRVAStream> stream(new CQRVAStream(this));
        if (stream->ReadStreamHeader(file_, v) != 0) return false;
        streams_.push_back(std::move(stream));
    }
    return true;
}

bool CQRVAStreamFile::DecideTriggerStreamsFromHeader() {
    const uint16_t v = header_->version();
    if (v == 0) return true;  // decided after the probes, see DecideEffectiveMode
    if (v <= 4) {
        // Old headers name the trigger stream by ID; later code looks it up by tag.
        for (const auto& stream : streams_) {
            if (stream->GetStreamId() == header_->triggerStreamId()) {
                header_->setTriggerTag1(std::string(stream->GetStreamTag()).substr(0, 8));
                break;
            }
        }
    }
    switch (header_->recordingMode()) {
        case kModeContinuous:
            SetTriggerStream(kTriggerNone);
            SetStopTriggerStream(kTriggerNone);
            return true;
        case kModeTriggered:
            SetTriggerStream(FindStreamByTag(header_->triggerTag1()));
            SetStopTriggerStream(kTriggerNone);
            return true;
        case kModeStartStopTrigger:
            SetTriggerStream(FindStreamByTag(header_->triggerTag1()));
            SetStopTriggerStream(FindStreamByTag(header_->triggerTag2()));
            return true;
        default:
            return false;
    }
}

bool CQRVAStreamFile::ReadIndexPointer() {
    const uint16_t v = header_->version();
    if (v == 0) {
        if (!ReadExpectedTag(file_, kTagStreamList, streamListValue_)) return false;
        dataStart_ = file_.Tell();
        return true;
    }
    dataStart_ = file_.Tell();
    if (v < 3) return true;
    uint64_t length = 0;
    if (!ReadExpectedTag(file_, kTagIndexPointer, length) || !file_.ReadU64(indexOffset_)) {
        header_->setIndexFlag(0);
        return false;
    }
    dataStart_ = file_.Tell();
    if (header_->indexFlag() != 0) ReadEmbeddedIndex();
    return true;
}

void CQRVAStreamFile::ReadEmbeddedIndex() {
    // A damaged index never rejects the recording: it is dropped and the
    // chunks are scanned when an index is needed.
    bool ok = indexOffset_ >= dataStart_ && indexOffset_ < file_.Size() && file_.Seek(indexOffset_) &&
              index_->ReadIndexHeader(file_) && index_->ReadIndexLists(file_) && index_->Validate(file_);
    if (!ok) {
        header_->setIndexFlag(0);
        index_->Clear();
    }
}

void CQRVAStreamFile::FillStartTimeFromChunks() {
    uint64_t earliest = 0;
    bool found = false;
    for (const auto& stream : streams_) {
        std::unique_ptr<CQRVAChunk> chunk = stream->FirstChunk();
        if (!chunk) continue;
        if (!found || chunk->GetStartTicks() < earliest) earliest = chunk->GetStartTicks();
        found = true;
    }
    if (found) header_->setStartTime(earliest);
}

}  // namespace qrd
