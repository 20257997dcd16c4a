// Vocabulary shared by the tool settings: unit kinds and their texts, decimal
// prefixes, filter and pass type names, and the one-digit rounding used for
// display ranges.  Texts are 8-bit: the micro prefix is the single byte 0xB5.
#pragma once

#include <cstdint>
#include <string>

#include "contents/parameter_descriptor.h"

namespace qrd {

// Unit kinds: 0 volts, 1-3 seconds, 4 volt-seconds, 5 hertz, 6 plain count,
// 7 volts per second, 8 dimensionless marker.  Others have no unit.
const char* GetUnitText(int32_t unitKind);
const char* GetUnitText(const ParameterDescriptor& descriptor);
int32_t GetDefaultExponent(int32_t unitKind);
// "n", "\xB5", "m", "", "k", "M", "G" for -9 ... 9 in steps of 3; "" otherwise.
const char* GetPrefix(int32_t exponent);
std::string GetPrefixedUnitText(const ParameterDescriptor& descriptor, int32_t exponent);

constexpr int kFilterTypeCount = 9;
constexpr int kSavitzkyGolayIndex = 8;
// Index order of the filter types; null for an index outside the table.
const char* GetFilterTypeName(int index);
// Index of a filter type name in the table, -1 when it is not there.
int FindFilterType(const std::string& name);

// "Undefined", "Low Pass", "High Pass", "Band Pass", "Band Stop", else "Unknown".
const char* GetPassTypeName(int32_t passType);

// Rounds away from zero to one significant decimal digit: 0.23 -> 0.3,
// -0.23 -> -0.3, 47 -> 50.  Infinite and NaN arguments come back unchanged;
// a result beyond the float range becomes infinity of the same sign.
float RoundToOneDigit(float x);

// Narrowing that never leaves the float range by undefined conversion:
// values beyond it become infinities, NaN stays NaN.
float NarrowToFloat(double value);
// Truncation toward zero, saturating at the int32 range; NaN gives 0.
int32_t TruncateToInt32(double value);

}  // namespace qrd
