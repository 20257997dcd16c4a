// Shared parts of the MAP benchmarks: writing continuous recordings with the
// test writer, timing a plain read() of a file, and loading the built
// libmapshare.so the way a host does (dlopen and the seventeen names).
#pragma once

#include "map_writer.h"

#include <nsapi/nsapi.h>
#include <nsapi/nsapi_loader.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace mapbench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// The value written for sample `tick` of channel `channel`, so readers can
// check what they got without keeping the file's contents.
inline int16_t sampleValue(uint32_t channel, uint64_t tick) {
    return static_cast<int16_t>((tick * 7 + channel * 1031) & 0xFFFF);
}

// Continuous channels 1 .. channels, every one in '5' blocks of blockSamples
// samples, the blocks of one time slice written channel after channel.
inline bool writeContinuousRecording(const std::string& path, uint32_t channels, float rateKHz,
                                     uint32_t blockSamples, uint64_t blocksPerChannel) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    maptest::MapWriter w;
    w.header60();
    for (uint32_t c = 1; c <= channels; ++c)
        w.continuous(static_cast<uint16_t>(c), rateKHz, "Ch " + std::to_string(c));
    std::vector<int16_t> samples(blockSamples);
    bool ok = true;
    for (uint64_t b = 0; b < blocksPerChannel && ok; ++b) {
        const uint64_t tick = b * blockSamples;
        for (uint32_t c = 1; c <= channels; ++c) {
            for (uint32_t i = 0; i < blockSamples; ++i) samples[i] = sampleValue(c, tick + i);
            w.samples(static_cast<uint16_t>(c), static_cast<uint32_t>(tick), samples);
        }
        if (w.bytes().size() > (8u << 20)) {
            const std::vector<uint8_t> bytes = w.take();
            ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        }
    }
    const std::vector<uint8_t> bytes = w.take();
    ok = ok && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// One plain sequential read() of the whole file through a 1 MiB buffer:
// seconds taken, and the file's size in *total.  -1 when it cannot be read.
inline double plainReadSeconds(const std::string& path, uint64_t* total) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return -1;
    std::vector<char> buffer(1 << 20);
    const auto start = Clock::now();
    *total = 0;
    ssize_t got;
    while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) *total += static_cast<uint64_t>(got);
    const double elapsed = secondsSince(start);
    ::close(fd);
    return got < 0 ? -1 : elapsed;
}

// The best of `runs` plain reads, after one read that brings the file into
// the page cache.
inline double bestPlainReadSeconds(const std::string& path, uint64_t* total, int runs = 5) {
    plainReadSeconds(path, total);
    double best = 1e30;
    for (int i = 0; i < runs; ++i) best = std::min(best, plainReadSeconds(path, total));
    return best;
}

// The library the benchmarks load: the built libmapshare.so unless a
// benchmark was told another one (to compare builds in one run).
inline std::string& libraryPath() {
    static std::string path = MAPSHARE_LIBRARY_PATH;
    return path;
}

// The library, loaded at the first call.  Exits the program when it cannot
// be loaded or lacks a function.
inline const nsapi::Functions& mapshare() {
    static const nsapi::Functions functions = [] {
        nsapi::Functions f{};
        void* library = dlopen(libraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            std::fprintf(stderr, "cannot load %s: %s\n", libraryPath().c_str(), dlerror());
            std::exit(1);
        }
        if (const char* missing = nsapi::ResolveFunctions(library, f)) {
            std::fprintf(stderr, "%s lacks %s\n", libraryPath().c_str(), missing);
            std::exit(1);
        }
        return f;
    }();
    return functions;
}

}  // namespace mapbench
