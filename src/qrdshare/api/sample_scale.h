// Turning raw 16-bit samples into the values a host receives.
#pragma once

#include <cstddef>
#include <cstdint>

#include "container/sample_kernels.h"

namespace qrd {

class CQRVAStream;

// value = (raw - zero) x step, the difference taken as a signed 32-bit integer.
struct SampleScale {
    uint16_t zero = 0;
    double step = 1.0;

    double operator()(uint16_t raw) const {
        return static_cast<double>(static_cast<int32_t>(raw) - static_cast<int32_t>(zero)) * step;
    }
    // The same values as operator() for each sample, through the vector loop
    // where the processor has one.
    void Convert(const uint16_t* raw, size_t count, double* out) const { ConvertSamples(raw, count, zero, step, out); }
};

// The converter's scale of a stream: its ADC zero and unit step (volts).
SampleScale StreamScale(const CQRVAStream& stream);
// Digital words are reported as they are: zero 0, step 1.
inline SampleScale UnscaledSamples() { return SampleScale{0, 1.0}; }

// Largest number of samples read into a temporary buffer at once.
constexpr uint32_t kSampleReadPiece = 1000000;

}  // namespace qrd
