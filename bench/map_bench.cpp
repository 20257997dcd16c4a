// MAP reader benchmark through the exports of the built libmapshare.so:
// writes a recording of about 500 MB in about a million blocks, then measures
//   - parsing (ns_OpenFile, best of three in one process) against a plain
//     read() of the same file, and
//   - ns_GetAnalogData of 1,000 samples at the end of a channel against the
//     same read at its start.
// Targets: parsing at least a third of plain read speed; the end read within
// a factor of 2 of the start read.  Usage: map_bench [megabytes]
#include "map_bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using mapbench::Clock;

double seconds(Clock::time_point from) { return mapbench::secondsSince(from); }

// Two continuous channels at 20 kHz, alternating blocks of 245 samples: each
// block record is exactly 500 bytes.
constexpr uint32_t kSamplesPerBlock = 245;

bool writeRecording(const std::string& path, size_t blocks) {
    return mapbench::writeContinuousRecording(path, 2, 20.0f, kSamplesPerBlock, blocks / 2);
}

double openSeconds(const std::string& path) {
    uint32_t handle = 0;
    const auto start = Clock::now();
    if (mapbench::mapshare().OpenFile(path.c_str(), &handle) != ns_OK) return -1;
    const double elapsed = seconds(start);
    mapbench::mapshare().CloseFile(handle);
    return elapsed;
}

// Time of one 1,000-sample read at index: the mean over a batch of reads,
// the best of several batches (a batch lasts well under a millisecond, so
// one pause of the process would otherwise swamp it), after one read that
// is not counted (the first read of a file sets up its cache).
double analogReadSeconds(uint32_t handle, uint32_t index) {
    constexpr int kBatches = 20;
    constexpr int kRepeats = 200;
    std::vector<double> data(1000);
    uint32_t count = 0;
    const nsapi::Functions& ns = mapbench::mapshare();
    ns.GetAnalogData(handle, 0, index, 1000, &count, data.data());
    double best = 1e30;
    for (int b = 0; b < kBatches; ++b) {
        const auto start = Clock::now();
        for (int r = 0; r < kRepeats; ++r) {
            if (ns.GetAnalogData(handle, 0, index, 1000, &count, data.data()) != ns_OK || count != 1000) return -1;
        }
        best = std::min(best, seconds(start) / kRepeats);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 500.0;
    const auto blocks = static_cast<size_t>(megabytes * 1e6 / 500.0);
    maptest::TempDir dir;
    const std::string path = dir.file("bench.map");
    std::printf("writing %zu blocks (%.0f MB) ...\n", blocks, megabytes);
    if (!writeRecording(path, blocks)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }

    // Best of three, each after the file is in the page cache.
    uint64_t bytes = 0;
    double readBest = 1e9, parseBest = 1e9;
    mapbench::plainReadSeconds(path, &bytes);
    for (int i = 0; i < 3; ++i) {
        readBest = std::min(readBest, mapbench::plainReadSeconds(path, &bytes));
        const double parse = openSeconds(path);
        if (parse < 0) {
            std::fprintf(stderr, "ns_OpenFile failed\n");
            return 1;
        }
        parseBest = std::min(parseBest, parse);
    }
    const double mb = static_cast<double>(bytes) / 1e6;
    std::printf("file size            %.1f MB in %zu blocks\n", mb, blocks);
    std::printf("plain read()         %.3f s  (%.0f MB/s)\n", readBest, mb / readBest);
    std::printf("parse (ns_OpenFile)  %.3f s  (%.0f MB/s)\n", parseBest, mb / parseBest);
    std::printf("parse / read speed   %.2f  (target >= 0.33)\n", readBest / parseBest);

    const nsapi::Functions& ns = mapbench::mapshare();
    uint32_t handle = 0;
    if (ns.OpenFile(path.c_str(), &handle) != ns_OK) return 1;
    ns_ENTITYINFO entity{};
    ns.GetEntityInfo(handle, 0, &entity, sizeof entity);
    const double atStart = analogReadSeconds(handle, 0);
    const double atEnd = analogReadSeconds(handle, entity.dwItemCount - 1000);
    ns.CloseFile(handle);
    if (atStart < 0 || atEnd < 0) {
        std::fprintf(stderr, "ns_GetAnalogData failed\n");
        return 1;
    }
    std::printf("channel samples      %u\n", entity.dwItemCount);
    std::printf("1000 samples, start  %.2f us\n", atStart * 1e6);
    std::printf("1000 samples, end    %.2f us\n", atEnd * 1e6);
    std::printf("end / start          %.2f  (target <= 2)\n", atEnd / atStart);
    return 0;
}
