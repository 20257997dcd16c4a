#include "container/file_merge.h"

#include <algorithm>
#include <cstring>

#include "container/channel.h"
#include "container/chunk.h"
#include "container/file_header.h"
#include "container/stream.h"
#include "container/stream_file_merger.h"
#include "platform/file_system.h"

namespace qrd {

namespace {

// The message of the last merge made by the calling thread.
std::string& MessageBuffer() {
    thread_local std::string message;
    return message;
}

void SetMessage(const char* text) { MessageBuffer() = text; }

bool Fail(const char* text) {
    SetMessage(text);
    return false;
}

int MergeFailed(const char* text) {
    SetMessage(text);
    return 1;
}

std::string TextOrEmpty(const char* text) { return text ? std::string(text) : std::string(); }

bool StreamsCompatible(const CQRVAStream& a, const CQRVAStream& b) {
    if (TextOrEmpty(a.GetStreamTag()) != TextOrEmpty(b.GetStreamTag()))
        return Fail(merge_message::kDifferentStreamTypes);
    if (a.GetChannelCount() != b.GetChannelCount()) return Fail(merge_message::kDifferentChannelCounts);
    if (a.GetSampleRate() != b.GetSampleRate()) return Fail(merge_message::kDifferentStreamRates);
    for (uint32_t c = 0; c < a.GetChannelCount(); ++c) {
        const CQRVAChannel* ca = a.GetChannel(c);
        const CQRVAChannel* cb = b.GetChannel(c);
        // The channel count of a stream is the number of records read, so
        // both exist; the check keeps a damaged object from crashing here.
        if (!ca || !cb || ca->GetChannelNumber() != cb->GetChannelNumber())
            return Fail(merge_message::kDifferentChannels);
    }
    return true;
}

const char* MessageOf(int result) {
    switch (result) {
        case StreamFileMerger::kCanceled: return merge_message::kCanceled;
        case StreamFileMerger::kReadFailed: return merge_message::kCannotReadInput;
        default: return merge_message::kCannotWriteOutput;
    }
}

}  // namespace

bool CheckCompatible(const CQRVAStreamFile& a, const CQRVAStreamFile& b) {
    if (a.GetAppVersion() != b.GetAppVersion() || a.GetAppBuild() != b.GetAppBuild())
        return Fail(merge_message::kDifferentVersions);
    if (a.GetSourceType() != b.GetSourceType()) return Fail(merge_message::kDifferentSourceTypes);
    if (a.GetRecordingMode() != b.GetRecordingMode()) return Fail(merge_message::kDifferentModes);
    if (a.GetSampleRate() != b.GetSampleRate()) return Fail(merge_message::kDifferentSampleRates);
    if (a.GetStreamCount() != b.GetStreamCount()) return Fail(merge_message::kDifferentStreamCounts);
    for (uint32_t s = 0; s < a.GetStreamCount(); ++s) {
        const CQRVAStream* sa = a.GetStream(s);
        const CQRVAStream* sb = b.GetStream(s);
        if (!sa || !sb) return Fail(merge_message::kDifferentStreamCounts);
        if (!StreamsCompatible(*sa, *sb)) return false;
    }
    return true;
}

int Merge(CQRVAStreamFile& output, CQRVAStreamFile** recordings, size_t count, const std::string& outputPath,
          CQRVAStreamFile::ProgressCallback progress, bool* outputCreated) {
    if (outputCreated) *outputCreated = false;
    output.SetProgressCallback(std::move(progress));
    SetMessage("");
    if (count == 0) return 0;
    if (!recordings) return MergeFailed(merge_message::kInputNotOpen);
    for (size_t i = 0; i < count; ++i) {
        if (!recordings[i] || !recordings[i]->GetHeader() || recordings[i] == &output)
            return MergeFailed(recordings[i] == &output ? merge_message::kOutputIsInput : merge_message::kInputNotOpen);
    }

    // Reading a recording's first chunk can still move its start time (old
    // recordings); that happens before the start times are compared.
    for (size_t i = 0; i < count; ++i) recordings[i]->FirstChunk();
    // A stable sort orders exactly as passes of adjacent swaps would:
    // recordings with equal start times keep their order.
    std::stable_sort(recordings, recordings + count, [](const CQRVAStreamFile* a, const CQRVAStreamFile* b) {
        return a->GetHeader()->startTime() < b->GetHeader()->startTime();
    });
    for (size_t i = 1; i < count; ++i)
        if (!CheckCompatible(*recordings[i - 1], *recordings[i])) return 1;
    for (size_t i = 0; i < count; ++i)
        // Creating the output truncates it, so an input named as output
        // (through a link or another spelling of its path) would be
        // destroyed while it is read.
        if (nsplatform::SameFile(outputPath, recordings[i]->GetPath()))
            return MergeFailed(merge_message::kOutputIsInput);

    StreamFileMerger merger(output);
    if (!merger.CreateOutput(outputPath)) return MergeFailed(merge_message::kCannotOpenOutput);
    if (outputCreated) *outputCreated = true;

    int result = merger.AppendFirst(*recordings[0]);
    for (size_t i = 1; i < count && result == StreamFileMerger::kOk; ++i) result = merger.Append(*recordings[i]);
    if (result == StreamFileMerger::kOk) result = merger.Finalise();
    const bool closed = merger.CloseOutput();
    if (result == StreamFileMerger::kOk && !closed) result = StreamFileMerger::kWriteFailed;
    if (result != StreamFileMerger::kOk) return MergeFailed(MessageOf(result));
    return 0;
}

void GetMergeMessage(char* destination, size_t capacity) {
    if (!destination || capacity == 0) return;
    const std::string& message = MessageBuffer();
    const size_t n = std::min(message.size(), capacity - 1);
    std::memcpy(destination, message.data(), n);
    destination[n] = '\0';
}

const std::string& GetMergeMessage() { return MessageBuffer(); }

}  // namespace qrd
