// The 24-byte format header of a stream block (after "STRMFMT " + u64 length
// L; the L - 24 settings bytes that follow belong to the stream's tools).
// It carries the ADC conversion of the stream's raw samples: a raw value s
// means (s - adcZero) x unitStep volts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "container/le_codec.h"

namespace qrd {

class BinaryFile;

namespace stream_format_layout {
constexpr size_t kFormatVersion = 0;
constexpr size_t kFormatByte = 2;
constexpr size_t kAdcBits = 4;
constexpr size_t kAdcZero = 6;
constexpr size_t kUnitStep = 8;
constexpr size_t kWord16 = 16;
constexpr size_t kWord18 = 18;
constexpr size_t kWord20 = 20;
constexpr size_t kRecordSize = 24;
static_assert(kUnitStep % 8 == 0, "the unit step is an aligned f64");
}  // namespace stream_format_layout

class StreamFormat {
public:
    static constexpr size_t kSize = stream_format_layout::kRecordSize;

    StreamFormat() { Clear(); }
    void Clear() { bytes_.fill(0); }
    uint8_t* bytes() { return bytes_.data(); }
    const uint8_t* bytes() const { return bytes_.data(); }

    // Fields at 0, 2, 16, 18 and 20 are exposed unchanged.
    uint16_t formatVersion() const { return GetU16(bytes(), stream_format_layout::kFormatVersion); }
    void setFormatVersion(uint16_t v) { PutU16(bytes(), stream_format_layout::kFormatVersion, v); }
    uint8_t formatByte() const { return bytes_[stream_format_layout::kFormatByte]; }
    void setFormatByte(uint8_t v) { bytes_[stream_format_layout::kFormatByte] = v; }
    int16_t adcBits() const { return GetI16(bytes(), stream_format_layout::kAdcBits); }
    void setAdcBits(int16_t v) { PutI16(bytes(), stream_format_layout::kAdcBits, v); }
    uint16_t adcZero() const { return GetU16(bytes(), stream_format_layout::kAdcZero); }
    void setAdcZero(uint16_t v) { PutU16(bytes(), stream_format_layout::kAdcZero, v); }
    double unitStep() const { return GetF64(bytes(), stream_format_layout::kUnitStep); }  // volts
    void setUnitStep(double v) { PutF64(bytes(), stream_format_layout::kUnitStep, v); }
    uint16_t word16() const { return GetU16(bytes(), stream_format_layout::kWord16); }
    void setWord16(uint16_t v) { PutU16(bytes(), stream_format_layout::kWord16, v); }
    // In header-version-0 files a value below 1500 (as i16) in the first stream
    // marks a 2.5 kHz recording.
    uint16_t word18() const { return GetU16(bytes(), stream_format_layout::kWord18); }
    void setWord18(uint16_t v) { PutU16(bytes(), stream_format_layout::kWord18, v); }
    uint16_t word20() const { return GetU16(bytes(), stream_format_layout::kWord20); }
    void setWord20(uint16_t v) { PutU16(bytes(), stream_format_layout::kWord20, v); }

private:
    std::array<uint8_t, kSize> bytes_;
};

// Reads the 24-byte record at the current position (the image is cleared
// first); false on a short read.
bool ReadStreamFormat(BinaryFile& file, StreamFormat& format);
void WriteStreamFormat(const StreamFormat& format, LeWriter& out);

}  // namespace qrd
