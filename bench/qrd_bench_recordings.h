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
    std::string error;
    if (!qrd::WriteRecording(desc, path, &error)) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
        return std::string();
    }
    return path;
}

}  // namespace qrd_bench
