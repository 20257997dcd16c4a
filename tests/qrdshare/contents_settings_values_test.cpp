// Settings value classes and their vocabulary: units and prefixes, one-digit
// rounding, filter cutoffs, and the copy rules of the settings family.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "contents/analyzer_property.h"
#include "contents/evoked_property.h"
#include "contents/filter_property.h"
#include "contents/realtime_feedback_property.h"
#include "contents/settings_units.h"
#include "contents/spike_burst_analyzer_property.h"
#include "contents/time_window_property.h"

namespace qrd {
namespace {

ParameterDescriptor WithUnit(int32_t unitKind) {
    ParameterDescriptor d;
    d.unitKind = unitKind;
    return d;
}

TEST(SettingsUnits, PrefixedUnitTexts) {
    EXPECT_EQ(GetPrefixedUnitText(WithUnit(0), -6), "\xB5V");  // micro is one 8-bit byte
    EXPECT_EQ(std::string(GetPrefix(-6)).size(), 1u);
    EXPECT_EQ(GetPrefixedUnitText(WithUnit(4), -15), "Vs");   // -15 has no prefix
    EXPECT_EQ(GetPrefixedUnitText(WithUnit(7), -3), "mV/s");
    EXPECT_EQ(GetPrefixedUnitText(WithUnit(5), 3), "kHz");
    EXPECT_EQ(GetPrefixedUnitText(WithUnit(99), 9), "G");
    EXPECT_EQ(GetPrefixedUnitText(WithUnit(-1), 2), "");
    EXPECT_EQ(GetDefaultExponent(4), -15);
    EXPECT_EQ(GetDefaultExponent(8), -6);
    EXPECT_EQ(GetDefaultExponent(9), 0);
    EXPECT_STREQ(GetPassTypeName(4), "Band Stop");
    EXPECT_STREQ(GetPassTypeName(5), "Unknown");
    EXPECT_STREQ(GetPassTypeName(-1), "Unknown");
}

TEST(SettingsUnits, RoundToOneDigitRoundsAwayFromZero) {
    EXPECT_FLOAT_EQ(RoundToOneDigit(0.23f), 0.3f);
    EXPECT_FLOAT_EQ(RoundToOneDigit(-0.23f), -0.3f);
    EXPECT_FLOAT_EQ(RoundToOneDigit(47.0f), 50.0f);
    EXPECT_FLOAT_EQ(RoundToOneDigit(-0.0042f), -0.005f);
    EXPECT_FLOAT_EQ(RoundToOneDigit(9.1f), 10.0f);
    EXPECT_FLOAT_EQ(RoundToOneDigit(-9.1f), -10.0f);
    EXPECT_FLOAT_EQ(RoundToOneDigit(100.0f), 100.0f);   // already one digit
    EXPECT_FLOAT_EQ(RoundToOneDigit(0.1f), 0.1f);
    EXPECT_FLOAT_EQ(RoundToOneDigit(-3276.8f), -4000.0f);
    EXPECT_EQ(RoundToOneDigit(0.0f), 0.0f);
    // Extremes neither hang nor leave the float range by undefined means.
    EXPECT_EQ(RoundToOneDigit(std::numeric_limits<float>::infinity()), std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(RoundToOneDigit(std::nanf(""))));
    EXPECT_EQ(RoundToOneDigit(3.3e38f), std::numeric_limits<float>::infinity());
    EXPECT_FLOAT_EQ(RoundToOneDigit(1.5e-40f), 2e-40f);
}

TEST(FilterProperty, CutoffsFollowThePassType) {
    CMFilterProperty lowPass;
    lowPass.SetCutoffs(300.9f, 5000.0f, 1.5, 2.5, "Bessel 4th order", 1);
    ASSERT_EQ(lowPass.cutoffNames.size(), 1u);
    EXPECT_EQ(lowPass.cutoffNames[0], "Cutoff Frequency");
    EXPECT_EQ(lowPass.cutoffUnits[0], "Hz");
    EXPECT_EQ(lowPass.GetCutoff1(), 300);
    EXPECT_EQ(lowPass.GetCutoff2(), -1);
    EXPECT_EQ(lowPass.GetResonatorValue1(), 1.5);
    EXPECT_STREQ(lowPass.GetPassTypeName(), "Low Pass");
    EXPECT_EQ(lowPass.GetFilterTypeIndex(), 1);

    CMFilterProperty band;
    band.SetCutoffs(45.0f, 55.5f, 50.0, 2.0, "Savitzky-Golay", 4);
    ASSERT_EQ(band.cutoffNames.size(), 2u);
    EXPECT_EQ(band.cutoffNames[0], "Lower Cutoff Frequency");
    EXPECT_EQ(band.cutoffNames[1], "Upper Cutoff Frequency");
    EXPECT_EQ(band.GetCutoff2(), 55);
    EXPECT_TRUE(band.IsSavitzkyGolay());
    EXPECT_FALSE(band.IsRecursiveType());

    CMFilterProperty none;
    EXPECT_EQ(none.GetCutoff1(), -1);
    EXPECT_EQ(none.GetWindowLength(), 9);
    none.filterTypeName = "Elliptic";
    EXPECT_EQ(none.GetFilterTypeIndex(), 2);  // unknown names count as Butterworth
    EXPECT_FALSE(none.IsRecursiveType());
    none.filterTypeName = "Bandstop Resonator";
    EXPECT_TRUE(none.IsRecursiveType());
}

TEST(SettingsCopies, AnalyzerAssignmentKeepsTheTargetsWidths) {
    CMIAnalyzerProperty source;
    source.byteWidths.fill(2);
    source.selected[3] = 1;
    source.label = "src";
    source.analyzerValue4 = 9;

    CMIAnalyzerProperty target;
    target = source;
    EXPECT_EQ(target.selected[3], 1);
    EXPECT_EQ(target.label, "src");
    EXPECT_EQ(target.analyzerValue4, 9);
    EXPECT_EQ(target.byteWidths[0], 4);  // unchanged
    EXPECT_EQ(target.byteWidths[8], 2);

    std::unique_ptr<CMIAnalyzerProperty> clone(source.Clone());
    EXPECT_EQ(clone->byteWidths[0], 2);  // a clone is equal in every field
    EXPECT_EQ(clone->label, "src");
    EXPECT_EQ(clone->GetKind(), InfoKind::IAnalyzerProperty);
}

TEST(SettingsCopies, EvokedCopiesOwnTheirTimeWindow) {
    CMEvokedProperty a;
    a.GetTimeWindow().firstLabel = "win";
    a.GetTimeWindow().windowStart = 5.0f;
    a.label = "avg";
    std::unique_ptr<CMEvokedProperty> b(a.Clone());
    CMEvokedProperty c;
    c = a;
    a.GetTimeWindow().firstLabel = "changed";
    EXPECT_EQ(b->GetTimeWindow().firstLabel, "win");
    EXPECT_EQ(c.GetTimeWindow().firstLabel, "win");
    EXPECT_EQ(c.GetTimeWindow().windowStart, 5.0f);
    EXPECT_EQ(c.label, "avg");
    EXPECT_NE(&c.GetTimeWindow(), &a.GetTimeWindow());
}

TEST(SettingsDefaults, AnalyzerTablesAndWindows) {
    CMSpikeAnalyzerProperty spike;
    EXPECT_EQ(spike.parameters.GetName(0), "ISI");
    EXPECT_TRUE(spike.parameters.IsSelected(0));
    EXPECT_EQ(spike.parameters.GetUnitText(0), "s");
    EXPECT_EQ(spike.parameters.GetExponent(0), -3);
    EXPECT_EQ(spike.parameters.GetName(2), "Timestamp");
    EXPECT_EQ(spike.parameters.GetListValue(0), 1);
    EXPECT_EQ(spike.parameters.GetName(3), "");  // outside the table
    spike.parameters.SetSelected(3, true);        // ignored, no write past the table
    spike.parameters.SetSelected(1, true);
    EXPECT_TRUE(spike.parameters.IsSelected(1));

    CMBurstAnalyzerProperty burst;
    EXPECT_EQ(burst.parameters.GetName(1), "Spike Frequency");
    EXPECT_EQ(burst.parameters.GetUnitText(2), "");
    EXPECT_EQ(burst.burstValues[3], 20000);

    CMTimeWindowProperty window;
    window.firstChannel = 3;
    window.secondLabel = "x";
    window.Reset();
    EXPECT_EQ(window.GetFirstChannel(), 0xFFFF);
    EXPECT_EQ(window.GetSecondLabel(), "");
    EXPECT_EQ(window.GetWindowEnd(), 1000.0f);

    CMRealtimeFeedbackProperty feedback;
    EXPECT_EQ(feedback.tables[3][15], 15);
    EXPECT_EQ(feedback.tables[2][15], 0);
    EXPECT_EQ(feedback.values5[2], 50);
}

}  // namespace
}  // namespace qrd
