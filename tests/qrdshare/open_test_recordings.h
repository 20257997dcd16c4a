// Recordings for the open and stream tests, written by our own recording
// writer into a temporary folder, and small helpers to damage and walk them.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "container/chunk.h"
#include "container/event_payload_writer.h"
#include "container/recording_writer.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"
#include "support/temp_dir.h"

namespace qrd_test {

// 2026-03-14 15:09:26.535 UTC and 123456 ns.
inline uint64_t SmallRecordingStart() { return qrd::UtcTicks(2026, 3, 14, 15, 9, 26, 535) + 123456; }

// Three streams: a 3-channel electrode stream and a digital stream (100 ms
// at 25 kHz in 10 ms chunks each) and a trigger stream with one chunk.
inline qrd::RecordingSpec SmallRecording(uint16_t version) {
    qrd::RecordingSpec desc;
    desc.version = version;
    desc.startTime = SmallRecordingStart();
    desc.comment = "bench 4, slice 2";
    const uint64_t start = desc.startTime;

    qrd::ContinuousStreamOptions raw;
    raw.channelCount = 3;
    raw.firstHardwareIndex = 10;
    raw.channelNamePrefix = "E";
    raw.chunkDuration = 10000000;
    raw.format.word18 = 2000;  // a 25 kHz recorder (matters for version 0)
    raw.spans.push_back({start, 2500});
    qrd::AddContinuousStream(desc, raw, [](uint32_t c, uint64_t i) { return static_cast<uint16_t>(c * 1000 + i); });

    qrd::ContinuousStreamOptions digital = raw;
    digital.id = 2;
    digital.firstHardwareIndex = 63;
    qrd::AddDigitalStream(desc, digital, [](uint64_t i) { return static_cast<uint16_t>(i & 1); });

    qrd::StreamSpec trigger;
    trigger.typeName = "trigger";
    trigger.name = "Trigger 1";
    trigger.tag = "trig0001";
    trigger.id = 3;
    std::vector<uint8_t> payload;
    qrd::AppendTriggerRecord(payload, 0, start + 5000000, 1);
    qrd::AddEventStream(desc, trigger, {{start, start + 10000000, payload}});
    qrd::InterleaveChunks(desc);
    return desc;
}

inline std::string WriteSpec(const TempDir& dir, const std::string& name, const qrd::RecordingSpec& desc,
                             qrd::RecordingPlan* plan = nullptr) {
    const std::string path = dir.File(name);
    std::string error;
    if (!qrd::WriteRecording(desc, path, &error, plan)) return std::string();
    return path;
}

inline std::string WriteBytes(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    return dir.Write(name, std::string(bytes.begin(), bytes.end()));
}

inline void PatchTag(std::vector<uint8_t>& bytes, uint64_t at, const char* tag) {
    for (size_t i = 0; i < 8; ++i) bytes[at + i] = static_cast<uint8_t>(tag[i]);
}

// Chunks of one stream, walked from the first; stops after limit chunks so a
// walk that fails to end shows as a wrong count instead of a hang.
inline size_t CountChunks(qrd::CQRVAStream& stream, size_t limit = 100000) {
    size_t n = 0;
    std::unique_ptr<qrd::CQRVAChunk> chunk = stream.FirstChunk();
    while (chunk && n < limit) {
        ++n;
        std::unique_ptr<qrd::CQRVAChunk> next = stream.NextChunk(chunk);
        if (!next) break;
        chunk = std::move(next);
    }
    return n;
}

inline size_t CountFileChunks(qrd::CQRVAStreamFile& file, size_t limit = 100000) {
    size_t n = 0;
    std::unique_ptr<qrd::CQRVAChunk> chunk = file.FirstChunk();
    while (chunk && n < limit) {
        ++n;
        std::unique_ptr<qrd::CQRVAChunk> next = file.NextChunk(chunk);
        if (!next) break;
        chunk = std::move(next);
    }
    return n;
}

}  // namespace qrd_test
