// A MAP recording much larger than a small cache budget, for the host tests
// that read through the exports with MAPSHARE_CACHE_MB=1: eight continuous
// channels at 20 kHz in blocks of 100 to 250 samples, and a Level channel
// with a 24-sample spike every round; about 3 KB a round.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "map_host.h"
#include "map_writer.h"

namespace maptest {

constexpr uint16_t kLongChannels = 8;
constexpr uint16_t kLongSpikeChannel = 20;

// The value of sample `tick` of a channel (the spike channel: of spike
// `tick - i` at its position i).
inline int16_t longValueAt(uint16_t channel, uint64_t tick) {
    return static_cast<int16_t>(tick * 5 + channel * 4099);
}

inline std::string writeLongRecording(const TempDir& dir, const std::string& name, uint32_t rounds) {
    MapWriter w;
    w.header60();
    for (uint16_t c = 1; c <= kLongChannels; ++c) w.continuous(c, 20.0f, "A" + std::to_string(c));
    w.analog(AnalogMode::Level, kLongSpikeChannel, 20.0f, "Spikes");
    std::vector<uint64_t> tick(kLongChannels + 1, 0);
    for (uint32_t b = 0; b < rounds; ++b) {
        for (uint16_t c = 1; c <= kLongChannels; ++c) {
            std::vector<int16_t> samples(100 + (b * 31 + c * 17) % 151);
            for (size_t i = 0; i < samples.size(); ++i) samples[i] = longValueAt(c, tick[c] + i);
            w.samples(c, static_cast<uint32_t>(tick[c]), samples);
            tick[c] += samples.size();
        }
        std::vector<int16_t> spike(24);
        for (size_t i = 0; i < spike.size(); ++i) spike[i] = longValueAt(kLongSpikeChannel, b + i);
        w.samples(kLongSpikeChannel, 200 * b + 40, spike);
    }
    const std::string path = dir.file(name);
    EXPECT_TRUE(w.writeTo(path));
    return path;
}

}  // namespace maptest
