// Settings of the parameter analyzer, which measures up to fifteen kinds of
// parameter (minimum, maximum, their times, height, width, amplitude, area,
// spike number, rate and slopes) per channel and stores the selected ones as
// one fixed-size block per channel in each record of a "params" stream.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "contents/clone_object.h"
#include "contents/parameter_descriptor.h"

namespace qrd {

constexpr int kAnalyzerKindCount = 15;
// The list position table of a parameter stream has one spare entry.
constexpr int kAnalyzerPositionCount = 16;

using AnalyzerDescriptorTable = std::array<ParameterDescriptor, kAnalyzerKindCount>;
using AnalyzerPositionTable = std::array<int32_t, kAnalyzerPositionCount>;

// Written into a decoded value list for a parameter the analyzer could not
// measure: the largest finite float.
constexpr float kMissingParameterValue = 3.4028235e38f;

// What a stream's format header says about its raw values.
struct AdcFormat {
    int16_t bits = 0;
    uint16_t zero = 0;
    double unitStep = 0.0;
};

class CMIAnalyzerProperty : public CMCloneObject {
public:
    static constexpr InfoKind kKind = InfoKind::IAnalyzerProperty;

    CMIAnalyzerProperty() : CMCloneObject(kKind) {}
    CMIAnalyzerProperty(const CMIAnalyzerProperty&) = default;
    // Copies everything but the byte width table: the widths describe the
    // record layout of the stream the target belongs to, not a user setting.
    CMIAnalyzerProperty& operator=(const CMIAnalyzerProperty& other);
    ~CMIAnalyzerProperty() override = default;
    CMIAnalyzerProperty* Clone() const override { return new CMIAnalyzerProperty(*this); }

    bool IsSelected(int kind) const;
    // Sum of the byte widths of the selected kinds.
    int64_t GetSelectedBytes() const;

    // Overwrites the fixed part of the descriptor table (names, units,
    // exponents, scales, ranges; the voltage ranges from the ADC range) and
    // derives selection and list positions from the selected flags.
    void BuildDescriptors(AnalyzerDescriptorTable& descriptors, AnalyzerPositionTable& positions,
                          const AdcFormat& adc) const;

    // Decodes the selected parameter values of channel `channel` from a
    // record's channel blocks (`blocks`, `blocksLength` bytes, `channelCount`
    // blocks of `bytesPerChannel` bytes).  The i-th selected kind writes
    // values[i], growing the list with zeros as needed.  False, with the list
    // untouched, when no kind is selected, the channel is out of range, or a
    // selected value does not lie inside the channel's block.
    bool DecodeChannelValues(uint32_t channel, const uint8_t* blocks, size_t blocksLength, uint32_t channelCount,
                             uint16_t bytesPerChannel, const AnalyzerDescriptorTable& descriptors,
                             const AdcFormat& adc, uint32_t streamVersion, std::vector<float>& values) const;

    int32_t analyzerValue = -1;
    int32_t timeMode = 1;  // 0: times in absolute ticks, 1: times in milliseconds
    std::array<int32_t, kAnalyzerKindCount> selected{};
    std::array<int32_t, kAnalyzerKindCount> byteWidths{{4, 4, 8, 8, 4, 8, 4, 4, 2, 4, 4, 4, 4, 4, 0}};
    int32_t analyzerValue2 = 1;
    std::string label;
    int32_t analyzerValue3 = 0;
    std::string label2;
    int32_t analyzerValue4 = 0;
};

// The name of a parameter kind (0-13), or "" for kind 14 and others.
const char* GetAnalyzerKindName(int kind);

}  // namespace qrd
