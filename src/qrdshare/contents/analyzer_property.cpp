#include "contents/analyzer_property.h"

#include "container/le_codec.h"
#include "contents/settings_units.h"

namespace qrd {

namespace {

// How the range of a kind's descriptor is filled in.
enum class RangeRule { AdcLowHigh, ZeroToAdcHigh, Fixed, KeepDecoded };

struct AnalyzerKindRow {
    const char* name;
    int32_t unitKind;
    int32_t exponent;
    double scale;
    RangeRule range;
    float rangeMin;
    float rangeMax;
};

// Kinds 0-13 in time mode 1 (times in milliseconds).  The time kinds 2 and 3
// differ in time mode 0; see FixedRow.  Kind 14 has no fixed entry.
constexpr AnalyzerKindRow kAnalyzerKinds[kAnalyzerKindCount - 1] = {
    {"Min", 0, -6, 1.0, RangeRule::AdcLowHigh, 0, 0},
    {"Max", 0, -6, 1.0, RangeRule::AdcLowHigh, 0, 0},
    {"T-Min", 3, -3, 1000.0, RangeRule::Fixed, 0, 1000},
    {"T-Max", 3, -3, 1000.0, RangeRule::Fixed, 0, 1000},
    {"Height", 0, -6, 1.0, RangeRule::ZeroToAdcHigh, 0, 0},
    {"Width", 3, -3, 1000.0, RangeRule::Fixed, 0, 1000},
    {"Ampl.", 0, -6, 1.0, RangeRule::AdcLowHigh, 0, 0},
    {"Area", 4, -6, 1000000.0, RangeRule::Fixed, 0, 1000},
    {"Number", 6, 0, 1.0, RangeRule::Fixed, 0, 100},
    {"Rate", 5, 0, 1.0, RangeRule::Fixed, 0, 100},
    {"Slope", 7, 0, 1.0, RangeRule::Fixed, -1, 1},
    {"Slope 10%-90%", 7, 0, 1.0, RangeRule::Fixed, -1, 1},
    {"Slope 20%-80%", 7, 0, 1.0, RangeRule::Fixed, -1, 1},
    {"Slope 30%-70", 7, 0, 1.0, RangeRule::Fixed, -1, 1},
};

// In time mode 0 the times are absolute ticks: "T-Min" keeps its fixed range
// but is shown with exponent 6, "T-Max" is scaled from nanoseconds and keeps
// the exponent and range its settings gave.
AnalyzerKindRow FixedRow(int kind, int32_t timeMode) {
    AnalyzerKindRow row = kAnalyzerKinds[kind];
    if (timeMode == 0 && kind == 2) {
        row.unitKind = 2;
        row.exponent = 6;
        row.scale = 1.0;
    } else if (timeMode == 0 && kind == 3) {
        row.unitKind = 2;
        row.scale = 0.000000001;
        row.range = RangeRule::KeepDecoded;
    }
    return row;
}

// Largest raw value of an ADC of `bits` bits, kept to 16 bits.
int32_t AdcFullScale(int16_t bits) {
    if (bits <= 0) return 0;
    if (bits >= 16) return 0xFFFF;
    return (1 << bits) - 1;
}

float RawToVolts(int64_t raw, uint16_t zero, float unitStep) {
    return static_cast<float>(raw - static_cast<int64_t>(zero)) * unitStep;
}

}  // namespace

const char* GetAnalyzerKindName(int kind) {
    return kind >= 0 && kind < kAnalyzerKindCount - 1 ? kAnalyzerKinds[kind].name : "";
}

CMIAnalyzerProperty& CMIAnalyzerProperty::operator=(const CMIAnalyzerProperty& other) {
    CMCloneObject::operator=(other);
    analyzerValue = other.analyzerValue;
    timeMode = other.timeMode;
    selected = other.selected;
    analyzerValue2 = other.analyzerValue2;
    label = other.label;
    analyzerValue3 = other.analyzerValue3;
    label2 = other.label2;
    analyzerValue4 = other.analyzerValue4;
    return *this;
}

bool CMIAnalyzerProperty::IsSelected(int kind) const {
    return kind >= 0 && kind < kAnalyzerKindCount && selected[static_cast<size_t>(kind)] == 1;
}

int64_t CMIAnalyzerProperty::GetSelectedBytes() const {
    int64_t sum = 0;
    for (int k = 0; k < kAnalyzerKindCount; ++k)
        if (IsSelected(k)) sum += byteWidths[static_cast<size_t>(k)];
    return sum;
}

void CMIAnalyzerProperty::BuildDescriptors(AnalyzerDescriptorTable& descriptors, AnalyzerPositionTable& positions,
                                           const AdcFormat& adc) const {
    // Voltage ranges span the whole ADC, rounded outward to one digit and
    // shown in microvolts.
    const float step = NarrowToFloat(adc.unitStep);
    const float low = RoundToOneDigit(RawToVolts(0, adc.zero, step)) * 1000000.0f;
    const float high = RoundToOneDigit(RawToVolts(AdcFullScale(adc.bits), adc.zero, step)) * 1000000.0f;

    for (int k = 0; k < kAnalyzerKindCount - 1; ++k) {
        const AnalyzerKindRow row = FixedRow(k, timeMode);
        ParameterDescriptor& d = descriptors[static_cast<size_t>(k)];
        d.name = row.name;
        d.unitKind = row.unitKind;
        if (!(timeMode == 0 && k == 3)) d.exponent = row.exponent;
        d.scale = row.scale;
        switch (row.range) {
            case RangeRule::AdcLowHigh: d.rangeMin = low; d.rangeMax = high; break;
            case RangeRule::ZeroToAdcHigh: d.rangeMin = 0.0f; d.rangeMax = high; break;
            case RangeRule::Fixed: d.rangeMin = row.rangeMin; d.rangeMax = row.rangeMax; break;
            case RangeRule::KeepDecoded: break;
        }
    }
    int32_t next = 0;
    for (int k = 0; k < kAnalyzerKindCount; ++k) {
        const bool on = IsSelected(k);
        descriptors[static_cast<size_t>(k)].selected = on ? 1 : 0;
        positions[static_cast<size_t>(k)] = on ? next++ : -1;
    }
}

bool CMIAnalyzerProperty::DecodeChannelValues(uint32_t channel, const uint8_t* blocks, size_t blocksLength,
                                              uint32_t channelCount, uint16_t bytesPerChannel,
                                              const AnalyzerDescriptorTable& descriptors, const AdcFormat& adc,
                                              uint32_t streamVersion, std::vector<float>& values) const {
    bool any = false;
    for (const ParameterDescriptor& d : descriptors) any = any || d.selected == 1;
    if (!any || channel >= channelCount || blocks == nullptr) return false;
    const uint64_t start = static_cast<uint64_t>(channel) * bytesPerChannel;
    if (start + bytesPerChannel > blocksLength) return false;
    const uint8_t* block = blocks + start;

    const float step = NarrowToFloat(adc.unitStep);
    std::vector<float> decoded;
    int64_t offset = 0;  // widths come from the file and may be negative
    for (int k = 0; k < kAnalyzerKindCount; ++k) {
        if (descriptors[static_cast<size_t>(k)].selected != 1) continue;
        const int32_t width = byteWidths[static_cast<size_t>(k)];
        // Every value must lie inside this channel's block.
        auto fits = [&](int64_t size) { return offset >= 0 && offset + size <= bytesPerChannel; };
        const size_t at = static_cast<size_t>(offset);
        float value = 0.0f;
        switch (k) {
            case 0: case 1: case 4:
                if (width == 2) {
                    if (!fits(2)) return false;
                    const uint16_t r = GetU16(block, at);
                    value = r == 0xFFFF ? kMissingParameterValue : RawToVolts(r, adc.zero, step);
                } else if (width == 4) {
                    if (!fits(4)) return false;
                    const int32_t r = GetI32(block, at);
                    value = r == -1 ? kMissingParameterValue : RawToVolts(r, adc.zero, step);
                }
                break;
            case 2: case 3: {
                if (!fits(8)) return false;
                const uint64_t t = GetU64(block, at);  // nanoseconds
                value = t == 0 ? kMissingParameterValue : NarrowToFloat(static_cast<double>(t) / 1000000.0);
                break;
            }
            case 5: {
                // Widths up to 10^12 are stored as they are; larger values were
                // stored in nanoseconds and are brought down to seconds.
                if (!fits(8)) return false;
                const uint64_t t = GetU64(block, at);
                if (t == 0) value = kMissingParameterValue;
                else if (t <= 1000000000000ull) value = static_cast<float>(t);
                else value = static_cast<float>(t / 1000000000ull);
                break;
            }
            case 6:
                if (!fits(4)) return false;
                value = RawToVolts(GetI32(block, at), adc.zero, step);
                break;
            case 7: {
                if (!fits(4)) return false;
                const int32_t r = GetI32(block, at);
                value = r == 0 ? kMissingParameterValue : static_cast<float>(static_cast<uint32_t>(r)) * step;
                break;
            }
            case 8:
                if (!fits(2)) return false;
                value = static_cast<float>(GetU16(block, at));
                break;
            case 9:
                if (!fits(4)) return false;
                value = streamVersion < 3 ? static_cast<float>(GetU32(block, at)) : GetF32(block, at);
                break;
            case 10: case 11: case 12: case 13:
                if (!fits(4)) return false;
                value = GetF32(block, at);
                break;
            default:
                break;  // kind 14 carries no value
        }
        decoded.push_back(value);
        offset += width;
    }
    if (values.size() < decoded.size()) values.resize(decoded.size(), 0.0f);
    for (size_t i = 0; i < decoded.size(); ++i) values[i] = decoded[i];
    return true;
}

}  // namespace qrd
