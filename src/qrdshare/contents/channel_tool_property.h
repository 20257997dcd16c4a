// Settings of the channel tool (derived channels computed from raw ones).
#pragma once

#include <cstdint>
#include <string>

#include "container/le_codec.h"
#include "contents/clone_object.h"

namespace qrd {

class CMChannelToolProperty : public CMCloneObject {
public:
    static constexpr InfoKind kKind = InfoKind::ChannelToolProperty;

    CMChannelToolProperty() : CMCloneObject(kKind) {}
    CMChannelToolProperty(const CMChannelToolProperty&) = default;
    CMChannelToolProperty& operator=(const CMChannelToolProperty&) = default;
    ~CMChannelToolProperty() override = default;
    CMChannelToolProperty* Clone() const override { return new CMChannelToolProperty(*this); }

    const std::string& GetFirstText() const { return firstText; }
    const std::string& GetSecondText() const { return secondText; }
    uint16_t GetToolValue() const { return toolValue; }

    std::string firstText;
    std::string secondText;
    uint16_t toolValue = 0;
};

// Reads the "PARAMCHT" block body (after its marker).  False when it ends early.
bool DecodeChannelToolSettings(LeReader& r, CMChannelToolProperty& out);

}  // namespace qrd
