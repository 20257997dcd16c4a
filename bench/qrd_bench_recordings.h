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

}  // namespace qrd_bench
