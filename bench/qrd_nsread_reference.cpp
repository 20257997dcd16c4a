// The C++ side of bench/nsread_bench.py: the same Neuroshare calls that
// nsread makes for its read patterns, made directly from C++ through dlopen,
// so the Python figures can be compared with them in the same run.
//
//   qrd_nsread_reference --lib LIB --pattern window|channels|whole REC
//       opens REC with LIB, reads every analog entity and closes it:
//         window    every channel for one 1-s window into one buffer laid out
//                   channel after channel, then the next window;
//         channels  each channel whole in one call into one reused buffer;
//         whole     each channel whole in one call into its column of one
//                   (samples x channels) array, as a numpy array in Fortran
//                   order, allocated without being touched first;
//       buffers are allocated as numpy allocates arrays (malloc, and
//       transparent huge pages asked for with madvise from 4 MiB on), so both
//       sides pay the same for memory touched for the first time,
//       and prints "<seconds> <peak RSS in KiB> <checksum>".
#include <dlfcn.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "nsapi/nsapi.h"
#include "nsapi/nsapi_loader.h"

namespace {

constexpr uint32_t kWindow = 25000;       // one second

struct FreeDeleter {
    void operator()(double* p) const { std::free(p); }
};
using Buffer = std::unique_ptr<double[], FreeDeleter>;

// n doubles, untouched; large buffers ask for huge pages like numpy's arrays.
Buffer Fresh(size_t n) {
    const size_t bytes = n * sizeof(double);
    auto* p = static_cast<double*>(std::malloc(bytes));
    if (p == nullptr) {
        std::fprintf(stderr, "out of memory\n");
        std::exit(1);
    }
    if (bytes >= (size_t(4) << 20)) {
        const uintptr_t page = 4096;
        const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + page - 1) & ~(page - 1);
        const uintptr_t end = reinterpret_cast<uintptr_t>(p) + bytes;
        if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
    return Buffer(p);
}

int Read(const std::string& libPath, const std::string& pattern, const std::string& path) {
    void* handle = dlopen(libPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "cannot load %s: %s\n", libPath.c_str(), dlerror());
        return 1;
    }
    nsapi::Functions ns;
    if (const char* missing = nsapi::ResolveFunctions(handle, ns)) {
        std::fprintf(stderr, "%s does not export %s\n", libPath.c_str(), missing);
        return 1;
    }
    const auto t0 = std::chrono::steady_clock::now();
    uint32_t file = 0;
    if (ns.OpenFile(path.c_str(), &file) != ns_OK) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 1;
    }
    ns_FILEINFO info;
    ns.GetFileInfo(file, &info, sizeof info);
    std::vector<uint32_t> entities;
    uint32_t items = 0;
    for (uint32_t e = 0; e < info.dwEntityCount; ++e) {
        ns_ENTITYINFO ei;
        ns.GetEntityInfo(file, e, &ei, sizeof ei);
        if (ei.dwEntityType != ns_ENTITY_ANALOG) continue;
        ns_ANALOGINFO ai;
        ns.GetAnalogInfo(file, e, &ai, sizeof ai);
        entities.push_back(e);
        items = ei.dwItemCount;
    }
    const size_t nch = entities.size();
    double checksum = 0;
    bool good = true;
    uint32_t cont = 0;
    if (pattern == "window") {
        Buffer out = Fresh(size_t(kWindow) * nch);
        for (uint32_t first = 0; first < items && good; first += kWindow) {
            const uint32_t n = std::min(kWindow, items - first);
            for (size_t j = 0; j < nch && good; ++j)
                good = ns.GetAnalogData(file, entities[j], first, n, &cont, out.get() + j * n) == ns_OK;
            checksum += out[0] + out[size_t(n) * nch - 1];
        }
    } else if (pattern == "channels") {
        Buffer out = Fresh(items);
        for (size_t j = 0; j < nch && good; ++j) {
            good = ns.GetAnalogData(file, entities[j], 0, items, &cont, out.get()) == ns_OK;
            checksum += out[0] + out[items - 1];
        }
    } else if (pattern == "whole") {
        Buffer out = Fresh(size_t(items) * nch);
        for (size_t j = 0; j < nch && good; ++j)
            good = ns.GetAnalogData(file, entities[j], 0, items, &cont, out.get() + j * size_t(items)) == ns_OK;
        for (size_t j = 0; j < nch; ++j) checksum += out[j * size_t(items)] + out[(j + 1) * size_t(items) - 1];
    } else {
        std::fprintf(stderr, "unknown pattern %s\n", pattern.c_str());
        return 2;
    }
    ns.CloseFile(file);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!good) {
        std::fprintf(stderr, "ns_GetAnalogData failed\n");
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.6f %ld %.17g\n", seconds, usage.ru_maxrss, checksum);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string lib, pattern, path;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--lib" && i + 1 < argc) {
            lib = argv[++i];
        } else if (a == "--pattern" && i + 1 < argc) {
            pattern = argv[++i];
        } else if (path.empty() && !a.empty() && a[0] != '-') {
            path = a;
        } else {
            path.clear();
            break;
        }
    }
    if (!lib.empty() && !pattern.empty() && !path.empty()) return Read(lib, pattern, path);
    std::fprintf(stderr,
                 "usage: qrd_nsread_reference --lib LIB --pattern window|channels|whole REC\n");
    return 2;
}
