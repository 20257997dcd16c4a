#include "contents/settings_writer.h"

#include "contents/settings_markers.h"
#include "contents/settings_text.h"

namespace qrd {

namespace {

void Marker(LeWriter& w, const char* marker) { w.Bytes(marker, kSettingsMarkerSize); }

void WriteTriggerImage(LeWriter& w, const CMMEATriggerProperty& p, uint32_t imageLength) {
    std::vector<uint8_t> image(imageLength, 0);
    const int32_t settings[14] = {p.setting1,  p.setting2,  p.setting3,  p.setting4,  p.threshold,
                                  p.setting6,  p.eventValue, p.channel, p.inputStreamSelector, p.setting10,
                                  p.setting11, p.setting12, p.setting13, p.setting14};
    for (size_t i = 0; i < 14; ++i)
        if (8 + 4 * i + 4 <= imageLength) PutI32(image.data(), 8 + 4 * i, settings[i]);
    w.U32(imageLength);
    w.Bytes(image.data(), image.size());
}

void WriteDescriptorNumbers(LeWriter& w, const ParameterDescriptor& d) {
    w.F32(d.rangeMin);
    w.F32(d.rangeMax);
    w.I32(d.selected);
    w.F64(d.scale);
    w.I32(d.exponent);
    w.I32(d.unitKind);
}

void WriteAnalyzerParameterSet(LeWriter& w, const AnalyzerParameterSet& s) {
    w.I32(static_cast<int32_t>(s.descriptors.size()));
    for (const ParameterDescriptor& d : s.descriptors) {
        WriteDescriptorNumbers(w, d);
        WriteTextI32(w, d.name, TextEnd::Counted);
    }
    w.I32(static_cast<int32_t>(s.listValues.size()));
    for (int32_t v : s.listValues) w.I32(v);
    WriteTextI32(w, s.label, TextEnd::Counted);
    w.I32(s.modeValue);
}

}  // namespace

void WriteTriggerBody(LeWriter& w, const CMMEATriggerProperty& p, uint32_t version, uint16_t appMajorVersion,
                      uint32_t imageLength) {
    if (version < 3) {
        WriteTriggerImage(w, p, imageLength);
        return;
    }
    w.I32(0);
    for (int32_t s : {p.setting1, p.setting2, p.setting3, p.setting4, p.threshold, p.setting6, p.eventValue,
                      p.channel, p.inputStreamSelector, p.setting10, p.setting11, p.setting12, p.setting13,
                      p.setting14})
        w.I32(s);
    w.U8(p.flag1 ? 1 : 0);
    w.I32(p.setting15);
    w.I32(p.setting16);
    WriteTextI32(w, p.inputStreamTag, TextEnd::ZeroEnded);
    w.I32(p.setting17);
    if (version >= 4 && appMajorVersion >= 3) {
        w.U8(p.flag2 ? 1 : 0);
        w.I32(p.setting18);
        WriteTextI32(w, p.text2, TextEnd::ZeroEnded);
        WriteTextI32(w, p.text3, TextEnd::ZeroEnded);
    }
}

SettingsBytes WriteTriggerSettings(const CMMEATriggerProperty& p, uint32_t version, uint16_t appMajorVersion,
                                   uint32_t imageLength) {
    SettingsBytes out;
    LeWriter w(out);
    Marker(w, kTriggerMarker);
    WriteTriggerBody(w, p, version, appMajorVersion, imageLength);
    return out;
}

SettingsBytes WriteChannelToolSettings(const CMChannelToolProperty& p) {
    SettingsBytes out;
    LeWriter w(out);
    Marker(w, kChannelToolMarker);
    w.U16(p.toolValue);
    WriteTextI32(w, p.firstText, TextEnd::Counted);
    WriteTextI32(w, p.secondText, TextEnd::Counted);
    return out;
}

SettingsBytes WriteFilterSettings(const CMFilterProperty& p, uint32_t version) {
    SettingsBytes out;
    LeWriter w(out);
    Marker(w, kFilterMarker);
    w.I32(p.passType);
    WriteTextI32(w, p.filterTypeName, TextEnd::Counted);
    for (const std::vector<std::string>* list : {&p.cutoffNames, &p.cutoffUnits}) {
        w.I32(static_cast<int32_t>(list->size()));
        for (const std::string& s : *list) WriteTextI32(w, s, TextEnd::Counted);
    }
    w.I32(static_cast<int32_t>(p.cutoffFrequencies.size()));
    for (float f : p.cutoffFrequencies) w.F32(f);
    if (version <= 1) {
        w.I32(0);
        w.I32(0);
    }
    if (version >= 1) {
        w.I32(static_cast<int32_t>(p.coefficients.size()));
        for (double c : p.coefficients) w.F64(c);
        w.I32(p.windowPointsBefore);
        w.I32(p.windowPointsAfter);
        w.I32(p.polynomialOrder);
    }
    if (version >= 3) {
        w.F64(p.resonatorValue1);
        w.F64(p.resonatorValue2);
        w.U8(p.resonatorFlag ? 1 : 0);
        w.I32(p.resonatorCount);
    }
    return out;
}

SettingsBytes WriteAverageSettings(const CMEvokedProperty& p) {
    SettingsBytes out;
    LeWriter w(out);
    Marker(w, kAverageMarker);
    const CMTimeWindowProperty& window = p.GetTimeWindow();
    w.U32(p.value2);
    w.U32(p.value1);
    WriteTextI32(w, window.firstLabel, TextEnd::ZeroEnded);
    WriteTextI32(w, p.label, TextEnd::ZeroEnded);
    w.U16(window.firstChannel);
    w.F32(window.windowStart);
    w.F32(window.windowEnd);
    return out;
}

SettingsBytes WriteSpikeParameterSettings(const CMSpikeAnalyzerProperty& p) {
    SettingsBytes out;
    LeWriter w(out);
    Marker(w, kSpikeParameterMarker);
    WriteAnalyzerParameterSet(w, p.parameters);
    return out;
}

SettingsBytes WriteBurstParameterSettings(const CMBurstAnalyzerProperty& p) {
    SettingsBytes out;
    LeWriter w(out);
    Marker(w, kBurstParameterMarker);
    WriteAnalyzerParameterSet(w, p.parameters);
    for (int32_t v : p.burstValues) w.I32(v);
    return out;
}

SettingsBytes WriteSpikeSettings(const SpikeDetectorSettings& s, uint32_t version) {
    SettingsBytes out;
    LeWriter w(out);
    Marker(w, kSpikeMarker);
    w.I32(s.detectorValues[1]);
    w.I32(s.detectorValues[0]);
    w.I32(s.detectorValues[2]);
    w.I32(s.detectorValues[3]);
    for (int32_t t : s.windowTimes) {
        if (version >= 7) w.I32(t);
        else w.F32(static_cast<float>(t / 1000000.0));
    }
    WriteTextU16(w, s.inputStreamTag, TextEnd::ZeroEnded);
    w.U16(static_cast<uint16_t>(s.channels.size()));
    for (const SpikeChannelEntry& e : s.channels) {
        w.U16(e.channelKey);
        w.U16(e.secondValue);
        w.F32(e.threshold1);
        w.I32(e.mode);
        w.F32(e.threshold2);
        w.F32(e.value3);
        w.F32(e.value4);
        w.U16(static_cast<uint16_t>(e.units.size()));
        for (const auto& unit : e.units) {
            w.U16(unit.second.firstValue);
            w.U16(unit.second.unitKey);
            for (int32_t v : unit.second.values) w.I32(v);
        }
    }
    return out;
}

SettingsBytes WriteOldSpikeSettings(const std::vector<CMMEATriggerProperty>& triggers, uint32_t a, uint32_t b,
                                    uint32_t c, uint32_t version, uint16_t appMajorVersion) {
    SettingsBytes out;
    LeWriter w(out);
    Marker(w, kSpikeMarker);
    w.U32(static_cast<uint32_t>(triggers.size()));
    for (const CMMEATriggerProperty& t : triggers) WriteTriggerBody(w, t, version, appMajorVersion);
    w.U32(a);
    w.U32(b);
    w.U32(c);
    return out;
}

ParamSettingsImage MakeParamSettings(const std::array<bool, kAnalyzerKindCount>& selected, int32_t timeMode) {
    ParamSettingsImage image;
    image.analyzer.timeMode = timeMode;
    int32_t next = 0;
    for (int k = 0; k < kAnalyzerKindCount; ++k) {
        const size_t i = static_cast<size_t>(k);
        image.widths.push_back(image.analyzer.byteWidths[i]);
        image.positions.push_back(selected[i] ? next++ : -1);
        image.analyzer.selected[i] = selected[i] ? 1 : 0;
        ParameterDescriptor d;
        d.name = GetAnalyzerKindName(k);
        d.selected = selected[i] ? 1 : 0;
        image.descriptors.push_back(d);
    }
    return image;
}

SettingsBytes WriteParamSettings(const ParamSettingsImage& image, uint32_t version) {
    SettingsBytes out;
    LeWriter w(out);
    w.Bytes("FMTBLPAR", 8);
    w.U16(static_cast<uint16_t>(image.widths.size()));
    for (int32_t v : image.widths) w.I32(v);
    w.Bytes("PSTBLPAR", 8);
    w.U16(static_cast<uint16_t>(image.positions.size()));
    for (int32_t v : image.positions) w.I32(v);
    w.Bytes("PRTBLPAR", 8);
    w.U16(static_cast<uint16_t>(image.descriptors.size()));
    for (const ParameterDescriptor& d : image.descriptors) {
        WriteDescriptorNumbers(w, d);
        WriteTextU16(w, d.name, TextEnd::ZeroEnded);
    }
    if (version == 0) return out;

    const CMIAnalyzerProperty& a = image.analyzer;
    w.I32(a.analyzerValue);
    w.I32(a.timeMode);
    for (size_t k = 0; k < image.descriptors.size(); ++k) w.I32(k < a.selected.size() ? a.selected[k] : 0);
    w.I32(a.analyzerValue2);
    WriteTextU16(w, a.label, TextEnd::ZeroEnded);
    if (version >= 2) w.I32(a.analyzerValue3);
    if (version >= 4) WriteTextU16(w, a.label2, TextEnd::ZeroEnded);
    const CMTimeWindowProperty& t = image.timeWindow;
    if (version >= 2) {
        w.U32(t.windowValue);
        w.F32(t.windowStart);
        w.F32(t.windowEnd);
        w.U16(t.firstChannel);
        w.U16(t.secondChannel);
    }
    if (version >= 4) {
        WriteTextI32(w, t.firstLabel, TextEnd::Counted);
        WriteTextI32(w, t.secondLabel, TextEnd::Counted);
    }
    if (version >= 5) w.I32(a.analyzerValue4);
    return out;
}

}  // namespace qrd
