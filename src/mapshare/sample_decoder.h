// Turning the stored samples of a block into the doubles that hosts receive.
//
// Samples are signed 16-bit little-endian values.  Reading every channel of
// a recording converts every sample of the file, so the conversion is one of
// the costs that decide how fast a recording can be read: x86 processors get
// vector versions, chosen once at run time from what the processor offers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mapshare {

// Decodes count samples from bytes (2 * count bytes, any alignment) into out.
void decodeSamples(const uint8_t* bytes, size_t count, double* out);

// The plain loop, one sample at a time: what every other version must match.
void decodeSamplesPortable(const uint8_t* bytes, size_t count, double* out);

// Name of the version decodeSamples uses ("avx2", "sse2" or "portable").
const char* sampleDecoderName();

}  // namespace mapshare
