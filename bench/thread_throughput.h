// Throughput of a Neuroshare library when host threads call it at once,
// through the exports of the shared library loaded with dlopen, as a host
// loads it.  Each thread opens its own file (or all share one open file),
// runs a fixed number of passes of reads over it and closes it; the time
// counted is from the moment all threads start until the last has finished.
// Every figure is the best of a few runs, so that other work on the machine
// weighs less.
//
// Cases: one thread on one file; two threads on two files; two and four
// threads sharing one open file.  Every thread does the same work, so n
// threads that run fully in parallel take as long as one thread does.
#pragma once

#include <nsapi/nsapi.h>
#include <nsapi/nsapi_loader.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace threadbench {

using Clock = std::chrono::steady_clock;

// One pass of reads over an open file; false when a call failed.
using Pass = std::function<bool(const nsapi::Functions&, uint32_t file)>;

inline bool Load(const std::string& path, nsapi::Functions& ns) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), dlerror());
        return false;
    }
    if (const char* missing = nsapi::ResolveFunctions(handle, ns)) {
        std::fprintf(stderr, "%s lacks %s\n", path.c_str(), missing);
        return false;
    }
    return true;
}

// Seconds from the moment n threads start body(t) together until the last
// has finished; negative when a body failed.
inline double TimeParallel(size_t n, const std::function<bool(size_t)>& body) {
    std::mutex mutex;
    std::condition_variable cv;
    size_t ready = 0;
    bool go = false;
    std::atomic<bool> failed{false};
    std::vector<std::thread> threads;
    for (size_t t = 0; t < n; ++t)
        threads.emplace_back([&, t] {
            {
                std::unique_lock<std::mutex> lock(mutex);
                ++ready;
                cv.notify_all();
                cv.wait(lock, [&] { return go; });
            }
            if (!body(t)) failed = true;
        });
    Clock::time_point start;
    {
        std::unique_lock<std::mutex> lock(mutex);
        cv.wait(lock, [&] { return ready == n; });
        start = Clock::now();
        go = true;
        cv.notify_all();
    }
    for (std::thread& thread : threads) thread.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    return failed ? -1 : elapsed;
}

// Seconds for one thread per entry of paths, each running `passes` passes
// over its file opened through the library (or, with shareOneOpen, all over
// one open of paths[0]); negative when a call failed.
inline double TimeThreads(const nsapi::Functions& ns, const std::vector<std::string>& paths, int passes,
                          const Pass& pass, bool shareOneOpen = false) {
    std::vector<uint32_t> files(shareOneOpen ? 1 : paths.size(), 0);
    for (size_t t = 0; t < files.size(); ++t)
        if (ns.OpenFile(paths[t].c_str(), &files[t]) != ns_OK) return -1;
    const double elapsed = TimeParallel(paths.size(), [&](size_t t) {
        for (int p = 0; p < passes; ++p)
            if (!pass(ns, files[shareOneOpen ? 0 : t])) return false;
        return true;
    });
    for (uint32_t file : files) ns.CloseFile(file);
    return elapsed;
}

// The same files read whole with read(), `passes` times per thread: what the
// machine itself gives two threads at the moment of measuring.
inline double TimePlainReads(const std::vector<std::string>& paths, int passes) {
    return TimeParallel(paths.size(), [&](size_t t) {
        std::vector<char> buffer(1 << 20);
        for (int p = 0; p < passes; ++p) {
            const int fd = ::open(paths[t].c_str(), O_RDONLY);
            if (fd < 0) return false;
            while (::read(fd, buffer.data(), buffer.size()) > 0) {
            }
            ::close(fd);
        }
        return true;
    });
}

inline double Best(int runs, const std::function<double()>& measure) {
    double best = -1;
    for (int r = 0; r < runs; ++r) {
        const double s = measure();
        if (s < 0) return -1;
        best = best < 0 ? s : std::min(best, s);
    }
    return best;
}

// Runs the cases and prints them; returns 0 when every target is reached, 1
// when one is not, 2 when a call failed.  Targets: two threads reach at least
// kTarget times the throughput of one, on two files and on one shared file;
// four threads on one file are no slower than two (within kNoise).
// workPerPass is counted in `unit` (megabytes of samples, thousands of calls).
inline int Report(const char* what, const nsapi::Functions& ns, const std::string& fileA, const std::string& fileB,
                  int passes, double workPerPass, const char* unit, const Pass& pass) {
    constexpr int kRuns = 5;
    constexpr double kTarget = 1.6;
    constexpr double kNoise = 0.05;
    const double one = Best(kRuns, [&] { return TimeThreads(ns, {fileA}, passes, pass); });
    const double two = Best(kRuns, [&] { return TimeThreads(ns, {fileA, fileB}, passes, pass); });
    const double same = Best(kRuns, [&] { return TimeThreads(ns, {fileA, fileA}, passes, pass, true); });
    const double four =
        Best(kRuns, [&] { return TimeThreads(ns, {fileA, fileA, fileA, fileA}, passes, pass, true); });
    const int readPasses = 20;
    const double readOne = Best(kRuns, [&] { return TimePlainReads({fileA}, readPasses); });
    const double readTwo = Best(kRuns, [&] { return TimePlainReads({fileA, fileB}, readPasses); });
    if (one < 0 || two < 0 || same < 0 || four < 0 || readOne < 0 || readTwo < 0) {
        std::fprintf(stderr, "%s: a call failed\n", what);
        return 2;
    }
    const double work = passes * workPerPass;
    const double twoFiles = 2 * one / two, oneFile = 2 * one / same, fourOnOne = 4 * one / four;
    std::printf("%s: one thread on one file        %.3f s  %8.1f %s/s\n", what, one, work / one, unit);
    std::printf("%s: two threads on two files      %.3f s  %8.1f %s/s  (%.2fx one thread; target %.1fx)\n", what,
                two, 2 * work / two, unit, twoFiles, kTarget);
    std::printf("%s: two threads on one open file  %.3f s  %8.1f %s/s  (%.2fx one thread; target %.1fx)\n", what,
                same, 2 * work / same, unit, oneFile, kTarget);
    std::printf("%s: four threads on one open file %.3f s  %8.1f %s/s  (%.2fx one thread; target: not below two)\n",
                what, four, 4 * work / four, unit, fourOnOne);
    std::printf("%s: plain read() of the same files, two threads on two files %.2fx one thread\n", what,
                2 * readOne / readTwo);
    const bool reached = twoFiles >= kTarget && oneFile >= kTarget && fourOnOne >= oneFile * (1 - kNoise);
    return reached ? 0 : 1;
}

}  // namespace threadbench
