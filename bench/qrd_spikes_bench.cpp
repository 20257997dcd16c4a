// Spike cut-outs through the exports, in every reading order.
//
// Writes a recording with a 60-channel spike stream (4 million spikes of 32
// samples by default, about 350 MB; --spikes N changes the count), then
// measures in one run:
//   - ns_OpenFile, which counts every spike (and keeps where each lies);
//   - ns_GetSegmentData of every item of one entity in increasing, random
//     and decreasing order, each on a freshly opened file: microseconds a
//     call, the slowest call, and random and decreasing as a multiple of
//     increasing;
//   - every item of every entity in increasing order, as bytes of the file
//     per second against the fastest plain read() of it.
// A few values of every call are checked.
//
// Usage: qrd_spikes_bench [--spikes N] [--dir FOLDER]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "container/event_payload_writer.h"
#include "container/recording_writer.h"
#include "container/time_stamp.h"
#include "qrd_bench_host.h"
#include "qrd_bench_recordings.h"

namespace {

using namespace qrd_bench;

constexpr uint32_t kChannels = 60;
constexpr uint32_t kSamples = 32;
constexpr uint64_t kSpacingNs = 150000;      // between spikes: 4 M spikes in 10 minutes
constexpr uint64_t kChunkNs = 100000000;     // 100 ms chunks
constexpr uint32_t kEntity = 7;

uint16_t SpikeSample(uint64_t spike, uint32_t k) { return static_cast<uint16_t>(spike * 3 + k * 101); }

bool WriteFile(const std::string& path, uint64_t spikes, uint64_t& fileSize) {
    qrd::RecordingSpec desc;
    desc.startTime = qrd::UtcTicks(2026, 12, 8, 9, 0, 0);
    qrd::StreamSpec stream;
    stream.typeName = "spikes";
    stream.name = "Spikes 1";
    stream.tag = "spks0001";
    stream.id = 4;
    stream.headerVersion = 8;
    for (uint32_t c = 0; c < kChannels; ++c) {
        qrd::ChannelSpec ch;
        ch.number = static_cast<int32_t>(c + 1);
        ch.hardwareIndex = static_cast<int32_t>(c);
        ch.name = "S" + std::to_string(c + 1);
        stream.channels.push_back(ch);
    }
    std::vector<qrd::EventChunk> chunks;
    std::vector<uint16_t> samples(kSamples);
    for (uint64_t i = 0; i < spikes; ++i) {
        const uint64_t t = desc.startTime + i * kSpacingNs;
        const uint64_t slot = (t - desc.startTime) / kChunkNs;
        while (chunks.size() <= slot) {
            const uint64_t begin = desc.startTime + chunks.size() * kChunkNs;
            chunks.push_back({begin, begin + kChunkNs, {}});
        }
        for (uint32_t k = 0; k < kSamples; ++k) samples[k] = SpikeSample(i, k);
        qrd::AppendSpikeRecord(chunks[slot].payload, stream.headerVersion, t, static_cast<uint16_t>(i % kChannels),
                               samples, static_cast<uint16_t>(i % 3));
    }
    qrd::AddEventStream(desc, stream, chunks);
    chunks.clear();
    return WriteBenchRecording(desc, path, &fileSize);
}

// Reads item `index` of entity `entity` (spike number index x 60 + entity)
// and checks its unit and first and last samples.
bool ReadSpike(LoadedLibrary& lib, uint32_t id, uint32_t entity, uint32_t index, std::vector<double>& buffer) {
    double time = 0;
    uint32_t count = 0, unit = 0;
    if (lib.GetSegmentData(id, entity, static_cast<int32_t>(index), &time, buffer.data(),
                           static_cast<uint32_t>(buffer.size() * sizeof(double)), &count, &unit) != ns_OK)
        return false;
    const uint64_t spike = uint64_t(index) * kChannels + entity;
    auto value = [](uint16_t raw) { return (static_cast<int32_t>(raw) - 32768) * 1.0e-7; };
    return count == kSamples && unit == spike % 3 && std::fabs(buffer[0] - value(SpikeSample(spike, 0))) < 1e-12 &&
           std::fabs(buffer[kSamples - 1] - value(SpikeSample(spike, kSamples - 1))) < 1e-12;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t spikes = 4000000;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--spikes" && i + 1 < argc) {
            spikes = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else {
            std::fprintf(stderr, "usage: qrd_spikes_bench [--spikes N] [--dir FOLDER]\n");
            return 2;
        }
    }
    if (spikes < kChannels) spikes = kChannels;
    const std::string folder = MakeFolder(dir, "qrd_spikes_bench_");
    if (folder.empty()) return 1;
    const std::string path = folder + "/spikes.qrd";
    uint64_t fileSize = 0;
    auto t0 = Clock::now();
    if (!WriteFile(path, spikes, fileSize)) return 1;
    const double mb = static_cast<double>(fileSize) / 1e6;
    std::printf("recording: %.1f MB, %llu spikes of %u samples on %u channels (written in %.1f s)\n", mb,
                static_cast<unsigned long long>(spikes), kSamples, kChannels, SecondsSince(t0));
    const double plain = BestPlainRead(path);
    std::printf("plain read():                 %8.1f MB/s (%.3f s)\n", mb / plain, plain);

    auto loaded = std::make_unique<LoadedLibrary>(folder, "libqrdshare_spikes", "");
    LoadedLibrary& lib = *loaded;
    if (!lib.ok()) {
        std::fprintf(stderr, "%s\n", lib.error().c_str());
        return 1;
    }
    uint32_t id = 0;
    t0 = Clock::now();
    if (lib.OpenFile(path.c_str(), &id) != ns_OK) return 1;
    const double open = SecondsSince(t0);
    std::printf("ns_OpenFile (counts spikes):  %8.3f s (%.2f of a plain read's speed)\n", open, plain / open);
    ns_ENTITYINFO info;
    lib.GetEntityInfo(id, kEntity, &info, sizeof info);
    const uint32_t items = info.dwItemCount;

    std::vector<double> buffer(64);
    std::vector<uint32_t> order(items);
    for (uint32_t i = 0; i < items; ++i) order[i] = i;
    int failures = 0;
    // Each order on a freshly opened file, so that no order finds what an
    // earlier one left in the library's caches.
    auto timeOrder = [&](const char* name) {
        lib.CloseFile(id);
        if (lib.OpenFile(path.c_str(), &id) != ns_OK) ++failures;
        const auto start = Clock::now();
        double slowest = 0;
        for (uint32_t i : order) {
            const auto call = Clock::now();
            if (!ReadSpike(lib, id, kEntity, i, buffer)) ++failures;
            slowest = std::max(slowest, SecondsSince(call));
        }
        const double us = SecondsSince(start) * 1e6 / items;
        std::printf("entity %u, %u items, %-10s %8.2f us a call (slowest call %.0f us)\n", kEntity, items, name, us,
                    slowest * 1e6);
        return us;
    };
    const double increasing = timeOrder("increasing");
    std::shuffle(order.begin(), order.end(), std::mt19937(99));
    const double random = timeOrder("random");
    std::sort(order.rbegin(), order.rend());
    const double decreasing = timeOrder("decreasing");
    std::printf("random / increasing = %.2f, decreasing / increasing = %.2f (target <= 2)\n", random / increasing,
                decreasing / increasing);

    lib.CloseFile(id);
    if (lib.OpenFile(path.c_str(), &id) != ns_OK) ++failures;
    t0 = Clock::now();
    ns_FILEINFO fileInfo;
    lib.GetFileInfo(id, &fileInfo, sizeof fileInfo);
    uint64_t calls = 0;
    for (uint32_t e = 0; e < fileInfo.dwEntityCount; ++e) {
        ns_ENTITYINFO ei;
        lib.GetEntityInfo(id, e, &ei, sizeof ei);
        for (uint32_t i = 0; i < ei.dwItemCount; ++i, ++calls)
            if (!ReadSpike(lib, id, e, i, buffer)) ++failures;
    }
    const double all = SecondsSince(t0);
    std::printf("every spike of every entity:  %8.3f s, %llu calls, %.1f MB/s (%.3f of a plain read)\n", all,
                static_cast<unsigned long long>(calls), mb / all, plain / all);
    lib.CloseFile(id);
    loaded.reset();  // removes the library's copy from the folder
    std::remove(path.c_str());
    ::rmdir(folder.c_str());
    if (failures) std::fprintf(stderr, "%d reads failed or read wrong values\n", failures);
    return failures == 0 ? 0 : 1;
}
