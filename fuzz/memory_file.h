// One fuzz input as a file that the readers open by path, kept in memory: a
// memfd named /proc/self/fd/<n>.  Handing over an input is an ftruncate and a
// pwrite, with no file system work and nothing left behind when the fuzzer
// stops.  memfd_create is Linux only, as the fuzz targets are.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzinput {

class MemoryFile {
public:
    MemoryFile() {
        fd_ = ::memfd_create("fuzz-input", MFD_CLOEXEC);
        if (fd_ < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // A path that opens the file anew (with a position of its own).
    const std::string& path() const { return path_; }

    // Makes the file hold exactly these bytes.
    bool assign(const uint8_t* data, size_t size) {
        if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) return false;
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

private:
    int fd_ = -1;
    std::string path_;
};

// The one input file of a fuzzing process.
inline MemoryFile& InputFile() {
    static MemoryFile file;
    return file;
}

}  // namespace fuzzinput
