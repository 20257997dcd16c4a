// Info objects of "spkparam" and "bstparam" streams: the spike analyzer and
// burst analyzer settings, which name the three parameters of their records.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "container/le_codec.h"
#include "contents/info_object.h"
#include "contents/spike_burst_analyzer_property.h"

namespace qrd {

// Forwarders shared by both infos; `Property` has a public `parameters`.
template <class Property>
class AnalyzerInfoAccess {
public:
    int32_t GetListValue(int index) const { return set().GetListValue(index); }
    int32_t GetModeValue() const { return set().modeValue; }
    const std::string& GetLabel() const { return set().label; }
    bool IsSelected(int index) const { return set().IsSelected(index); }
    std::string GetName(int index) const { return set().GetName(index); }
    double GetScale(int index) const { return set().GetScale(index); }
    int32_t GetExponent(int index) const { return set().GetExponent(index); }
    std::string GetUnitText(int index) const { return set().GetUnitText(index); }

    const Property& GetProperty() const { return property_; }

protected:
    Property property_;

private:
    const AnalyzerParameterSet& set() const { return property_.parameters; }
};

class CQRVAInfoSpikeParameter : public InfoObject, public AnalyzerInfoAccess<CMSpikeAnalyzerProperty> {
public:
    static constexpr InfoKind kKind = InfoKind::InfoSpikeParameter;

    CQRVAInfoSpikeParameter() : InfoObject(kKind) {}
    ~CQRVAInfoSpikeParameter() override = default;

    // Reads the "PARAMSPP" block body (after the marker).
    bool Decode(LeReader& r) { return DecodeAnalyzerParameterSet(r, property_.parameters); }
};

class CQRVAInfoBurstParameter : public InfoObject, public AnalyzerInfoAccess<CMBurstAnalyzerProperty> {
public:
    static constexpr InfoKind kKind = InfoKind::InfoBurstParameter;

    CQRVAInfoBurstParameter() : InfoObject(kKind) {}
    ~CQRVAInfoBurstParameter() override = default;

    // Reads the "PARAMBSP" block body: the spike parameter layout plus five
    // i32 burst values.
    bool Decode(LeReader& r) {
        return DecodeAnalyzerParameterSet(r, property_.parameters) && DecodeBurstValues(r, property_);
    }
    int32_t GetBurstValue(int number) const {  // 1-based, 0 outside 1-5
        return number >= 1 && number <= 5 ? property_.burstValues[static_cast<size_t>(number - 1)] : 0;
    }
};

}  // namespace qrd
