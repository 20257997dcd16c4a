// qrdshare with host threads: ns_GetAnalogData of every channel in 1-second
// windows, by one thread on one recording, by two threads on two recordings
// and by two and four threads on one open recording, through libqrdshare.so
// loaded with dlopen; then the same for index/time lookups, which read no
// file.  Targets: two threads reach at least 1.6 times the throughput of one
// thread, on two files and on one file; four threads on one file are no
// slower than two.
// Usage: qrd_threads_bench [seconds] [channels] [folder] [passes]
#include "qrd_bench_recordings.h"
#include "thread_throughput.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using qrd_bench::WriteElectrodeRecording;
constexpr uint32_t kPerSecond = qrd_bench::kElectrodesPerSecond;

}  // namespace

int main(int argc, char** argv) {
    const uint32_t seconds = argc > 1 ? static_cast<uint32_t>(std::atoi(argv[1])) : 10;
    const uint32_t channels = argc > 2 ? static_cast<uint32_t>(std::atoi(argv[2])) : 16;
    const std::string folder = argc > 3 ? argv[3] : "/tmp";
    const int passes = argc > 4 ? std::atoi(argv[4]) : 12;
    if (seconds == 0 || channels == 0 || passes <= 0) {
        std::fprintf(stderr, "usage: qrd_threads_bench [seconds] [channels] [folder] [passes]\n");
        return 2;
    }
    const std::string a = WriteElectrodeRecording(folder + "/qrd_threads_bench_a.qrd", seconds, channels);
    const std::string b = WriteElectrodeRecording(folder + "/qrd_threads_bench_b.qrd", seconds, channels);
    if (a.empty() || b.empty()) return 1;
    nsapi::Functions ns;
    if (!threadbench::Load(QRDSHARE_LIBRARY_PATH, ns)) return 1;

    const threadbench::Pass pass = [&](const nsapi::Functions& f, uint32_t file) {
        thread_local std::vector<double> values(kPerSecond);  // each thread reads into its own window
        for (uint32_t e = 0; e < channels; ++e)
            for (uint32_t s = 0; s < seconds; ++s) {
                uint32_t count = 0;
                if (f.GetAnalogData(file, e, s * kPerSecond, kPerSecond, &count, values.data()) != ns_OK ||
                    count != kPerSecond)
                    return false;
            }
        return true;
    };
    // Lookups only: index/time conversions answered from the entity table,
    // no file input, so the calls themselves and their locking are measured.
    constexpr uint32_t kLookups = 200000;
    const threadbench::Pass lookups = [&](const nsapi::Functions& f, uint32_t file) {
        for (uint32_t k = 0; k < kLookups; ++k) {
            const uint32_t e = k % channels;
            const uint32_t item = (k * 7919u) % (seconds * kPerSecond);
            double time = 0;
            uint32_t index = 0;
            if (f.GetTimeByIndex(file, e, item, &time) != ns_OK ||
                f.GetIndexByTime(file, e, time, ns_CLOSEST, &index) != ns_OK || index != item)
                return false;
        }
        return true;
    };
    std::printf("%u channels x %u s at 25 kHz per recording, %d passes per thread\n", channels, seconds, passes);
    const double samplesMb = static_cast<double>(channels) * seconds * kPerSecond * 2 / 1e6;
    int status = threadbench::Report("qrdshare data", ns, a, b, passes, samplesMb, "MB", pass);
    status = std::max(status, threadbench::Report("qrdshare lookups", ns, a, b, passes, 2 * kLookups / 1e3, "k calls", lookups));
    std::remove(a.c_str());
    std::remove(b.c_str());
    return status;
}
