// Recordings for the merge tests, written by our own recording writer, and a
// reader of what one stream of a merged file holds.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "container/le_codec.h"
#include "open_test_recordings.h"

namespace qrd_test {

constexpr uint64_t kSecond = qrd::kTicksPerSecond;
inline uint64_t MergeEpoch() { return qrd::UtcTicks(2026, 5, 4, 8, 0, 0, 0); }

struct MergeRecordingOptions {
    uint64_t start = MergeEpoch();
    std::vector<uint64_t> spanSeconds{1};  // spans 1 s apart: the sweeps of a triggered recording
    uint16_t sampleBase = 0;               // sample (c, i) = base + 1000 c + i
    uint16_t version = 10;
    uint32_t channelCount = 2;
    int32_t recordingMode = qrd::kModeContinuous;
    bool triggerStream = true;             // without it the digital stream sets the sweeps
};

inline uint16_t MergeSample(uint16_t base, uint32_t channel, uint64_t index) {
    return static_cast<uint16_t>(base + 1000 * channel + index);
}

// Electrodes (1 kHz, 100 ms chunks), a digital stream and a trigger stream
// with one trigger per span.
inline qrd::RecordingSpec MergeRecording(const MergeRecordingOptions& o) {
    qrd::RecordingSpec desc;
    desc.version = o.version;
    desc.startTime = o.start;
    desc.sampleRate = 1000000;
    desc.recordingMode = o.recordingMode;
    desc.triggerStreamId = 3;
    if (o.recordingMode != qrd::kModeContinuous) desc.triggerTag1 = "trig0001";
    qrd::ContinuousStreamOptions raw;
    raw.sampleRate = 1000000;
    raw.channelCount = o.channelCount;
    raw.chunkDuration = kSecond / 10;
    for (uint64_t at = o.start, k = 0; k < o.spanSeconds.size(); at += (o.spanSeconds[k++] + 1) * kSecond)
        raw.spans.push_back({at, o.spanSeconds[k] * 1000});
    const uint16_t base = o.sampleBase;
    qrd::AddContinuousStream(desc, raw, [base](uint32_t c, uint64_t i) { return MergeSample(base, c, i); });
    raw.id = 2;
    raw.channelCount = 1;
    qrd::AddDigitalStream(desc, raw, [](uint64_t i) { return static_cast<uint16_t>(i & 3); });
    if (o.triggerStream) {
        qrd::StreamSpec trigger;
        trigger.typeName = "trigger";
        trigger.name = "Trigger 1";
        trigger.tag = "trig0001";
        trigger.id = 3;
        std::vector<qrd::EventChunk> events;
        for (const qrd::SampleSpan& span : raw.spans) {
            events.push_back({span.start, span.start + kSecond / 10, {}});
            qrd::AppendTriggerRecord(events.back().payload, 0, span.start, 1);
        }
        qrd::AddEventStream(desc, trigger, events);
    }
    qrd::InterleaveChunks(desc);
    return desc;
}

// Interleaved electrode values of samples [first, first + count).
inline std::vector<uint16_t> ExpectedValues(uint16_t base, uint32_t channels, uint64_t first, uint64_t count) {
    std::vector<uint16_t> values;
    for (uint64_t i = first; i < first + count; ++i)
        for (uint32_t c = 0; c < channels; ++c) values.push_back(MergeSample(base, c, i));
    return values;
}

inline std::vector<uint16_t> Joined(std::vector<uint16_t> a, const std::vector<uint16_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// One stream's chunk times and payload values, in file order.
struct StreamContents {
    std::vector<std::pair<uint64_t, uint64_t>> times;
    std::vector<uint16_t> values;
};

inline StreamContents ReadStreamContents(qrd::CQRVAStream& stream) {
    StreamContents contents;
    std::unique_ptr<qrd::CQRVAChunk> chunk = stream.FirstChunk();
    std::vector<uint8_t> payload;
    while (chunk && chunk->ReadData(payload) && contents.times.size() < 100000) {
        contents.times.emplace_back(chunk->GetStartTicks(), chunk->GetEndTicks());
        for (size_t at = 0; at + 2 <= payload.size(); at += 2) contents.values.push_back(qrd::GetU16(payload.data(), at));
        std::unique_ptr<qrd::CQRVAChunk> next = stream.NextChunk(chunk);
        chunk = std::move(next);
    }
    return contents;
}

// Writes and opens recordings; they stay open as long as the fixture.
class MergeFiles {
public:
    qrd::CQRVAStreamFile* Add(const std::string& name, const qrd::RecordingSpec& desc) {
        const std::string path = dir.File(name);
        opened_.emplace_back(new qrd::CQRVAStreamFile());
        if (!qrd::WriteRecording(desc, path) || opened_.back()->Open(path.c_str()) != 0) return nullptr;
        return opened_.back().get();
    }
    qrd::CQRVAStreamFile* Add(const std::string& name, const MergeRecordingOptions& o) {
        return Add(name, MergeRecording(o));
    }

    TempDir dir;

private:
    std::vector<std::unique_ptr<qrd::CQRVAStreamFile>> opened_;
};

}  // namespace qrd_test
