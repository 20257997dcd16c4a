// Recordings the QRD benchmarks write with our own writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "container/recording_writer.h"
#include "container/time_stamp.h"

namespace qrd_bench {

constexpr uint32_t kElectrodeRate = 25000000;  // millihertz
constexpr uint32_t kElectrodesPerSecond = 25000;

// The raw value of sample i of electrode channel c in ElectrodeRecording.
inline uint16_t ElectrodeSample(uint32_t c, uint64_t i) { return static_cast<uint16_t>(c * 131 + i * 7); }

// Writes desc to path; false (with the reason on standard error) when it
// cannot be written.  fileSize, when given, receives the file's size.
inline bool WriteBenchRecording(const qrd::RecordingSpec& desc, const std::string& path, uint64_t* fileSize = nullptr) {
    std::string error;
    qrd::RecordingPlan plan;
    if (!qrd::WriteRecording(desc, path, &error, &plan)) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    if (fileSize) *fileSize = plan.fileSize;
    return true;
}

// A continuous recording of `channels` electrode channels at 25 kHz for
// `seconds`, with an embedded index, written to path.  Returns path, or an
// empty string (with the reason on standard error) when it cannot be written.
inline std::string WriteElectrodeRecording(const std::string& path, uint32_t seconds, uint32_t channels) {
    qrd::RecordingSpec desc;
    desc.startTime = qrd::UtcTicks(2026, 12, 8, 9, 0, 0);
    desc.index = qrd::IndexChoice::kEmbedded;
    qrd::ContinuousStreamOptions raw;
    raw.channelCount = channels;
    raw.channelNamePrefix = "E";
    raw.sampleRate = kElectrodeRate;
    raw.spans.push_back({desc.startTime, uint64_t{seconds} * kElectrodesPerSecond});
    qrd::AddContinuousStream(desc, raw, ElectrodeSample);
    return WriteBenchRecording(desc, path) ? path : std::string();
}

// The recording that qrd_channels_bench reads and the nsread benchmarks
// (bench/nsread_*_bench.py, through qrd_channels_recording) read too: 64
// electrode channels and one digital channel at 25 kHz in 128 ms chunks, with
// an embedded index.
namespace channels_recording {

constexpr uint32_t kChannels = 64;
constexpr uint32_t kRate = 25000000;      // millihertz
constexpr uint64_t kChunkNs = 128000000;  // 128 ms
constexpr uint64_t kBytesPerSecond = uint64_t(kChannels + 1) * 2 * 25000;

// Raw value of sample i of electrode channel c, and of the digital word i.
inline uint16_t Sample(uint32_t c, uint64_t i) { return static_cast<uint16_t>(c * 977u + i); }
inline uint16_t Word(uint64_t i) { return static_cast<uint16_t>((i >> 10) & 1); }

// Whole seconds (at least two) of a recording of about sizeMb megabytes.
inline uint64_t SecondsForMegabytes(uint64_t sizeMb) {
    const uint64_t seconds = sizeMb * 1000000 / kBytesPerSecond;
    return seconds < 2 ? 2 : seconds;
}

inline bool Write(const std::string& path, uint64_t seconds, uint64_t* fileSize = nullptr) {
    const uint64_t start = qrd::UtcTicks(2026, 12, 8, 9, 0, 0);
    qrd::RecordingSpec desc;
    desc.startTime = start;
    desc.sampleRate = kRate;
    desc.chunkDuration = static_cast<uint32_t>(kChunkNs);
    desc.index = qrd::IndexChoice::kEmbedded;
    qrd::ContinuousStreamOptions raw;
    raw.sampleRate = kRate;
    raw.channelCount = kChannels;
    raw.chunkDuration = kChunkNs;
    raw.spans.push_back({start, seconds * 25000});
    qrd::AddContinuousStream(desc, raw, Sample);
    qrd::ContinuousStreamOptions digital = raw;
    digital.id = 2;
    qrd::AddDigitalStream(desc, digital, Word);
    qrd::InterleaveChunks(desc);
    return WriteBenchRecording(desc, path, fileSize);
}

}  // namespace channels_recording

}  // namespace qrd_bench
