// Info object of a "trigger" stream: the trigger detector settings it was
// recorded with.  The front end reports the event value with every event.
#pragma once

#include <cstdint>
#include <string>

#include "container/le_codec.h"
#include "contents/info_object.h"
#include "contents/trigger_property.h"

namespace qrd {

class CQRVAInfoTrigger : public InfoObject {
public:
    static constexpr InfoKind kKind = InfoKind::InfoTrigger;

    CQRVAInfoTrigger() : InfoObject(kKind) {}
    ~CQRVAInfoTrigger() override = default;

    CMMEATriggerProperty& GetProperty() { return property_; }
    const CMMEATriggerProperty& GetProperty() const { return property_; }

    int32_t GetEventValue() const { return property_.eventValue; }
    // The threshold in units of 0.000001, truncated; it passes through float
    // on the way, as the application shows it.
    int32_t GetThreshold() const;
    int32_t GetTriggerChannel() const { return property_.channel; }
    int32_t GetSetting1() const { return property_.setting1; }
    int32_t GetSetting2() const { return property_.setting2; }
    int32_t GetInputStreamSelector() const { return property_.inputStreamSelector; }
    bool GetFlag1() const { return property_.flag1; }
    int32_t GetSetting15() const { return property_.setting15; }
    int32_t GetSetting16() const { return property_.setting16; }
    int32_t GetSetting17() const { return property_.setting17; }
    bool GetFlag2() const { return property_.flag2; }
    const std::string& GetInputStreamTag() const { return property_.inputStreamTag; }
    const std::string& GetText2() const { return property_.text2; }
    const std::string& GetText3() const { return property_.text3; }

private:
    CMMEATriggerProperty property_;
};

// Reads one trigger settings block body (after the "PARAMTRG" marker, or as
// an entry of an old spike detector block) written for stream header
// version `version` by an application of major version `appMajorVersion`.
// False when the block ends before its last field.
bool DecodeTriggerSettings(LeReader& r, uint32_t version, uint16_t appMajorVersion, CMMEATriggerProperty& out);

}  // namespace qrd
