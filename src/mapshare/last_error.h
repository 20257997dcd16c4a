// The library-wide last-error text.  Every export except ns_GetLastErrorMsg
// empties it on entry; inner steps then write with set(), which keeps the
// first (innermost) message of a call, and a few outer checks use overwrite().
#pragma once

#include <cstddef>

namespace mapshare {

constexpr size_t kLastErrorSize = 256;

void clearLastError();
// Writes the message only while the text is still empty.
void setLastError(const char* message);
// Writes the message unconditionally.
void overwriteLastError(const char* message);
const char* lastErrorText();

}  // namespace mapshare
