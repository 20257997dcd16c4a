// mapshare with host threads: ns_GetAnalogData of both channels in windows
// of 10,000 samples, by one thread on one recording, by two threads on two
// recordings and by two and four threads on one open recording, through
// libmapshare.so loaded with dlopen; then the same for index/time lookups,
// which read no file.  Targets: two threads reach at least 1.6 times the
// throughput of one thread, on two files and on one file; four threads on
// one file are no slower than two.
// Usage: map_threads_bench [blocks] [folder] [passes]
#include "map_writer.h"
#include "thread_throughput.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Two continuous channels at 20 kHz in alternating blocks of 245 samples.
constexpr uint32_t kSamplesPerBlock = 245;
constexpr uint32_t kWindow = 10000;

bool writeRecording(const std::string& path, uint32_t blocks) {
    maptest::MapWriter w;
    w.header60().continuous(1, 20.0f, "Ch 1").continuous(2, 20.0f, "Ch 2");
    std::vector<int16_t> samples(kSamplesPerBlock);
    for (uint32_t b = 0; b < blocks; ++b) {
        const auto ts = (b / 2) * kSamplesPerBlock;
        for (uint32_t i = 0; i < kSamplesPerBlock; ++i) samples[i] = static_cast<int16_t>((ts + i) & 0x7FFF);
        w.samples(static_cast<uint16_t>(1 + b % 2), ts, samples);
    }
    return w.writeTo(path);
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t blocks = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 40000;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    const int passes = argc > 3 ? std::atoi(argv[3]) : 6;
    if (blocks < 2 || passes <= 0) {
        std::fprintf(stderr, "usage: map_threads_bench [blocks] [folder] [passes]\n");
        return 2;
    }
    const std::string a = folder + "/map_threads_bench_a.map";
    const std::string b = folder + "/map_threads_bench_b.map";
    if (!writeRecording(a, blocks) || !writeRecording(b, blocks)) {
        std::fprintf(stderr, "cannot write the recordings into %s\n", folder.c_str());
        return 1;
    }
    nsapi::Functions ns;
    if (!threadbench::Load(MAPSHARE_LIBRARY_PATH, ns)) return 1;

    const uint32_t perChannel = blocks / 2 * kSamplesPerBlock;
    const threadbench::Pass pass = [&](const nsapi::Functions& f, uint32_t file) {
        thread_local std::vector<double> values(kWindow);
        for (uint32_t e = 0; e < 2; ++e)
            for (uint32_t first = 0; first + kWindow <= perChannel; first += kWindow) {
                uint32_t count = 0;
                if (f.GetAnalogData(file, e, first, kWindow, &count, values.data()) != ns_OK || count != kWindow)
                    return false;
            }
        return true;
    };
    // Lookups only: index/time conversions answered from the block list, no
    // file input, so the calls themselves and their locking are measured.
    constexpr uint32_t kLookups = 200000;
    const threadbench::Pass lookups = [&](const nsapi::Functions& f, uint32_t file) {
        for (uint32_t k = 0; k < kLookups; ++k) {
            const uint32_t e = k % 2;
            const uint32_t item = (k * 7919u) % perChannel;
            double time = 0;
            uint32_t index = 0;
            if (f.GetTimeByIndex(file, e, item, &time) != ns_OK ||
                f.GetIndexByTime(file, e, time, ns_CLOSEST, &index) != ns_OK || index + 1 < item || index > item)
                return false;
        }
        return true;
    };
    std::printf("2 channels x %u samples per recording, %d passes per thread\n", perChannel, passes);
    const double samplesMb = 2.0 * (perChannel / kWindow) * kWindow * 2 / 1e6;
    int status = threadbench::Report("mapshare data", ns, a, b, passes, samplesMb, "MB", pass);
    status = std::max(status, threadbench::Report("mapshare lookups", ns, a, b, passes, 2 * kLookups / 1e3, "k calls", lookups));
    std::remove(a.c_str());
    std::remove(b.c_str());
    return status;
}
