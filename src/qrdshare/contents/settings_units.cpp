#include "contents/settings_units.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace qrd {

namespace {

struct UnitKindRow {
    const char* text;
    int32_t defaultExponent;
};

constexpr UnitKindRow kUnitKinds[] = {
    {"V", -6}, {"s", -9}, {"s", -9}, {"s", -9}, {"Vs", -15},
    {"Hz", 0}, {"", 0},   {"V/s", -3}, {"", -6},
};
constexpr int32_t kUnitKindCount = sizeof kUnitKinds / sizeof kUnitKinds[0];

constexpr const char* kFilterTypes[kFilterTypeCount] = {
    "Bessel 2nd order",
    "Bessel 4th order",
    "Butterworth 2nd order",
    "Chebyshev 2nd order 0.5 dB",
    "Chebyshev 2nd order 1.0 dB",
    "Chebyshev 2nd order 2.0 dB",
    "Chebyshev 2nd order 3.0 dB",
    "Bandstop Resonator",
    "Savitzky-Golay",
};

constexpr const char* kPassTypes[] = {"Undefined", "Low Pass", "High Pass", "Band Pass", "Band Stop"};

// 10 to the power e as a double, by repeated squaring of the base.
double PowerOfTen(int e) {
    double base = 10.0;
    double result = 1.0;
    unsigned n = static_cast<unsigned>(e < 0 ? -e : e);
    while (n) {
        if (n & 1u) result *= base;
        base *= base;
        n >>= 1;
    }
    return e < 0 ? 1.0 / result : result;
}

}  // namespace

const char* GetUnitText(int32_t unitKind) {
    return unitKind >= 0 && unitKind < kUnitKindCount ? kUnitKinds[unitKind].text : "";
}

const char* GetUnitText(const ParameterDescriptor& descriptor) { return GetUnitText(descriptor.unitKind); }

int32_t GetDefaultExponent(int32_t unitKind) {
    return unitKind >= 0 && unitKind < kUnitKindCount ? kUnitKinds[unitKind].defaultExponent : 0;
}

const char* GetPrefix(int32_t exponent) {
    switch (exponent) {
        case -9: return "n";
        case -6: return "\xB5";
        case -3: return "m";
        case 3: return "k";
        case 6: return "M";
        case 9: return "G";
        default: return "";
    }
}

std::string GetPrefixedUnitText(const ParameterDescriptor& descriptor, int32_t exponent) {
    return std::string(GetPrefix(exponent)) + GetUnitText(descriptor);
}

const char* GetFilterTypeName(int index) {
    return index >= 0 && index < kFilterTypeCount ? kFilterTypes[index] : nullptr;
}

int FindFilterType(const std::string& name) {
    for (int i = 0; i < kFilterTypeCount; ++i)
        if (name == kFilterTypes[i]) return i;
    return -1;
}

const char* GetPassTypeName(int32_t passType) {
    return passType >= 0 && passType < 5 ? kPassTypes[passType] : "Unknown";
}

float RoundToOneDigit(float x) {
    if (x == 0.0f) return 0.0f;
    if (!std::isfinite(x)) return x;
    // The digit search runs in the argument's own precision, so a value such
    // as 0.1f scales to exactly 1 and is not pushed up to the next digit.
    float a = std::fabs(x);
    int e = 0;
    if (a >= 10.0f) {
        while (a >= 10.0f) {
            a /= 10.0f;
            ++e;
        }
    } else {
        while (a < 1.0f) {
            a *= 10.0f;
            --e;
        }
    }
    const double m = x > 0.0f ? std::ceil(a) : std::floor(-a);
    return NarrowToFloat(m * PowerOfTen(e));
}

float NarrowToFloat(double value) {
    if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
    constexpr double kMax = std::numeric_limits<float>::max();
    if (value > kMax || value < -kMax) {
        // Values that still round to the largest float do so; beyond, infinity.
        const double limit = kMax + std::ldexp(1.0, 103);  // half an ulp above the largest float
        if (value >= limit) return std::numeric_limits<float>::infinity();
        if (value <= -limit) return -std::numeric_limits<float>::infinity();
        return value > 0 ? std::numeric_limits<float>::max() : -std::numeric_limits<float>::max();
    }
    return static_cast<float>(value);
}

int32_t TruncateToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

}  // namespace qrd
