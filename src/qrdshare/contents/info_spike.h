// Info object of a "spikes" stream: the spike detector settings, with one
// entry of detector settings per channel (keyed by channel) and, inside each,
// one entry per sorted unit (keyed by unit).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "container/le_codec.h"
#include "contents/info_object.h"

namespace qrd {

struct SpikeUnitEntry {
    uint16_t firstValue = 0;
    uint16_t unitKey = 0;
    std::array<int32_t, 5> values{{0, 0, 0, 255, 255}};
};

struct SpikeChannelEntry {
    uint16_t channelKey = 0;
    uint16_t secondValue = 0;
    float threshold1 = -0.00012f;  // volts
    int32_t mode = 1;
    float threshold2 = -0.00012f;
    float value3 = 0.2f;
    float value4 = 1.0f;
    std::map<uint16_t, SpikeUnitEntry> units;
};

class CQRVAInfoSpike : public InfoObject {
public:
    static constexpr InfoKind kKind = InfoKind::InfoSpike;

    CQRVAInfoSpike() : InfoObject(kKind) {}
    ~CQRVAInfoSpike() override = default;

    // Reads the "PARAMSPK" block body (after the marker) of a stream of
    // header version `version`; old versions embed trigger settings, which
    // depend on the recording application's major version.
    bool Decode(LeReader& r, uint32_t version, uint16_t appMajorVersion);

    // Detector values and window times by number, 1-based; 0 outside.
    int32_t GetDetectorValue(int number) const;
    int32_t GetWindowTime(int number) const;
    const std::string& GetInputStreamTag() const { return inputStreamTag_; }
    const std::map<uint16_t, SpikeChannelEntry>& GetChannelEntries() const { return channels_; }
    // Null when no entry has that key.
    const SpikeChannelEntry* FindChannelEntry(uint16_t channelKey) const;
    // A list the detector keeps at run time; recordings never fill it.
    const std::vector<uint16_t>& GetValueList() const { return valueList_; }

private:
    bool DecodeCurrent(LeReader& r, uint32_t version);
    bool DecodeTriggerList(LeReader& r, uint32_t version, uint16_t appMajorVersion);

    std::array<int32_t, 4> detectorValues_{};
    std::array<int32_t, 3> windowTimes_{};
    std::string inputStreamTag_;
    std::map<uint16_t, SpikeChannelEntry> channels_;
    std::vector<uint16_t> valueList_;
};

}  // namespace qrd
