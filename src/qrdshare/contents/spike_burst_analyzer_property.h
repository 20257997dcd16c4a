// Settings of the spike analyzer and of the burst analyzer.  Both present
// three parameters through a small descriptor table and keep four list
// values, a label and a mode; the burst analyzer adds five burst values.
// The three descriptor names also name the three parameters of the spike
// parameter and burst parameter event records.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "container/le_codec.h"
#include "contents/clone_object.h"
#include "contents/parameter_descriptor.h"

namespace qrd {

constexpr int kSpikeBurstDescriptorCount = 3;
constexpr int kSpikeBurstListValueCount = 4;

// The part the two analyzers share.  Index accessors take indices inside
// the tables; outside them they read as unselected, "", 0 and ignore writes.
struct AnalyzerParameterSet {
    std::array<ParameterDescriptor, kSpikeBurstDescriptorCount> descriptors;
    std::array<int32_t, kSpikeBurstListValueCount> listValues{{1, 0, 0, 0}};
    std::string label;
    int32_t modeValue = 0;

    bool IsSelected(int index) const;
    void SetSelected(int index, bool on);
    std::string GetName(int index) const;
    double GetScale(int index) const;
    int32_t GetExponent(int index) const;
    std::string GetUnitText(int index) const;
    int32_t GetListValue(int index) const;
};

class CMSpikeAnalyzerProperty : public CMCloneObject {
public:
    static constexpr InfoKind kKind = InfoKind::SpikeAnalyzerProperty;

    CMSpikeAnalyzerProperty();  // "ISI", "Rate", "Timestamp"
    CMSpikeAnalyzerProperty(const CMSpikeAnalyzerProperty&) = default;
    CMSpikeAnalyzerProperty& operator=(const CMSpikeAnalyzerProperty&) = default;
    ~CMSpikeAnalyzerProperty() override = default;
    CMSpikeAnalyzerProperty* Clone() const override { return new CMSpikeAnalyzerProperty(*this); }

    AnalyzerParameterSet parameters;
};

class CMBurstAnalyzerProperty : public CMCloneObject {
public:
    static constexpr InfoKind kKind = InfoKind::BurstAnalyzerProperty;

    CMBurstAnalyzerProperty();  // "Marker", "Spike Frequency", "Spike Number"
    CMBurstAnalyzerProperty(const CMBurstAnalyzerProperty&) = default;
    CMBurstAnalyzerProperty& operator=(const CMBurstAnalyzerProperty&) = default;
    ~CMBurstAnalyzerProperty() override = default;
    CMBurstAnalyzerProperty* Clone() const override { return new CMBurstAnalyzerProperty(*this); }

    AnalyzerParameterSet parameters;
    std::array<int32_t, 5> burstValues{{10000, 10000, 10000, 20000, 4}};
};

// Read the "PARAMSPP" / "PARAMBSP" block bodies (after the marker).  Counts
// beyond the descriptor and list tables are read and dropped.  False when the
// block ends early or holds a negative count.
bool DecodeAnalyzerParameterSet(LeReader& r, AnalyzerParameterSet& out);
bool DecodeBurstValues(LeReader& r, CMBurstAnalyzerProperty& out);

}  // namespace qrd
