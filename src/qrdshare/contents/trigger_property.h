// Settings of the trigger detector.  Only the event value (reported with every
// trigger event) and the input stream selector (which names the input stream
// of old recordings) mean anything to the reader; the other numbered settings
// are held as the application stored them.
#pragma once

#include <cstdint>
#include <string>

#include "contents/clone_object.h"

namespace qrd {

class CMMEATriggerProperty : public CMCloneObject {
public:
    static constexpr InfoKind kKind = InfoKind::MEATriggerProperty;

    CMMEATriggerProperty() : CMCloneObject(kKind) {}
    CMMEATriggerProperty(const CMMEATriggerProperty&) = default;
    CMMEATriggerProperty& operator=(const CMMEATriggerProperty&) = default;
    ~CMMEATriggerProperty() override = default;
    CMMEATriggerProperty* Clone() const override { return new CMMEATriggerProperty(*this); }

    int32_t setting1 = 2;
    int32_t setting2 = 0;
    int32_t setting3 = 1;
    int32_t setting4 = 3;
    int32_t threshold = -1200;         // setting 5, in units of 0.0000001
    int32_t setting6 = -1200;
    int32_t eventValue = 1;            // setting 7
    int32_t channel = 0;               // setting 8
    int32_t inputStreamSelector = 65535;  // setting 9: 0 electrode, 1 analog, 2 digital raw data
    int32_t setting10 = 2;
    int32_t setting11 = 1;
    int32_t setting12 = 0;
    int32_t setting13 = 0;
    int32_t setting14 = 0;
    bool flag1 = false;
    int32_t setting15 = 1;
    int32_t setting16 = 1;
    std::string inputStreamTag;
    int32_t setting17 = 1;
    bool flag2 = false;
    int32_t setting18 = -1;
    std::string text2;
    std::string text3;
};

}  // namespace qrd
