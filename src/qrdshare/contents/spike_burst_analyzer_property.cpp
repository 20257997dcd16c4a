#include "contents/spike_burst_analyzer_property.h"

#include "contents/settings_text.h"
#include "contents/settings_units.h"

namespace qrd {

namespace {

ParameterDescriptor MakeDescriptor(const char* name, float min, float max, int32_t selected, int32_t exponent,
                                   int32_t unitKind) {
    ParameterDescriptor d;
    d.name = name;
    d.rangeMin = min;
    d.rangeMax = max;
    d.selected = selected;
    d.scale = 1.0;
    d.exponent = exponent;
    d.unitKind = unitKind;
    return d;
}

bool InTable(int index) { return index >= 0 && index < kSpikeBurstDescriptorCount; }

}  // namespace

bool AnalyzerParameterSet::IsSelected(int index) const {
    return InTable(index) && descriptors[static_cast<size_t>(index)].selected == 1;
}
void AnalyzerParameterSet::SetSelected(int index, bool on) {
    if (InTable(index)) descriptors[static_cast<size_t>(index)].selected = on ? 1 : 0;
}
std::string AnalyzerParameterSet::GetName(int index) const {
    return InTable(index) ? descriptors[static_cast<size_t>(index)].name : std::string();
}
double AnalyzerParameterSet::GetScale(int index) const {
    return InTable(index) ? descriptors[static_cast<size_t>(index)].scale : 0.0;
}
int32_t AnalyzerParameterSet::GetExponent(int index) const {
    return InTable(index) ? descriptors[static_cast<size_t>(index)].exponent : 0;
}
std::string AnalyzerParameterSet::GetUnitText(int index) const {
    return InTable(index) ? qrd::GetUnitText(descriptors[static_cast<size_t>(index)]) : "";
}
int32_t AnalyzerParameterSet::GetListValue(int index) const {
    return index >= 0 && index < kSpikeBurstListValueCount ? listValues[static_cast<size_t>(index)] : 0;
}

CMSpikeAnalyzerProperty::CMSpikeAnalyzerProperty() : CMCloneObject(kKind) {
    parameters.descriptors = {{MakeDescriptor("ISI", 0, 100, 1, -3, 3), MakeDescriptor("Rate", 0, 100, 0, 0, 5),
                               MakeDescriptor("Timestamp", -1, 4, 0, 0, 8)}};
}

CMBurstAnalyzerProperty::CMBurstAnalyzerProperty() : CMCloneObject(kKind) {
    parameters.descriptors = {{MakeDescriptor("Marker", -1, 4, 1, 0, 8),
                               MakeDescriptor("Spike Frequency", 0, 100, 0, 0, 5),
                               MakeDescriptor("Spike Number", 0, 100, 0, 0, 6)}};
}

// Shared block layout:
//   i32 N, N descriptors (f32 min, f32 max, i32 selected, f64 scale, i32 exponent,
//   i32 unit kind, counted name with i32 length); i32 M, M x i32 list values;
//   counted label (i32 length); i32 mode value.
bool DecodeAnalyzerParameterSet(LeReader& r, AnalyzerParameterSet& out) {
    constexpr size_t kMinDescriptorSize = 4 + 4 + 4 + 8 + 4 + 4 + 4;
    const int32_t n = r.I32();
    if (n < 0 || !CountFits(r, static_cast<uint64_t>(n), kMinDescriptorSize)) return false;
    for (int32_t i = 0; i < n && r.ok(); ++i) {
        ParameterDescriptor d;
        d.rangeMin = r.F32();
        d.rangeMax = r.F32();
        d.selected = r.I32();
        d.scale = r.F64();
        d.exponent = r.I32();
        d.unitKind = r.I32();
        d.name = ReadTextI32(r, TextEnd::Counted);
        if (i < kSpikeBurstDescriptorCount) out.descriptors[static_cast<size_t>(i)] = d;
    }
    const int32_t m = r.I32();
    if (m < 0 || !CountFits(r, static_cast<uint64_t>(m), 4)) return false;
    for (int32_t i = 0; i < m; ++i) {
        const int32_t value = r.I32();
        if (i < kSpikeBurstListValueCount) out.listValues[static_cast<size_t>(i)] = value;
    }
    out.label = ReadTextI32(r, TextEnd::Counted);
    out.modeValue = r.I32();
    return r.ok();
}

bool DecodeBurstValues(LeReader& r, CMBurstAnalyzerProperty& out) {
    for (int32_t& value : out.burstValues) value = r.I32();
    return r.ok();
}

}  // namespace qrd
