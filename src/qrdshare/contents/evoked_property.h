// Settings of the evoked-response averager.  It owns a time window object of
// its own; copies of the averager settings copy that window too, so two
// copies never share one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "contents/clone_object.h"
#include "contents/time_window_property.h"

namespace qrd {

class CMEvokedProperty : public CMCloneObject {
public:
    static constexpr InfoKind kKind = InfoKind::EvokedProperty;

    CMEvokedProperty() : CMCloneObject(kKind), timeWindow_(new CMTimeWindowProperty) {}
    CMEvokedProperty(const CMEvokedProperty& other)
        : CMCloneObject(other),
          value1(other.value1),
          value2(other.value2),
          label(other.label),
          timeWindow_(new CMTimeWindowProperty(*other.timeWindow_)) {}
    CMEvokedProperty& operator=(const CMEvokedProperty& other) {
        if (this != &other) {
            CMCloneObject::operator=(other);
            value1 = other.value1;
            value2 = other.value2;
            label = other.label;
            *timeWindow_ = *other.timeWindow_;
        }
        return *this;
    }
    ~CMEvokedProperty() override = default;
    CMEvokedProperty* Clone() const override { return new CMEvokedProperty(*this); }

    CMTimeWindowProperty& GetTimeWindow() { return *timeWindow_; }
    const CMTimeWindowProperty& GetTimeWindow() const { return *timeWindow_; }

    uint16_t value1 = 0;
    uint32_t value2 = 0;
    std::string label;

private:
    std::unique_ptr<CMTimeWindowProperty> timeWindow_;
};

}  // namespace qrd
