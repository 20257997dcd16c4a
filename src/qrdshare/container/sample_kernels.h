// The two loops every analog read through the span cache runs over all of
// its samples: splitting interleaved payloads into per-channel columns, and
// turning raw 16-bit samples into the doubles a host receives.
//
// Each has a portable loop, which is the reference, and a vector loop for
// processors that have AVX-512 (chosen once at run time; the build itself
// targets the baseline instruction set).  Both produce the same values bit
// for bit: the conversion is an exact integer subtraction, an exact
// conversion to double and one multiplication in either loop.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qrd {

// out[i] = (raw[i] - zero) x step, the difference formed as a signed 32-bit
// integer.  Uses the vector loop when the processor has one.
void ConvertSamples(const uint16_t* raw, size_t count, uint16_t zero, double step, double* out);
void ConvertSamplesPortable(const uint16_t* raw, size_t count, uint16_t zero, double step, double* out);

// Splits `instants` interleaved instants of `channels` little-endian u16
// values (payload bytes) into columns: value c of instant i goes to
// columns[c * stride + i].  stride must be at least instants.
void SplitChannels(const uint8_t* payload, size_t instants, uint32_t channels, uint16_t* columns, size_t stride);
void SplitChannelsPortable(const uint8_t* payload, size_t instants, uint32_t channels, uint16_t* columns,
                           size_t stride);

// True when the vector loops are in use on this processor.
bool VectorSampleKernels();

}  // namespace qrd
