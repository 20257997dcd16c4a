// The entity list as a scientist reads it: per entity its index, type, item
// count and label, then the one info record that fits its type (event kind
// and data length, analog rate and range, segment lengths and source,
// neural source).
#pragma once

#include <cstdint>
#include <cstdio>

namespace nsdump {

class NsLibrary;

// Prints entities 0..count-1.  Returns false when any call failed (the
// failure and the library's error text are shown in the list).
bool PrintEntityDetails(std::FILE* out, NsLibrary& lib, uint32_t hFile, uint32_t count);

}  // namespace nsdump
