// Reading every channel of a QRD recording through the exports, as hosts do.
//
// Writes a continuous recording like the ones a multi-electrode set-up
// records (64 electrode channels and one digital channel at 25 kHz in 128 ms
// chunks, with an embedded index; about 1 GB unless --size-mb says
// otherwise), then measures, in one run and against the fastest plain
// read() of the same file (from the page cache):
//   window    every channel for one 1-s window, then the next window;
//   channels  each channel whole in 1-s windows, one channel after another;
//   calls     each channel whole in a single ns_GetAnalogData call;
//   single    one channel alone in 1-s windows;
// each with the library's default cache budget, with a budget smaller than
// the file (--small-mb, 256 by default) and with the cache off (budget 0).
// Every pattern opens the file afresh (the open is timed too), so no pattern
// starts with what another one cached.  Ratios are file bytes per second
// over plain-read bytes per second; the single-channel pattern covers the
// file's bytes as well.  A few values of every call are checked.
//
// Usage: qrd_channels_bench [--size-mb N] [--small-mb N] [--dir FOLDER]
//                           [--only window|channels|calls|single] [--budget default|small|off]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "container/recording_writer.h"
#include "container/time_stamp.h"
#include "qrd_bench_host.h"
#include "qrd_bench_recordings.h"

namespace {

using namespace qrd_bench;

using channels_recording::kChannels;
using channels_recording::Sample;
using channels_recording::Word;
constexpr uint32_t kWindow = 25000;       // one second
constexpr uint32_t kSingle = 5;           // the channel read alone


struct Options {
    uint64_t sizeMb = 1024;
    uint64_t smallMb = 256;
    std::string dir;
    std::string only;
    std::string budget;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--size-mb" && i + 1 < argc) {
            o.sizeMb = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--small-mb" && i + 1 < argc) {
            o.smallMb = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--dir" && i + 1 < argc) {
            o.dir = argv[++i];
        } else if (a == "--only" && i + 1 < argc) {
            o.only = argv[++i];
        } else if (a == "--budget" && i + 1 < argc) {
            o.budget = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: qrd_channels_bench [--size-mb N] [--small-mb N] [--dir FOLDER] "
                         "[--only window|channels|calls|single] [--budget default|small|off]\n");
            return false;
        }
    }
    return o.sizeMb > 0;
}

// An analog entity and what its raw values are.
struct Channel {
    uint32_t entity = 0;
    bool digital = false;
    uint32_t column = 0;
    double Expected(uint64_t i) const {
        return digital ? Word(i) : (static_cast<int32_t>(Sample(column, i)) - 32768) * 1.0e-7;
    }
};

class Run {
public:
    Run(LoadedLibrary& lib, const std::string& path) : lib_(lib) {
        if (lib.OpenFile(path.c_str(), &id_) != ns_OK) return;
        ns_FILEINFO info;
        lib.GetFileInfo(id_, &info, sizeof info);
        for (uint32_t e = 0; e < info.dwEntityCount; ++e) {
            ns_ENTITYINFO ei;
            lib.GetEntityInfo(id_, e, &ei, sizeof ei);
            if (ei.dwEntityType != ns_ENTITY_ANALOG) continue;
            Channel c;
            c.entity = e;
            c.digital = std::string(ei.szEntityLabel).find("digi") != std::string::npos;
            c.column = c.digital ? 0 : static_cast<uint32_t>(channels_.size());
            channels_.push_back(c);
            items_ = ei.dwItemCount;
        }
    }
    ~Run() {
        if (id_) lib_.CloseFile(id_);
    }
    bool ok() const { return id_ != 0 && !channels_.empty(); }
    const std::vector<Channel>& channels() const { return channels_; }
    uint32_t items() const { return items_; }

    // Reads count samples of c from first into out and checks three of them.
    bool Read(const Channel& c, uint32_t first, uint32_t count, double* out) {
        uint32_t cont = 0;
        if (lib_.GetAnalogData(id_, c.entity, first, count, &cont, out) != ns_OK) return false;
        for (uint32_t k : {0u, count / 2, count - 1})
            if (std::fabs(out[k] - c.Expected(uint64_t(first) + k)) > 1e-12) return false;
        return true;
    }

private:
    LoadedLibrary& lib_;
    uint32_t id_ = 0;
    uint32_t items_ = 0;
    std::vector<Channel> channels_;
};

// Seconds for one pattern (open, reads, close), or -1 on a failure.
double Measure(LoadedLibrary& lib, const std::string& path, const std::string& pattern) {
    const auto start = Clock::now();
    Run run(lib, path);
    if (!run.ok()) return -1;
    const uint32_t items = run.items();
    const uint32_t windows = (items + kWindow - 1) / kWindow;
    auto windowLength = [&](uint32_t w) { return std::min<uint32_t>(kWindow, items - w * kWindow); };
    static std::vector<double> buffer;
    buffer.resize(pattern == "calls" ? items : kWindow);
    bool good = true;
    if (pattern == "window") {
        for (uint32_t w = 0; w < windows && good; ++w)
            for (const Channel& c : run.channels()) good = good && run.Read(c, w * kWindow, windowLength(w), buffer.data());
    } else if (pattern == "channels") {
        for (const Channel& c : run.channels())
            for (uint32_t w = 0; w < windows && good; ++w)
                good = run.Read(c, w * kWindow, windowLength(w), buffer.data());
    } else if (pattern == "calls") {
        for (const Channel& c : run.channels()) good = good && run.Read(c, 0, items, buffer.data());
    } else {
        const Channel& c = run.channels()[kSingle];
        for (uint32_t w = 0; w < windows && good; ++w) good = run.Read(c, w * kWindow, windowLength(w), buffer.data());
    }
    if (!good) {
        std::fprintf(stderr, "pattern %s read wrong values\n", pattern.c_str());
        return -1;
    }
    return SecondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!ParseOptions(argc, argv, o)) return 2;
    const std::string folder = MakeFolder(o.dir, "qrd_channels_bench_");
    if (folder.empty()) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string path = folder + "/bench.qrd";
    const uint64_t seconds = channels_recording::SecondsForMegabytes(o.sizeMb);
    uint64_t fileSize = 0;
    auto t0 = Clock::now();
    if (!channels_recording::Write(path, seconds, &fileSize)) return 1;
    const double mb = static_cast<double>(fileSize) / 1e6;
    std::printf("recording: %.1f MB, %llu s of 64 electrode channels + 1 digital at 25 kHz, 128 ms chunks "
                "(written in %.1f s)\n",
                mb, static_cast<unsigned long long>(seconds), SecondsSince(t0));

    const double plain = BestPlainRead(path);
    if (plain <= 0) return 1;
    const double plainRate = mb / plain;
    std::printf("plain read():  %8.1f MB/s  (%.3f s)\n\n", plainRate, plain);

    struct Budget {
        const char* key;
        const char* name;
        std::string ini;
    };
    std::vector<Budget> budgets = {
        {"default", "default budget", ""},
        {"small", "small budget", "[Settings]\nCacheSizeMB=" + std::to_string(o.smallMb) + "\n"},
        {"off", "cache off", "[Settings]\nCacheSizeMB=0\n"},
    };
    if (!o.budget.empty())
        budgets.erase(std::remove_if(budgets.begin(), budgets.end(), [&](const Budget& b) { return o.budget != b.key; }),
                      budgets.end());
    const std::vector<std::string> patterns = {"window", "channels", "calls", "single"};
    std::printf("%-10s", "pattern");
    for (const Budget& b : budgets) std::printf(" | %-26s", b.name);
    std::printf("\n");
    int failures = 0;
    unsigned copy = 0;
    for (const std::string& pattern : patterns) {
        if (!o.only.empty() && o.only != pattern) continue;
        std::printf("%-10s", pattern.c_str());
        for (const Budget& b : budgets) {
            LoadedLibrary lib(folder, "libqrdshare_bench" + std::to_string(copy++), b.ini);
            if (!lib.ok()) {
                std::fprintf(stderr, "%s\n", lib.error().c_str());
                return 1;
            }
            const double t = Measure(lib, path, pattern);
            if (t < 0) {
                ++failures;
                std::printf(" | %-26s", "failed");
            } else {
                std::printf(" | %7.1f MB/s %5.2f s %4.2fx", mb / t, t, (mb / t) / plainRate);
            }
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    std::printf("\nsmall budget: %llu MB; ratios are to the plain read; 'single' covers the file's bytes too\n",
                static_cast<unsigned long long>(o.smallMb));
    std::remove(path.c_str());
    ::rmdir(folder.c_str());
    return failures == 0 ? 0 : 1;
}
