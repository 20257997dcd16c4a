// Reading every channel of a MAP recording through the exports of the built
// libmapshare.so, as hosts do, measured against a plain read() of the same
// file in the same process.
//
// The recording: 16 continuous channels at 22 kHz in '5' blocks of 10 ms
// (about 216 MB, 300 s).  Measured, each on a freshly opened file:
//   - ns_OpenFile (parsing),
//   - every channel for one 1-s window, then the next window,
//   - one channel after another, each in 1-s windows,
//   - one ns_GetAnalogData call per channel (the whole channel),
//   - a single channel alone in 1-s windows.
// Speeds are file bytes divided by the time taken.  The reads run three
// times: with the default cache budget, with a budget smaller than the file
// and with the cache off (MAPSHARE_CACHE_MB, read when the library is first
// used).  Every measurement runs in a process of its own and the best of
// three is shown.  Every call's count and first and last values are checked
// against what was written.
//
// Usage: map_channels_bench [--size-mb N] [--channels N] [--small-budget-mb N]
//                           [--runs N] [--dir D] [--keep] [--lib libmapshare.so]
#include "map_bench_support.h"

#include <cstring>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using mapbench::Clock;
using mapbench::secondsSince;

struct Options {
    double sizeMb = 216.0;
    uint32_t channels = 16;
    uint32_t smallBudgetMb = 64;
    int runs = 3;
    std::string dir = "/tmp";
    bool keep = false;
};

constexpr float kRateKHz = 22.0f;
constexpr uint32_t kBlockSamples = 220;      // 10 ms
constexpr uint32_t kWindow = 22000;          // 1 s

enum class Order { Windows, ChannelAfterChannel, OneCallPerChannel, SingleChannel };

const char* describe(Order order) {
    switch (order) {
        case Order::Windows: return "every channel per 1-s window";
        case Order::ChannelAfterChannel: return "channel after channel, 1-s windows";
        case Order::OneCallPerChannel: return "one call per channel";
        case Order::SingleChannel: return "a single channel alone, 1-s windows";
    }
    return "";
}

class Reader {
public:
    explicit Reader(const nsapi::Functions& ns) : ns_(ns) {}

    // Opens, reads in the given order, closes; seconds of the reading, or -1
    // on a failed call or a wrong value.
    double run(const std::string& path, Order order) {
        uint32_t file = 0;
        if (ns_.OpenFile(path.c_str(), &file) != ns_OK) return fail("ns_OpenFile");
        ns_FILEINFO info{};
        ns_.GetFileInfo(file, &info, sizeof info);
        std::vector<uint32_t> items(info.dwEntityCount);
        for (uint32_t e = 0; e < info.dwEntityCount; ++e) {
            ns_ENTITYINFO entity{};
            ns_.GetEntityInfo(file, e, &entity, sizeof entity);
            items[e] = entity.dwItemCount;
        }
        const size_t largest = items.empty() ? 0 : *std::max_element(items.begin(), items.end());
        const size_t wanted = order == Order::OneCallPerChannel ? largest : kWindow;
        if (buffer_.size() < wanted) buffer_.assign(wanted, 1.0);   // touched before timing

        const auto channels = static_cast<uint32_t>(items.size());
        bool ok = true;
        const auto start = Clock::now();
        switch (order) {
            case Order::Windows:
                for (uint32_t first = 0; ok && first < largest; first += kWindow)
                    for (uint32_t e = 0; ok && e < channels; ++e) ok = window(file, e, first, items[e]);
                break;
            case Order::ChannelAfterChannel:
                for (uint32_t e = 0; ok && e < channels; ++e)
                    for (uint32_t first = 0; ok && first < items[e]; first += kWindow) ok = window(file, e, first, items[e]);
                break;
            case Order::OneCallPerChannel:
                for (uint32_t e = 0; ok && e < channels; ++e) ok = read(file, e, 0, items[e]);
                break;
            case Order::SingleChannel:
                for (uint32_t first = 0; ok && !items.empty() && first < items[0]; first += kWindow)
                    ok = window(file, 0, first, items[0]);
                break;
        }
        const double elapsed = secondsSince(start);
        ns_.CloseFile(file);
        return ok ? elapsed : -1;
    }

private:
    bool window(uint32_t file, uint32_t entity, uint32_t first, uint32_t items) {
        if (first >= items) return true;
        return read(file, entity, first, std::min(kWindow, items - first));
    }

    bool read(uint32_t file, uint32_t entity, uint32_t first, uint32_t count) {
        uint32_t got = 0;
        if (ns_.GetAnalogData(file, entity, first, count, &got, buffer_.data()) != ns_OK || got != count) {
            fail("ns_GetAnalogData");
            return false;
        }
        const uint32_t channel = entity + 1;
        if (buffer_[0] != mapbench::sampleValue(channel, first) ||
            buffer_[count - 1] != mapbench::sampleValue(channel, uint64_t{first} + count - 1)) {
            std::fprintf(stderr, "wrong values in entity %u at %u\n", entity, first);
            return false;
        }
        return true;
    }

    double fail(const char* call) {
        char text[256] = "";
        ns_.GetLastErrorMsg(text, sizeof text);
        std::fprintf(stderr, "%s failed: %s\n", call, text);
        return -1;
    }

    const nsapi::Functions& ns_;
    std::vector<double> buffer_;
};

double openSeconds(const nsapi::Functions& ns, const std::string& path) {
    uint32_t file = 0;
    const auto start = Clock::now();
    if (ns.OpenFile(path.c_str(), &file) != ns_OK) {
        std::fprintf(stderr, "ns_OpenFile failed\n");
        return -1;
    }
    const double elapsed = secondsSince(start);
    ns.CloseFile(file);
    return elapsed;
}

// One measurement (opening when order is null) in a process of its own with
// MAPSHARE_CACHE_MB set to budget, or unset when budget is null.  The budget
// is read once per process, and a fresh process holds no memory that an
// earlier run gave back, as a host opening a recording does not.  Seconds,
// or -1.
double measureOnce(const std::string& path, const char* budget, const Order* order) {
    int channel[2];
    if (pipe(channel) != 0) return -1;
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        ::close(channel[0]);
        if (budget) {
            setenv("MAPSHARE_CACHE_MB", budget, 1);
        } else {
            unsetenv("MAPSHARE_CACHE_MB");
        }
        const nsapi::Functions& ns = mapbench::mapshare();
        Reader reader(ns);
        const double taken = order ? reader.run(path, *order) : openSeconds(ns, path);
        const bool sent = ::write(channel[1], &taken, sizeof taken) == static_cast<ssize_t>(sizeof taken);
        _exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    double taken = -1;
    if (::read(channel[0], &taken, sizeof taken) != static_cast<ssize_t>(sizeof taken)) taken = -1;
    ::close(channel[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return taken;
}

// The rows of one budget setting, each the best of options.runs processes,
// against the best plain read of the file just before.
bool measureSetting(const std::string& path, const Options& options, const char* budget, bool withOpen) {
    uint64_t bytes = 0;
    const double plain = mapbench::bestPlainReadSeconds(path, &bytes);
    if (plain <= 0) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    const double mb = static_cast<double>(bytes) / 1e6;
    auto row = [&](const char* what, double secondsTaken) {
        std::printf("  %-40s %8.1f ms %8.0f MB/s  %.3f of read()\n", what, secondsTaken * 1e3, mb / secondsTaken,
                    plain / secondsTaken);
        std::fflush(stdout);
    };
    auto best = [&](const Order* order) {
        double fastest = 1e30;
        for (int r = 0; r < options.runs; ++r) {
            const double taken = measureOnce(path, budget, order);
            if (taken < 0) return -1.0;
            fastest = std::min(fastest, taken);
        }
        return fastest;
    };
    row("plain read()", plain);
    if (withOpen) {
        const double open = best(nullptr);
        if (open < 0) return false;
        row("ns_OpenFile (parse)", open);
    }
    for (Order order : {Order::Windows, Order::ChannelAfterChannel, Order::OneCallPerChannel, Order::SingleChannel}) {
        const double taken = best(&order);
        if (taken < 0) return false;
        row(describe(order), taken);
    }
    return true;
}

bool parse(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--size-mb" && hasValue) {
            options->sizeMb = std::atof(argv[++i]);
        } else if (arg == "--channels" && hasValue) {
            options->channels = static_cast<uint32_t>(std::atoi(argv[++i]));
        } else if (arg == "--small-budget-mb" && hasValue) {
            options->smallBudgetMb = static_cast<uint32_t>(std::atoi(argv[++i]));
        } else if (arg == "--runs" && hasValue) {
            options->runs = std::atoi(argv[++i]);
        } else if (arg == "--dir" && hasValue) {
            options->dir = argv[++i];
        } else if (arg == "--lib" && hasValue) {
            mapbench::libraryPath() = argv[++i];
        } else if (arg == "--keep") {
            options->keep = true;
        } else {
            return false;
        }
    }
    return options->sizeMb > 0 && options->channels > 0 && options->channels < 1000 && options->runs > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: map_channels_bench [--size-mb N] [--channels N] [--small-budget-mb N] [--runs N] "
                     "[--dir D] [--keep] [--lib libmapshare.so]\n");
        return 2;
    }
    const uint64_t blockBytes = 10 + 2 * kBlockSamples;
    const auto blocksPerChannel = static_cast<uint64_t>(options.sizeMb * 1e6 / (blockBytes * options.channels));
    const std::string path = options.dir + "/map_channels_bench_" + std::to_string(getpid()) + ".map";
    std::printf("writing %u channels x %llu blocks of %u samples at %.0f kHz to %s ...\n", options.channels,
                static_cast<unsigned long long>(blocksPerChannel), kBlockSamples, static_cast<double>(kRateKHz),
                path.c_str());
    if (!mapbench::writeContinuousRecording(path, options.channels, kRateKHz, kBlockSamples, blocksPerChannel)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::remove(path.c_str());
        return 1;
    }

    const std::string small = std::to_string(options.smallBudgetMb);
    struct Setting {
        const char* title;
        const char* budget;
        bool withOpen;
    };
    const Setting settings[] = {
        {"default cache budget", nullptr, true},
        {"cache budget smaller than the file", small.c_str(), false},
        {"cache off", "0", false},
    };
    bool ok = true;
    for (const Setting& s : settings) {
        if (s.budget) {
            std::printf("%s (MAPSHARE_CACHE_MB=%s):\n", s.title, s.budget);
        } else {
            std::printf("%s:\n", s.title);
        }
        ok = measureSetting(path, options, s.budget, s.withOpen) && ok;
    }
    if (!options.keep) std::remove(path.c_str());
    return ok ? 0 : 1;
}
