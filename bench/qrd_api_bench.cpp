// QRD front-end benchmark: writes a continuous electrode recording with an
// embedded index (by default 60 channels, 30 s at 25 kHz, about 90 MB), then
// measures through the Neuroshare entry points
//   - ns_OpenFile, which builds the entity table (an analog-only recording
//     with an index must open without reading its samples), and
//   - ns_GetAnalogData of every channel in 1-second windows, checking a
//     few values of every window against what was written.
// A second, digital recording of the same length measures the edge scan.
// Usage: qrd_api_bench [seconds] [channels] [folder]
#include "api/entry_points.h"
#include "api/registry.h"
#include "container/recording_writer.h"
#include "container/time_stamp.h"
#include "qrd_bench_recordings.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using qrd::CQRD;
namespace entry = qrd::entry;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

constexpr uint32_t kPerSecond = qrd_bench::kElectrodesPerSecond;
using qrd_bench::ElectrodeSample;

std::string WriteElectrodes(const std::string& folder, uint32_t seconds, uint32_t channels) {
    return qrd_bench::WriteElectrodeRecording(folder + "/qrd_api_bench_electrodes.qrd", seconds, channels);
}

std::string WriteDigital(const std::string& folder, uint32_t seconds) {
    qrd::RecordingSpec desc;
    desc.startTime = qrd::UtcTicks(2026, 12, 8, 9, 0, 0);
    desc.index = qrd::IndexChoice::kEmbedded;
    qrd::ContinuousStreamOptions digital;
    digital.spans.push_back({desc.startTime, uint64_t{seconds} * kPerSecond});
    qrd::AddDigitalStream(desc, digital, [](uint64_t i) { return static_cast<uint16_t>(i / 250); });
    const std::string path = folder + "/qrd_api_bench_digital.qrd";
    std::string error;
    if (!qrd::WriteRecording(desc, path, &error)) {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
        return std::string();
    }
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    const uint32_t seconds = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 30;
    const uint32_t channels = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 60;
    const std::string folder = argc > 3 ? argv[3] : "/tmp";
    if (seconds == 0 || channels == 0) {
        std::fprintf(stderr, "usage: qrd_api_bench [seconds] [channels] [folder]\n");
        return 2;
    }

    auto t0 = Clock::now();
    const std::string electrodes = WriteElectrodes(folder, seconds, channels);
    const std::string digital = WriteDigital(folder, seconds);
    if (electrodes.empty() || digital.empty()) return 1;
    std::printf("wrote %u s x %u channels (+ a digital recording) in %.2f s\n", seconds, channels, Seconds(t0));

    CQRD registry;
    uint32_t id = 0;
    t0 = Clock::now();
    if (entry::OpenFile(registry, electrodes.c_str(), &id) != ns_OK) {
        std::fprintf(stderr, "ns_OpenFile failed\n");
        return 1;
    }
    const double openTime = Seconds(t0);
    ns_FILEINFO info;
    entry::GetFileInfo(registry, id, &info, sizeof info);
    std::printf("ns_OpenFile (electrodes): %.4f s, %u entities\n", openTime, info.dwEntityCount);

    std::vector<double> window(kPerSecond);
    uint64_t samples = 0;
    int bad = 0;
    t0 = Clock::now();
    for (uint32_t e = 0; e < info.dwEntityCount; ++e) {
        for (uint32_t s = 0; s < seconds; ++s) {
            uint32_t cont = 0;
            if (entry::GetAnalogData(registry, id, e, s * kPerSecond, kPerSecond, &cont, window.data()) != ns_OK) {
                ++bad;
                continue;
            }
            samples += kPerSecond;
            for (uint32_t k : {0u, kPerSecond / 2, kPerSecond - 1}) {
                const uint64_t i = uint64_t{s} * kPerSecond + k;
                const double expected = (static_cast<int32_t>(ElectrodeSample(e, i)) - 32768) * 1.0e-7;
                if (std::fabs(window[k] - expected) > 1e-12) ++bad;
            }
        }
    }
    const double readTime = Seconds(t0);
    std::printf("ns_GetAnalogData, every channel in 1 s windows: %.3f s for %llu samples (%.1f Msamples/s), %d bad\n",
                readTime, static_cast<unsigned long long>(samples), samples / readTime / 1e6, bad);
    entry::CloseFile(registry, id);

    t0 = Clock::now();
    if (entry::OpenFile(registry, digital.c_str(), &id) != ns_OK) {
        std::fprintf(stderr, "ns_OpenFile (digital) failed\n");
        return 1;
    }
    const double scanTime = Seconds(t0);
    ns_ENTITYINFO bit0;
    entry::GetEntityInfo(registry, id, 1, &bit0, sizeof bit0);
    std::printf("ns_OpenFile (digital, edge scan of %u s): %.4f s, bit 0 has %u edges\n", seconds, scanTime,
                bit0.dwItemCount);
    entry::CloseFile(registry, id);
    std::remove(electrodes.c_str());
    std::remove(digital.c_str());
    return bad == 0 ? 0 : 1;
}
