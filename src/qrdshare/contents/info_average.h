// Info object of an "average" stream: the evoked-response averager settings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "contents/evoked_property.h"
#include "contents/info_object.h"

namespace qrd {

class CQRVAInfoAverage : public InfoObject {
public:
    static constexpr InfoKind kKind = InfoKind::InfoAverage;

    CQRVAInfoAverage() : InfoObject(kKind) {}
    ~CQRVAInfoAverage() override = default;

    // Reads the "PARAMEVP" block body: `length` bytes after the marker.
    bool Decode(const uint8_t* body, size_t length, uint32_t version);

    const CMEvokedProperty& GetProperty() const { return property_; }
    const std::string& GetLabel() const { return property_.label; }
    uint16_t GetValue1() const { return property_.value1; }
    float GetWindowStart() const { return property_.GetTimeWindow().windowStart; }
    float GetWindowEnd() const { return property_.GetTimeWindow().windowEnd; }

private:
    CMEvokedProperty property_;
};

}  // namespace qrd
