// Reading a MAP recording once at open: channels from their definition
// records, a block descriptor for every data record, the file information.
#pragma once

#include <cstdint>

namespace mapshare {

class MapFile;

// Walks every record of the opened file.  On failure the message is in the
// last-error text and the caller discards the file.
bool parseMapFile(MapFile& file);

// A real number of ticks as a whole tick count: a ceiling with a tolerance of
// 1e-6 for x >= 0 (2.3 gives 3, 2.0000005 gives 2), truncation for x < 0.
// Values outside the 32-bit range saturate and NaN gives 0, so no input is
// undefined behaviour.
int32_t tickRound(double x);

}  // namespace mapshare
