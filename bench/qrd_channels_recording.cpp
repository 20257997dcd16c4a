// Writes the recording that qrd_channels_bench reads (64 electrode channels
// and one digital channel at 25 kHz in 128 ms chunks, with an embedded index;
// about 1 GB unless --size-mb says otherwise) and nothing else, for
// benchmarks outside C++ (bench/nsread_*_bench.py).
//
// Usage: qrd_channels_recording [--size-mb N] OUT.qrd
#include <cstdio>
#include <cstdlib>
#include <string>

#include "qrd_bench_recordings.h"

int main(int argc, char** argv) {
    uint64_t sizeMb = 1024;
    std::string path;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--size-mb" && i + 1 < argc) {
            sizeMb = std::strtoull(argv[++i], nullptr, 10);
        } else if (path.empty() && !a.empty() && a[0] != '-') {
            path = a;
        } else {
            path.clear();
            break;
        }
    }
    if (path.empty() || sizeMb == 0) {
        std::fprintf(stderr, "usage: qrd_channels_recording [--size-mb N] OUT.qrd\n");
        return 2;
    }
    uint64_t size = 0;
    if (!qrd_bench::channels_recording::Write(path, qrd_bench::channels_recording::SecondsForMegabytes(sizeMb), &size))
        return 1;
    std::printf("%s: %llu bytes\n", path.c_str(), static_cast<unsigned long long>(size));
    return 0;
}
