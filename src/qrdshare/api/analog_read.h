// Reading a window of an analog entity's samples.
#pragma once

#include <cstdint>

namespace qrd {

class CQRVAStreamFile;
struct EntityRecord;

// Reads samples [start, start + count) of an analog entity and writes them,
// converted, to data (when not null; it holds count values).  contCount
// (when not null) receives how many of them follow each other without a
// break in time: all of them in a continuous recording, in a sweep recording
// those up to the end of the sweep that holds the first.
//
// False, with nothing written, when the window does not lie within the
// entity's items (checked without wrap-around), when the entity's sample
// column is not a channel of its stream, or when the stream is missing.
// Samples the file could not deliver (a damaged or cut recording) read as 0.
bool ReadAnalogWindow(CQRVAStreamFile& file, const EntityRecord& entity, uint32_t start, uint32_t count,
                      uint32_t* contCount, double* data);

}  // namespace qrd
