#include "random_access_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mapshare {

RandomAccessFile::~RandomAccessFile() { close(); }

bool RandomAccessFile::open(const std::string& path) {
    close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    // A directory or a device opens on POSIX systems but is not a recording.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = static_cast<uint64_t>(info.st_size);
    return true;
}

void RandomAccessFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

int64_t RandomAccessFile::readAt(uint64_t position, void* buffer, size_t count) const {
    if (fd_ < 0) return -1;
    size_t done = 0;
    auto* out = static_cast<unsigned char*>(buffer);
    while (done < count) {
        const ssize_t got = ::pread(fd_, out + done, count - done, static_cast<off_t>(position + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

}  // namespace mapshare
