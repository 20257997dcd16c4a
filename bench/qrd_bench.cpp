// QRD reader benchmark: writes a continuous recording (64 electrode channels
// at 25 kHz in chunks of 128 ms, plus a digital stream; about 2 GB unless
// --size-mb says otherwise), then measures in one run
//   (a) a plain sequential read() of the file, MB/s;
//   (b) one channel read whole through ReadChannelRange in 1-second windows,
//       MB of file covered per second (the first window builds the stream's
//       chunk table, and that is counted);
//   (c) the same windows in random order;
//   (d) BuildIndex by scanning the chunks.
// The file is read once before measuring, so (a) to (c) are all served from
// the page cache alike.  Targets: (b) at least half of (a); (c) within a
// factor of 2 of (b).
//
// Usage: qrd_bench [--size-mb N] [--dir FOLDER] [--keep]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "container/chunk_index.h"
#include "container/recording_writer.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"
#include "qrd_bench_host.h"

namespace {

using qrd_bench::Clock;
using qrd_bench::PlainRead;
using qrd_bench::SecondsSince;

constexpr uint32_t kChannels = 64;
constexpr uint32_t kRate = 25000000;        // millihertz
constexpr uint64_t kChunkNs = 128000000;    // 128 ms
constexpr uint32_t kWindow = 25000;         // one second of samples
constexpr uint32_t kChannelRead = 5;        // the channel read whole

uint16_t Sample(uint32_t channel, uint64_t index) { return static_cast<uint16_t>(channel * 977u + index); }

struct Options {
    uint64_t sizeMb = 2048;
    std::string dir;
    bool keep = false;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--size-mb" && i + 1 < argc) {
            o.sizeMb = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--dir" && i + 1 < argc) {
            o.dir = argv[++i];
        } else if (a == "--keep") {
            o.keep = true;
        } else {
            std::fprintf(stderr, "usage: qrd_bench [--size-mb N] [--dir FOLDER] [--keep]\n");
            return false;
        }
    }
    return o.sizeMb > 0;
}

// Reads the channel through the given window order; returns seconds, or -1
// when a window comes back wrong.
double ReadWindows(const std::string& path, const std::vector<uint32_t>& order, uint64_t instants) {
    const auto start = Clock::now();
    qrd::CQRVAStreamFile file;
    if (file.Open(path.c_str()) != 0) return -1;
    qrd::CQRVAStream& stream = *file.GetStream(0);
    std::vector<uint16_t> window(kWindow);
    for (uint32_t w : order) {
        const uint64_t first = uint64_t(w) * kWindow;
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(kWindow, instants - first));
        const uint32_t got = stream.ReadChannelRange(window.data(), kChannelRead, static_cast<uint32_t>(first), want);
        if (got != want || window[0] != Sample(kChannelRead, first) ||
            window[got - 1] != Sample(kChannelRead, first + got - 1)) {
            std::fprintf(stderr, "window %u read wrong (%u of %u samples)\n", w, got, want);
            return -1;
        }
    }
    return SecondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) return 2;
    std::string dir = o.dir;
    bool madeDir = false;
    if (dir.empty()) {
        char pattern[] = "/tmp/qrd_bench_XXXXXX";
        if (!::mkdtemp(pattern)) {
            std::perror("mkdtemp");
            return 1;
        }
        dir = pattern;
        madeDir = true;
    }
    const std::string path = dir + "/bench.qrd";

    // Bytes per second of recording: 64 channels and the digital word.
    const uint64_t bytesPerSecond = uint64_t(kChannels + 1) * 2 * 25000;
    const uint64_t seconds = std::max<uint64_t>(1, o.sizeMb * 1000000 / bytesPerSecond);
    const uint64_t instants = seconds * 25000;
    const uint64_t start = qrd::UtcTicks(2026, 12, 8, 9, 0, 0);

    qrd::RecordingSpec desc;
    desc.startTime = start;
    desc.sampleRate = kRate;
    desc.chunkDuration = static_cast<uint32_t>(kChunkNs);
    qrd::ContinuousStreamOptions raw;
    raw.sampleRate = kRate;
    raw.channelCount = kChannels;
    raw.chunkDuration = kChunkNs;
    raw.format.word18 = 2000;
    raw.spans.push_back({start, instants});
    qrd::AddContinuousStream(desc, raw, Sample);
    qrd::ContinuousStreamOptions digital = raw;
    digital.id = 2;
    qrd::AddDigitalStream(desc, digital, [](uint64_t i) { return static_cast<uint16_t>((i >> 10) & 1); });
    qrd::InterleaveChunks(desc);

    std::printf("writing %s: %llu s of 64 channels at 25 kHz + digital, 128 ms chunks\n", path.c_str(),
                static_cast<unsigned long long>(seconds));
    auto t0 = Clock::now();
    std::string error;
    qrd::RecordingPlan plan;
    if (!qrd::WriteRecording(desc, path, &error, &plan)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const double mb = static_cast<double>(plan.fileSize) / 1e6;
    std::printf("written: %.1f MB in %.1f s\n", mb, SecondsSince(t0));

    // Warm the page cache so every measurement below reads from memory.
    uint64_t bytes = 0;
    if (PlainRead(path, bytes) < 0) return 1;

    const double a = PlainRead(path, bytes);
    if (a < 0 || bytes != plan.fileSize) return 1;
    const double aRate = mb / a;
    std::printf("(a) plain sequential read():         %8.1f MB/s  (%.2f s)\n", aRate, a);

    const uint32_t windows = static_cast<uint32_t>((instants + kWindow - 1) / kWindow);
    std::vector<uint32_t> order(windows);
    for (uint32_t w = 0; w < windows; ++w) order[w] = w;
    const double b = ReadWindows(path, order, instants);
    if (b < 0) return 1;
    const double bRate = mb / b;
    std::printf("(b) one channel, 1 s windows, order: %8.1f MB/s  (%.2f s, %u windows)\n", bRate, b, windows);

    std::shuffle(order.begin(), order.end(), std::mt19937(12345));
    const double c = ReadWindows(path, order, instants);
    if (c < 0) return 1;
    const double cRate = mb / c;
    std::printf("(c) the same windows, random order:  %8.1f MB/s  (%.2f s)\n", cRate, c);

    t0 = Clock::now();
    qrd::CQRVAStreamFile file;
    if (file.Open(path.c_str()) != 0) return 1;
    const int sweeps = file.BuildIndex();
    const double d = SecondsSince(t0);
    std::printf("(d) open + BuildIndex by scan:       %8.2f s  (%d sweep, %zu position entries)\n", d, sweeps,
                file.GetIndex().positions().size());
    file.Close();

    std::printf("ratio (b)/(a) = %.2f  (target >= 0.5)\n", bRate / aRate);
    std::printf("ratio (c)/(b) = %.2f  (target >= 0.5)\n", cRate / bRate);

    if (!o.keep) {
        std::remove(path.c_str());
        if (madeDir) ::rmdir(dir.c_str());
    }
    return 0;
}
