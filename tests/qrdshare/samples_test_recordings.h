// Recordings for the sample and index tests, and plain reference readers.
//
// The reference readers walk a stream's chunks from the first one with the
// stream walk and read every payload whole, the slow and obvious way; the
// library's readers must return exactly what they return.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "container/chunk.h"
#include "container/le_codec.h"
#include "container/recording_writer.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"
#include "support/temp_dir.h"

namespace qrd_test {

// 2026-05-02 08:00:00 UTC.
inline uint64_t SamplesStart() { return qrd::UtcTicks(2026, 5, 2, 8, 0, 0); }

// A value that tells channel and sample index apart.
inline uint16_t SampleValue(uint32_t channel, uint64_t index) {
    return static_cast<uint16_t>(channel * 4099u + index * 7u + (index >> 16));
}

inline qrd::ContinuousStreamOptions RawOptions(uint32_t rate, uint32_t channels, uint64_t chunkNs,
                                               std::vector<qrd::SampleSpan> spans) {
    qrd::ContinuousStreamOptions o;
    o.sampleRate = rate;
    o.channelCount = channels;
    o.chunkDuration = chunkNs;
    o.spans = std::move(spans);
    o.format.word18 = 2000;  // a 25 kHz recorder (matters for version 0 only)
    return o;
}

// A continuous recording of one raw stream.
inline qrd::RecordingSpec ContinuousRecording(uint32_t rate, uint32_t channels, uint64_t chunkNs,
                                              std::vector<qrd::SampleSpan> spans, uint16_t version = 10) {
    qrd::RecordingSpec desc;
    desc.version = version;
    desc.startTime = SamplesStart();
    desc.sampleRate = rate;
    qrd::AddContinuousStream(desc, RawOptions(rate, channels, chunkNs, std::move(spans)), SampleValue);
    return desc;
}

inline qrd::StreamSpec TriggerStreamSpec() {
    qrd::StreamSpec s;
    s.typeName = "trigger";
    s.name = "Trigger 1";
    s.tag = "trig0001";
    s.id = 9;
    return s;
}

// A triggered recording: a trigger stream with one chunk per sweep, then the
// raw stream (the last stream, so its gaps make the sweeps).
inline qrd::RecordingSpec SweepRecording(uint32_t rate, uint32_t channels, uint64_t chunkNs,
                                         const std::vector<qrd::SampleSpan>& sweeps) {
    qrd::RecordingSpec desc;
    desc.startTime = SamplesStart();
    desc.sampleRate = rate;
    desc.recordingMode = qrd::kModeTriggered;
    desc.triggerTag1 = "trig0001";
    std::vector<qrd::EventChunk> triggers;
    for (const qrd::SampleSpan& s : sweeps) triggers.push_back({s.start, s.start + 1000, {}});
    qrd::AddEventStream(desc, TriggerStreamSpec(), triggers);
    qrd::AddContinuousStream(desc, RawOptions(rate, channels, chunkNs, sweeps), SampleValue);
    qrd::InterleaveChunks(desc);
    return desc;
}

inline std::string WriteSpecTo(const TempDir& dir, const std::string& name, const qrd::RecordingSpec& desc,
                               qrd::RecordingPlan* plan = nullptr) {
    const std::string path = dir.File(name);
    return qrd::WriteRecording(desc, path, nullptr, plan) ? path : std::string();
}

// ---- reference readers ----------------------------------------------------------

struct RefChunk {
    uint64_t start = 0, end = 0;
    std::vector<uint16_t> values;
};

inline std::vector<RefChunk> RefChunks(qrd::CQRVAStream& stream) {
    std::vector<RefChunk> out;
    std::unique_ptr<qrd::CQRVAChunk> chunk = stream.FirstChunk();
    while (chunk) {
        RefChunk c;
        c.start = chunk->GetStartTicks();
        c.end = chunk->GetEndTicks();
        std::vector<uint8_t> bytes;
        if (!chunk->ReadData(bytes)) break;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2) c.values.push_back(qrd::GetU16(bytes.data(), i));
        out.push_back(std::move(c));
        std::unique_ptr<qrd::CQRVAChunk> next = stream.NextChunk(chunk);
        if (!next) break;
        chunk = std::move(next);
    }
    return out;
}

inline uint64_t RefValuesBetween(uint64_t t1, uint64_t t2, uint32_t rateHz, uint32_t channels) {
    if (t2 <= t1) return 0;
    return (t2 - t1) * rateHz / 1000000000ull * channels;
}

// Interleaved values from t1 to t2, walking from the first chunk: the head
// of the chunk t1 lies inside, whole chunks ending by t2, the tail up to t2.
inline std::vector<uint16_t> RefBetween(qrd::CQRVAStream& stream, uint64_t t1, uint64_t t2) {
    std::vector<uint16_t> out;
    if (t2 < t1) return out;
    const std::vector<RefChunk> chunks = RefChunks(stream);
    const uint32_t hz = stream.GetSampleRateHz(), cc = stream.GetChannelCount();
    size_t k = 0;
    while (k < chunks.size() && chunks[k].end <= t1) ++k;
    if (k == chunks.size()) return out;
    auto copy = [&](const RefChunk& c, uint64_t from, uint64_t n) {
        from = std::min<uint64_t>(from, c.values.size());
        n = std::min<uint64_t>(n, c.values.size() - from);
        out.insert(out.end(), c.values.begin() + static_cast<long>(from), c.values.begin() + static_cast<long>(from + n));
    };
    if (chunks[k].start < t1 && t1 < chunks[k].end) {
        copy(chunks[k], RefValuesBetween(chunks[k].start, t1, hz, cc),
             RefValuesBetween(t1, std::min(t2, chunks[k].end), hz, cc));
        if (++k == chunks.size()) return out;
    }
    for (; k < chunks.size() && t2 >= chunks[k].end; ++k) copy(chunks[k], 0, chunks[k].values.size());
    if (k < chunks.size() && chunks[k].start < t2) copy(chunks[k], 0, RefValuesBetween(chunks[k].start, t2, hz, cc));
    return out;
}

// The channel's samples [first, first + count), counting instants from the
// first chunk (a partial instant at the end of a chunk is no instant).
inline std::vector<uint16_t> RefChannelRange(qrd::CQRVAStream& stream, uint32_t channel, uint64_t first,
                                             uint64_t count) {
    std::vector<uint16_t> out;
    const uint32_t cc = stream.GetChannelCount();
    uint64_t e = 0;
    for (const RefChunk& c : RefChunks(stream)) {
        const uint64_t instants = c.values.size() / cc;
        for (uint64_t i = 0; i < instants; ++i)
            if (e + i >= first && e + i < first + count) out.push_back(c.values[i * cc + channel]);
        e += instants;
    }
    return out;
}

inline std::vector<uint16_t> Column(const std::vector<uint16_t>& interleaved, uint32_t channel, uint32_t cc) {
    std::vector<uint16_t> out;
    for (size_t i = channel; i + (cc - 1 - channel) < interleaved.size(); i += cc) out.push_back(interleaved[i]);
    return out;
}

}  // namespace qrd_test
