// Writers of tool settings blocks, the inverse of the decoders: each returns
// the complete settings bytes of a stream's format section, marker included.
// Used to build recordings (test fixtures, fuzz seeds) with our own code.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "container/le_codec.h"
#include "contents/analyzer_property.h"
#include "contents/channel_tool_property.h"
#include "contents/evoked_property.h"
#include "contents/filter_property.h"
#include "contents/info_spike.h"
#include "contents/spike_burst_analyzer_property.h"
#include "contents/time_window_property.h"
#include "contents/trigger_property.h"

namespace qrd {

using SettingsBytes = std::vector<uint8_t>;

// Trigger settings for stream header version `version`.  Versions 0-2 write
// the old record image of `imageLength` bytes (settings 1-14 at 8-63, as far
// as the image reaches); version 4+ adds the late fields only for
// application major version 3+.
SettingsBytes WriteTriggerSettings(const CMMEATriggerProperty& p, uint32_t version, uint16_t appMajorVersion,
                                   uint32_t imageLength = 64);
// The same without the marker, as embedded in old spike detector blocks.
void WriteTriggerBody(LeWriter& w, const CMMEATriggerProperty& p, uint32_t version, uint16_t appMajorVersion,
                      uint32_t imageLength = 64);

SettingsBytes WriteChannelToolSettings(const CMChannelToolProperty& p);
// Versions 0-1 get two empty unused lists.
SettingsBytes WriteFilterSettings(const CMFilterProperty& p, uint32_t version);
SettingsBytes WriteAverageSettings(const CMEvokedProperty& p);
SettingsBytes WriteSpikeParameterSettings(const CMSpikeAnalyzerProperty& p);
SettingsBytes WriteBurstParameterSettings(const CMBurstAnalyzerProperty& p);

// Spike detector settings of version 5 and later.  Window times are whole
// microseconds; versions 5 and 6 store them as f32 seconds.
struct SpikeDetectorSettings {
    std::array<int32_t, 4> detectorValues{};  // values 1-4
    std::array<int32_t, 3> windowTimes{};
    std::string inputStreamTag;
    std::vector<SpikeChannelEntry> channels;
};
SettingsBytes WriteSpikeSettings(const SpikeDetectorSettings& s, uint32_t version);
// Spike detector settings of versions 1-4: one trigger block per channel and
// the window words a, b, c.
SettingsBytes WriteOldSpikeSettings(const std::vector<CMMEATriggerProperty>& triggers, uint32_t a, uint32_t b,
                                    uint32_t c, uint32_t version, uint16_t appMajorVersion);

// Analyzer parameter settings ("params" streams, no marker).
struct ParamSettingsImage {
    std::vector<int32_t> widths;
    std::vector<int32_t> positions;
    std::vector<ParameterDescriptor> descriptors;
    CMIAnalyzerProperty analyzer;  // its selected flags are written, one per descriptor
    CMTimeWindowProperty timeWindow;
};
// A consistent image: the default widths, all fifteen descriptors, and the
// positions and selected flags of the kinds in `selected`.
ParamSettingsImage MakeParamSettings(const std::array<bool, kAnalyzerKindCount>& selected, int32_t timeMode);
SettingsBytes WriteParamSettings(const ParamSettingsImage& image, uint32_t version);

}  // namespace qrd
