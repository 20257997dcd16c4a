#include "container/stream_file_merger.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

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

// A chunk tag as the stream walk compares it: upper case, a NUL counting as
// the blank a recorder pads with.
void TagKey(const char* tag, char key[kTagSize]) {
    bool ended = false;
    for (size_t i = 0; i < kTagSize; ++i) {
        ended = ended || tag[i] == '\0';
        const unsigned char c = ended ? ' ' : static_cast<unsigned char>(tag[i]);
        key[i] = static_cast<char>(std::toupper(c));
    }
}

// The tag as written to disk: its characters up to a NUL, padded with blanks.
void PaddedTag(const char* tag, char out[kTagSize]) {
    bool ended = false;
    for (size_t i = 0; i < kTagSize; ++i) {
        ended = ended || tag[i] == '\0';
        out[i] = ended ? ' ' : tag[i];
    }
}

// Reading the first chunk of a recording written with header version 2 or
// below can move its start time back to that chunk (the first-chunk rule of
// the file walk).  Doing it before anything is taken from the recording
// keeps the start time fixed for the rest of the merge.
void SettleStartTime(CQRVAStreamFile& recording) { recording.FirstChunk(); }

}  // namespace

bool StreamFileMerger::CreateOutput(const std::string& path) {
    out_.Reset();
    out_.path_ = path;
    return out_.file_.OpenWrite(path);
}

bool StreamFileMerger::CloseOutput() { return out_.file_.Close(); }

void StreamFileMerger::CloneStreams(const CQRVAStreamFile& recording) {
    out_.streams_.clear();
    for (const auto& source : recording.streams_) {
        std::unique_ptr<CQRVAStream> stream = source->Clone(&out_);
        if (stream->format_) stream->format_->setFormatVersion(0);
        // The output is written as header version 10, whose reader takes each
        // stream's chunk tag from its stream tag.  Recordings of version 4 and
        // below tag their chunks differently ("00001raw" for "elec0001"), so
        // the copied chunks are retagged (see Append).  A stream of such a
        // recording without a stream tag keeps its old chunk tag as stream tag,
        // so its chunks stay apart from every other stream's.
        if (stream->header_) {
            if (stream->header_->streamTag()[0] == '\0') {
                stream->header_->setStreamTag(std::string(stream->chunkTag_, strnlen(stream->chunkTag_, kTagSize)));
            }
            std::memset(stream->chunkTag_, 0, sizeof stream->chunkTag_);
            std::memcpy(stream->chunkTag_, stream->header_->streamTag(),
                        strnlen(stream->header_->streamTag(), kTagSize));
        }
        out_.streams_.push_back(std::move(stream));
    }
}

std::vector<StreamFileMerger::Retag> StreamFileMerger::RetagTable(const CQRVAStreamFile& recording) const {
    std::vector<Retag> table;
    const size_t n = std::min(recording.streams_.size(), out_.streams_.size());
    for (size_t i = 0; i < n; ++i) {
        Retag entry;
        TagKey(recording.streams_[i]->chunkTag_, entry.key);
        PaddedTag(out_.streams_[i]->chunkTag_, entry.tag);
        table.push_back(entry);
    }
    return table;
}

bool StreamFileMerger::FindRetag(const std::vector<Retag>& table, const char* chunkTag, char tag[8]) {
    char key[kTagSize];
    TagKey(chunkTag, key);
    for (const Retag& entry : table) {
        if (std::memcmp(entry.key, key, kTagSize) == 0) {
            std::memcpy(tag, entry.tag, kTagSize);
            return true;
        }
    }
    return false;
}

int StreamFileMerger::AppendFirst(CQRVAStreamFile& recording) {
    if (!recording.header_) return kReadFailed;
    SettleStartTime(recording);

    out_.header_.reset(new StreamFileHeader(*recording.header_));
    StreamFileHeader& header = *out_.header_;
    header.setVersion(kNewestFileHeaderVersion);
    header.setChunkCount(0);
    out_.headerListLength_ = recording.headerListLength_;
    out_.layout_->CopyFrom(recording.GetLayout());
    out_.pendingLayout_.reset();
    CloneStreams(recording);
    header.setStreamCount(static_cast<uint32_t>(out_.streams_.size()));

    // The trigger streams keep their positions.  Header version 0 names them
    // nowhere (the reader decides them from the streams), so the tags are
    // filled in from the decision, for the version-10 reader to find them.
    out_.triggerStream_ = recording.triggerStream_;
    out_.stopTriggerStream_ = recording.stopTriggerStream_;
    auto tagOf = [this](int32_t position) -> const char* {
        const CQRVAStream* stream = position >= 0 ? out_.GetStream(static_cast<uint32_t>(position)) : nullptr;
        return stream ? stream->GetStreamTag() : nullptr;
    };
    if (const char* tag = tagOf(out_.triggerStream_)) header.setTriggerTag1(tag);
    if (const char* tag = tagOf(out_.stopTriggerStream_)) header.setTriggerTag2(tag);

    if (!out_.WriteHeader(out_.file_)) return kWriteFailed;
    out_.dataStart_ = out_.file_.Tell();

    const uint64_t start = header.startTime();
    const int64_t origin = static_cast<int64_t>(start);
    out_.fileTime_->SetTicks(header.fileTime());
    out_.fileTime_->SetOrigin(origin);
    out_.startTime_->SetTicks(start);
    out_.startTime_->SetOrigin(origin);
    header.setStopTime(start);
    out_.stopTime_->SetTicks(start);
    out_.stopTime_->SetOrigin(origin);
    return Append(recording);
}

int StreamFileMerger::ReportCopied(const CQRVAStreamFile& recording, uint64_t copied) {
    if (!out_.progress_) return 0;
    // The recorder's chunk count can be missing (0) or too small; the
    // percentage then stays at 0 or stops at 100.
    const uint64_t total = recording.header_->chunkCount();
    const uint32_t percent = total == 0 ? 0 : static_cast<uint32_t>(std::min<uint64_t>(100, copied * 100 / total));
    const std::string text = "Merging file: " + recording.path_;
    return out_.ReportProgress(text.c_str(), percent) != 0 ? kCanceled : kOk;
}

int StreamFileMerger::Append(CQRVAStreamFile& recording) {
    if (!out_.header_ || !recording.header_) return kReadFailed;
    std::unique_ptr<CQRVAChunk> chunk = recording.FirstChunk();

    // A continuous output is one time line: this recording starts where the
    // output stopped.  Ticks are unsigned; the difference is taken modulo
    // 2^64, which is exact for any shift that keeps the times in range.
    int64_t timeOffset = 0;
    if (out_.GetRecordingMode() == kModeContinuous)
        timeOffset = static_cast<int64_t>(out_.stopTime_->GetTicks() - recording.startTime_->GetTicks());
    const uint64_t stop = recording.stopTime_->GetTicks() + static_cast<uint64_t>(timeOffset);
    out_.header_->setStopTime(stop);
    out_.stopTime_->SetTicks(stop);

    const std::vector<Retag> retags = RetagTable(recording);
    uint64_t copied = 0;
    while (chunk) {
        std::unique_ptr<CQRVAChunk> copy = chunk->Clone();
        if (!copy) return kReadFailed;
        char tag[kTagSize];
        if (FindRetag(retags, copy->GetTag(), tag)) copy->SetTag(tag);
        if (!copy->WriteChunk(out_.file_, timeOffset)) return kWriteFailed;
        copy.reset();
        out_.header_->setChunkCount(out_.header_->chunkCount() + 1);
        ++copied;
        if (ReportCopied(recording, copied) != kOk) return kCanceled;
        std::unique_ptr<CQRVAChunk> next = recording.NextChunk(chunk);
        if (!next) break;
        chunk = std::move(next);
    }
    return kOk;
}

int StreamFileMerger::Finalise() {
    if (!out_.header_) return kWriteFailed;
    out_.header_->setIndexFlag(1);
    // Buffered chunks reach the disk before the scan reads them back; a full
    // disk shows here at the latest.
    if (!out_.file_.Flush()) return kWriteFailed;
    const uint64_t indexOffset = out_.file_.Tell();

    // The index is scanned from the output itself, through its cloned
    // streams, so it describes exactly the chunks as they were written.
    out_.index_->Clear();
    if (!out_.ScanIndex()) return kCanceled;

    BinaryFile& file = out_.file_;
    if (!file.Seek(indexOffset)) return kWriteFailed;
    if (!out_.index_->WriteIndexHeader(file, out_.path_, out_.GetStreamCount())) return kWriteFailed;
    out_.index_->WriteIndexLists(file);
    if (file.WriteFailed()) return kWriteFailed;

    // The header list keeps its length (same header, layout and streams), so
    // rewriting it in place leaves the chunks after it untouched.
    if (!file.Seek(0) || !out_.WriteHeader(file) || file.Tell() != out_.dataStart_) return kWriteFailed;
    if (!file.Seek(out_.indexPointerPosition_) || !file.WriteU64(indexOffset)) return kWriteFailed;
    out_.indexOffset_ = indexOffset;
    return file.Flush() ? kOk : kWriteFailed;
}

}  // namespace qrd
