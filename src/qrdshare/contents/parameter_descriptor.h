// One row of a parameter descriptor table: how an analyzer presents one of its
// measured parameters (name, unit, display scale and range, whether selected).
#pragma once

#include <cstdint>
#include <string>

namespace qrd {

struct ParameterDescriptor {
    float rangeMin = 0.0f;
    float rangeMax = 0.0f;
    int32_t selected = 0;   // 1 = the analyzer records this parameter
    double scale = 1.0;
    int32_t exponent = 0;   // decimal exponent of the display unit
    int32_t unitKind = 0;   // see settings_units.h
    std::string name;
};

inline bool operator==(const ParameterDescriptor& a, const ParameterDescriptor& b) {
    return a.rangeMin == b.rangeMin && a.rangeMax == b.rangeMax && a.selected == b.selected &&
           a.scale == b.scale && a.exponent == b.exponent && a.unitKind == b.unitKind && a.name == b.name;
}

}  // namespace qrd
