// Settings of the real-time feedback tool.  No stream carries them in a
// recording; the class exists so the tool settings family is complete.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "contents/clone_object.h"

namespace qrd {

class CMRealtimeFeedbackProperty : public CMCloneObject {
public:
    static constexpr InfoKind kKind = InfoKind::RealtimeFeedbackProperty;
    static constexpr int kTableSize = 16;

    CMRealtimeFeedbackProperty();
    CMRealtimeFeedbackProperty(const CMRealtimeFeedbackProperty&) = default;
    CMRealtimeFeedbackProperty& operator=(const CMRealtimeFeedbackProperty&) = default;
    ~CMRealtimeFeedbackProperty() override = default;
    CMRealtimeFeedbackProperty* Clone() const override { return new CMRealtimeFeedbackProperty(*this); }

    std::array<int32_t, 3> values1{};         // 0, 0, 0
    double value2 = 10.0;
    int32_t value3 = 0;
    double value4 = 1000.0;
    std::array<int32_t, 4> values5{{0, 1, 50, 1}};
    std::array<std::array<int32_t, kTableSize>, 4> tables{};  // the fourth holds 0, 1, ..., 15
    std::array<std::string, kTableSize> texts;
};

inline CMRealtimeFeedbackProperty::CMRealtimeFeedbackProperty() : CMCloneObject(kKind) {
    for (int i = 0; i < kTableSize; ++i) tables[3][static_cast<size_t>(i)] = i;
}

}  // namespace qrd
