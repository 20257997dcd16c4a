// The last-error text.  Every export except ns_GetLastErrorMsg empties it on
// entry; inner steps then write with set(), which keeps the first (innermost)
// message of a call, and a few outer checks use overwrite().
//
// Each thread has its own text, as each has its own errno: ns_GetLastErrorMsg
// reports what the calling thread's own calls left there, whatever other
// threads do meanwhile.  A host that calls from one thread sees one text.
#pragma once

#include <cstddef>

namespace mapshare {

constexpr size_t kLastErrorSize = 256;

void clearLastError();
// Writes the message only while the text is still empty.
void setLastError(const char* message);
// Writes the message unconditionally.
void overwriteLastError(const char* message);
// The calling thread's text.
const char* lastErrorText();

}  // namespace mapshare
