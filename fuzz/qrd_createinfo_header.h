// The few bytes in front of every createinfo fuzz input that describe the
// stream its settings belong to.  Shared by the fuzz target and its seeds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "contents/stream_info_factory.h"

namespace qrd_fuzz {

constexpr const char* kTypeNames[] = {"trigger", "chat",   "filter", "spikes", "average",
                                      "params",  "spkparam", "bstparam", "analog", "other"};
constexpr size_t kTypeCount = sizeof kTypeNames / sizeof kTypeNames[0];

// type index, stream version, application major version, ADC bits, ADC zero (2 bytes), unit step (8 bytes)
constexpr size_t kHeaderSize = 1 + 1 + 1 + 1 + 2 + 8;

inline qrd::StreamInfoInput ReadHeader(const uint8_t* p) {
    qrd::StreamInfoInput in;
    in.typeName = kTypeNames[p[0] % kTypeCount];
    in.streamVersion = p[1] % 10;
    in.appMajorVersion = static_cast<uint16_t>(p[2] % 5);
    in.adcBits = static_cast<int8_t>(p[3]);
    in.adcZero = static_cast<uint16_t>(p[4] | (p[5] << 8));
    std::memcpy(&in.unitStep, p + 6, 8);
    return in;
}

inline std::vector<uint8_t> MakeHeader(size_t typeIndex, uint8_t version, uint8_t appMajor) {
    std::vector<uint8_t> h = {static_cast<uint8_t>(typeIndex), version, appMajor, 16, 0x00, 0x80};
    const double step = 0.0001;
    uint8_t raw[8];
    std::memcpy(raw, &step, 8);
    h.insert(h.end(), raw, raw + 8);
    return h;
}

}  // namespace qrd_fuzz
