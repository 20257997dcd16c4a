#include "platform/native_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nsplatform {

namespace {
int Fd(intptr_t handle) { return static_cast<int>(handle); }
}  // namespace

NativeFile::~NativeFile() { Close(); }

bool NativeFile::OpenRead(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // A folder or a device opens fine for reading here, but is no file.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

bool NativeFile::Create(const std::string& path) {
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    handle_ = fd;
    return true;
}

bool NativeFile::Close() {
    if (handle_ == kNoHandle) return true;
    const bool ok = ::close(Fd(handle_)) == 0;
    handle_ = kNoHandle;
    return ok;
}

bool NativeFile::QuerySize(uint64_t& size) const {
    struct stat info {};
    if (handle_ == kNoHandle || ::fstat(Fd(handle_), &info) != 0 || info.st_size < 0) return false;
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

int64_t NativeFile::ReadAt(uint64_t offset, void* buffer, size_t count) const {
    if (handle_ == kNoHandle || offset > static_cast<uint64_t>(INT64_MAX)) return -1;
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const uint64_t at = offset + done;
        if (at > static_cast<uint64_t>(INT64_MAX)) break;
        const ssize_t got = ::pread(Fd(handle_), out + done, count - done, static_cast<off_t>(at));
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

bool NativeFile::WriteAt(uint64_t offset, const void* data, size_t count) {
    if (handle_ == kNoHandle) return false;
    const auto* in = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < count) {
        const uint64_t at = offset + done;
        if (at > static_cast<uint64_t>(INT64_MAX)) return false;
        const ssize_t put = ::pwrite(Fd(handle_), in + done, count - done, static_cast<off_t>(at));
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (put == 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

}  // namespace nsplatform
