#include "last_error.h"

#include <cstring>

namespace mapshare {
namespace {
char g_lastError[kLastErrorSize] = {};
}

void clearLastError() { g_lastError[0] = '\0'; }

void overwriteLastError(const char* message) {
    std::strncpy(g_lastError, message, kLastErrorSize - 1);
    g_lastError[kLastErrorSize - 1] = '\0';
}

void setLastError(const char* message) {
    if (g_lastError[0] == '\0') overwriteLastError(message);
}

const char* lastErrorText() { return g_lastError; }

}  // namespace mapshare
