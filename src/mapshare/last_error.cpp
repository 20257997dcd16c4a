#include "last_error.h"

#include <cstring>

namespace mapshare {
namespace {
// A plain array needs no constructor or destructor per thread, so threads of
// the host that never call in cost nothing.
thread_local char t_lastError[kLastErrorSize] = {};
}  // namespace

void clearLastError() { t_lastError[0] = '\0'; }

void overwriteLastError(const char* message) {
    std::strncpy(t_lastError, message, kLastErrorSize - 1);
    t_lastError[kLastErrorSize - 1] = '\0';
}

void setLastError(const char* message) {
    if (t_lastError[0] == '\0') overwriteLastError(message);
}

const char* lastErrorText() { return t_lastError; }

}  // namespace mapshare
