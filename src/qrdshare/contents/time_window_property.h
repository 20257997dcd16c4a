// Time window of the averager and of the parameter analyzer: which stretch
// around an event the tool looks at, and on which channels.
#pragma once

#include <cstdint>
#include <string>

#include "contents/clone_object.h"

namespace qrd {

class CMTimeWindowProperty : public CMCloneObject {
public:
    static constexpr InfoKind kKind = InfoKind::TimeWindowProperty;

    CMTimeWindowProperty() : CMCloneObject(kKind) {}
    CMTimeWindowProperty(const CMTimeWindowProperty&) = default;
    CMTimeWindowProperty& operator=(const CMTimeWindowProperty&) = default;
    ~CMTimeWindowProperty() override = default;
    CMTimeWindowProperty* Clone() const override { return new CMTimeWindowProperty(*this); }

    void Reset() { *this = CMTimeWindowProperty(); }

    uint32_t GetWindowValue() const { return windowValue; }
    float GetWindowStart() const { return windowStart; }
    float GetWindowEnd() const { return windowEnd; }
    uint16_t GetFirstChannel() const { return firstChannel; }
    uint16_t GetSecondChannel() const { return secondChannel; }
    const std::string& GetFirstLabel() const { return firstLabel; }
    const std::string& GetSecondLabel() const { return secondLabel; }

    uint32_t windowValue = 0;
    float windowStart = 1000.0f;
    float windowEnd = 1000.0f;
    uint16_t firstChannel = 0xFFFF;
    uint16_t secondChannel = 0xFFFF;
    std::string firstLabel;
    std::string secondLabel;
};

}  // namespace qrd
