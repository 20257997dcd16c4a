#include "platform/file_replace.h"

#include <atomic>
#include <cstdio>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
// windows.h names its own ReplaceFile macro; ours is the function below.
#undef ReplaceFile
#else
#include <unistd.h>
#endif

namespace nsplatform {

bool ReplaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
    // rename() on Windows refuses an existing target.
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

std::string UniqueTemporaryName(const std::string& path) {
    static std::atomic<unsigned long> counter{0};
#ifdef _WIN32
    const unsigned long pid = static_cast<unsigned long>(_getpid());
#else
    const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    return path + ".tmp" + std::to_string(pid) + "." + std::to_string(++counter);
}

}  // namespace nsplatform
