// Writes the recording that qrd_channels_bench reads (64 electrode channels
// and one digital channel at 25 kHz in 128 ms chunks, with an embedded index;
// about 1 GB unless --size-mb says otherwise) and nothing else, for
// benchmarks outside C++ (bench/nsread_convert_bench.py).
//
// Usage: qrd_channels_recording [--size-mb N] OUT.qrd
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "container/recording_writer.h"
#include "container/time_stamp.h"
#include "qrd_bench_recordings.h"

namespace {

constexpr uint32_t kChannels = 64;
constexpr uint32_t kRate = 25000000;      // millihertz
constexpr uint64_t kChunkNs = 128000000;  // 128 ms

// The same values as qrd_channels_bench writes.
uint16_t Sample(uint32_t channel, uint64_t index) { return static_cast<uint16_t>(channel * 977u + index); }
uint16_t Word(uint64_t index) { return static_cast<uint16_t>((index >> 10) & 1); }

}  // namespace

int main(int argc, char** argv) {
    uint64_t sizeMb = 1024;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--size-mb" && i + 1 < argc) {
            sizeMb = std::strtoull(argv[++i], nullptr, 10);
        } else if (path.empty() && !a.empty() && a[0] != '-') {
            path = a;
        } else {
            path.clear();
            break;
        }
    }
    if (path.empty() || sizeMb == 0) {
        std::fprintf(stderr, "usage: qrd_channels_recording [--size-mb N] OUT.qrd\n");
        return 2;
    }
    const uint64_t bytesPerSecond = uint64_t(kChannels + 1) * 2 * 25000;
    const uint64_t instants = std::max<uint64_t>(2, sizeMb * 1000000 / bytesPerSecond) * 25000;
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
    raw.spans.push_back({start, instants});
    qrd::AddContinuousStream(desc, raw, Sample);
    qrd::ContinuousStreamOptions digital = raw;
    digital.id = 2;
    qrd::AddDigitalStream(desc, digital, Word);
    qrd::InterleaveChunks(desc);
    uint64_t size = 0;
    if (!qrd_bench::WriteBenchRecording(desc, path, &size)) return 1;
    std::printf("%s: %llu bytes\n", path.c_str(), static_cast<unsigned long long>(size));
    return 0;
}
