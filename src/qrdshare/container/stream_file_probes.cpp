// Decisions taken at open after the header list was read: the probes that
// recover the recording mode and sweep length of recordings made by early
// recorder versions, and the trigger streams with the effective recording
// mode.
#include <cstring>

#include "container/app_version.h"
#include "container/chunk.h"
#include "container/file_header.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "container/stream_format.h"

namespace qrd {

namespace {

// How many consecutive chunk pairs the probes look at.
constexpr int kProbeSteps = 45;
// Chunks longer than this (ns) mark recordings whose chunks are too coarse
// for a useful position index.
constexpr uint64_t kLongChunkTicks = 128000000;
// Header-version-0 files mark a 2.5 kHz recording by a format word below this.
constexpr int16_t kSlowRateMarkerLimit = 1500;
constexpr uint32_t kSlowSampleRate = 2500000;  // millihertz

bool IsPlainStreamType(const CQRVAStream& stream) {
    return stream.IsType("trigger") || stream.IsType("analog") || stream.IsType("digital") ||
           stream.IsType("chat") || stream.IsType("filter");
}

}  // namespace

CQRVAStream* CQRVAStreamFile::FirstStreamWithData() {
    for (const auto& stream : streams_)
        if (stream->FirstChunk()) return stream.get();
    return nullptr;
}

void CQRVAStreamFile::ProbeOldRecording() {
    if (!NeedsOldRecordingProbes(SplitAppVersion(header_->appVersion(), header_->appBuild()))) return;
    header_->setRecordingMode(ProbeTriggered());
    header_->setSweepLength(static_cast<float>(ProbeSweepLengthMs()));
}

// Early recorders did not store whether a recording was triggered: a gap
// between two consecutive chunks of the first stream with data shows it.
int32_t CQRVAStreamFile::ProbeTriggered() {
    CQRVAStream* stream = FirstStreamWithData();
    if (!stream) return 0;
    std::unique_ptr<CQRVAChunk> chunk = stream->FirstChunk();
    for (int step = 0; chunk && step < kProbeSteps; ++step) {
        const uint64_t end = chunk->GetEndTicks();
        std::unique_ptr<CQRVAChunk> next = stream->NextChunk(chunk);
        if (!next) return 0;
        if (next->GetStartTicks() != end) return 1;
        chunk = std::move(next);
    }
    return 0;
}

// The first sweep's length in milliseconds: from the first chunk's start to
// the end of the last chunk before the first gap, when a gap shows within
// the probed chunks; 0 otherwise.  Also notes chunks longer than 128 ms.
uint32_t CQRVAStreamFile::ProbeSweepLengthMs() {
    CQRVAStream* stream = FirstStreamWithData();
    if (!stream) return 0;
    std::unique_ptr<CQRVAChunk> chunk = stream->FirstChunk();
    if (!chunk) return 0;
    const uint64_t firstStart = chunk->GetStartTicks();
    uint64_t longest = 0;
    uint32_t result = 0;
    for (int step = 0; step < kProbeSteps; ++step) {
        const uint64_t start = chunk->GetStartTicks();
        const uint64_t end = chunk->GetEndTicks();
        if (end > start && end - start > longest) longest = end - start;
        std::unique_ptr<CQRVAChunk> next = stream->NextChunk(chunk);
        if (!next) break;
        if (next->GetStartTicks() != end) {
            result = end > firstStart ? static_cast<uint32_t>((end - firstStart) / 1000000) : 0;
            break;
        }
        chunk = std::move(next);
    }
    if (longest > kLongChunkTicks) longChunks_ = 1;
    return result;
}

void CQRVAStreamFile::DecideEffectiveMode() {
    if (triggerStream_ == kTriggerUndecided) {
        // Header version 0 names no trigger stream: a triggered recording
        // with exactly one trigger stream uses that one.
        if (header_->recordingMode() <= 0) {
            SetTriggerStream(kTriggerNone);
        } else {
            plainStreamsOnly_ = 1;
            int triggers = 0;
            int32_t lastTrigger = kTriggerNone;
            for (size_t i = 0; i < streams_.size(); ++i) {
                if (streams_[i]->IsType("trigger")) {
                    ++triggers;
                    lastTrigger = static_cast<int32_t>(i);
                }
                if (!IsPlainStreamType(*streams_[i])) plainStreamsOnly_ = 0;
            }
            if (triggers == 1) SetTriggerStream(lastTrigger);
            if (plainStreamsOnly_ && longChunks_) dropPositionIndex_ = 1;
        }
        if (!streams_.empty() && static_cast<int16_t>(streams_[0]->GetFormatWord18()) < kSlowRateMarkerLimit)
            header_->setSampleRate(kSlowSampleRate);
    } else if (triggerStream_ == kTriggerNone) {
        header_->setRecordingMode(kModeContinuous);
    } else {
        header_->setRecordingMode(stopTriggerStream_ >= 0 ? kModeStartStopTrigger : kModeTriggered);
    }
    if (triggerStream_ < 0) header_->setRecordingMode(kModeContinuous);
}

}  // namespace qrd
