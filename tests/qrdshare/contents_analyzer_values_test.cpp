// Parameter analyzer settings: decoding the "params" block, completing the
// descriptor table, and decoding per-channel values of analyzer records.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "container/le_codec.h"
#include "contents/info_param.h"
#include "contents/settings_writer.h"
#include "contents/stream_info_factory.h"

namespace qrd {
namespace {

std::array<bool, kAnalyzerKindCount> Kinds(std::initializer_list<int> on) {
    std::array<bool, kAnalyzerKindCount> kinds{};
    for (int k : on) kinds[static_cast<size_t>(k)] = true;
    return kinds;
}

AdcFormat Adc16() {
    AdcFormat adc;
    adc.bits = 16;
    adc.zero = 32768;
    adc.unitStep = 0.0001;
    return adc;
}

std::unique_ptr<CQRVAInfoParam> DecodeParams(const SettingsBytes& bytes, uint32_t version,
                                             const AdcFormat& adc = Adc16()) {
    StreamInfoInput in;
    in.typeName = "params";
    in.settings = bytes.data();
    in.settingsLength = bytes.size();
    in.streamVersion = version;
    in.adcBits = adc.bits;
    in.adcZero = adc.zero;
    in.unitStep = adc.unitStep;
    std::unique_ptr<InfoObject> info = CreateStreamInfo(in);
    if (!InfoCast<CQRVAInfoParam>(info.get())) return nullptr;
    return std::unique_ptr<CQRVAInfoParam>(static_cast<CQRVAInfoParam*>(info.release()));
}

// A descriptor table with the given kinds selected, as completion leaves it.
AnalyzerDescriptorTable Selected(std::initializer_list<int> on) {
    AnalyzerDescriptorTable table;
    for (int k : on) table[static_cast<size_t>(k)].selected = 1;
    return table;
}

TEST(ParamSettings, DecodesAndCompletesTheTables) {
    ParamSettingsImage image = MakeParamSettings(Kinds({0, 2, 8, 9}), 1);
    image.analyzer.label = "Analyzer A";
    image.analyzer.label2 = "second";
    image.analyzer.analyzerValue4 = 77;
    image.timeWindow.windowStart = -5.0f;
    image.timeWindow.firstLabel = "pre";
    image.descriptors[14].name = "spare";
    image.descriptors[14].exponent = 4;
    std::unique_ptr<CQRVAInfoParam> info = DecodeParams(WriteParamSettings(image, 5), 5);
    ASSERT_TRUE(info);

    EXPECT_EQ(info->GetBytesPerChannel(), 4 + 8 + 2 + 4);
    EXPECT_EQ(info->GetAnalyzer().GetSelectedBytes(), 18);
    EXPECT_EQ(info->GetPosition(0), 0);
    EXPECT_EQ(info->GetPosition(1), -1);
    EXPECT_EQ(info->GetPosition(2), 1);
    EXPECT_EQ(info->GetPosition(9), 3);
    EXPECT_EQ(info->GetPosition(99), -1);
    EXPECT_EQ(info->GetDescriptor(15), nullptr);
    EXPECT_EQ(info->GetAnalyzer().label, "Analyzer A");
    EXPECT_EQ(info->GetAnalyzer().label2, "second");
    EXPECT_EQ(info->GetAnalyzer().analyzerValue4, 77);
    EXPECT_EQ(info->GetTimeWindow().windowStart, -5.0f);
    EXPECT_EQ(info->GetTimeWindow().firstLabel, "pre");

    // ADC range of a 16-bit converter around 32768 at 0.1 mV per step:
    // -3.2768 V and 3.2767 V, rounded outward to one digit, in microvolts.
    const ParameterDescriptor& min = *info->GetDescriptor(0);
    EXPECT_EQ(min.name, "Min");
    EXPECT_EQ(min.selected, 1);
    EXPECT_FLOAT_EQ(min.rangeMin, -4.0f * 1000000.0f);
    EXPECT_FLOAT_EQ(min.rangeMax, 4.0f * 1000000.0f);
    const ParameterDescriptor& height = *info->GetDescriptor(4);
    EXPECT_EQ(height.rangeMin, 0.0f);
    EXPECT_FLOAT_EQ(height.rangeMax, 4.0f * 1000000.0f);
    EXPECT_EQ(height.selected, 0);
    EXPECT_EQ(info->GetDescriptor(2)->exponent, -3);
    EXPECT_EQ(info->GetDescriptor(2)->scale, 1000.0);
    EXPECT_EQ(info->GetDescriptor(13)->name, "Slope 30%-70");
    EXPECT_EQ(info->GetDescriptor(14)->name, "spare");  // kind 14 keeps what was stored
    EXPECT_EQ(info->GetDescriptor(14)->exponent, 4);

    // Copies of the info decode records alike, whichever way they are made.
    ParamSettingsImage other = MakeParamSettings(Kinds({1}), 1);
    other.widths[1] = 2;
    std::unique_ptr<CQRVAInfoParam> assigned = DecodeParams(WriteParamSettings(other, 5), 5);
    ASSERT_TRUE(assigned);
    *assigned = *info;
    const CQRVAInfoParam copied(*info);
    std::vector<uint8_t> record(18, 0x01);
    std::vector<float> a, b, c;
    ASSERT_TRUE(info->GetChannelValues(0, record.data(), record.size(), 1, Adc16(), 5, a));
    ASSERT_TRUE(assigned->GetChannelValues(0, record.data(), record.size(), 1, Adc16(), 5, b));
    ASSERT_TRUE(copied.GetChannelValues(0, record.data(), record.size(), 1, Adc16(), 5, c));
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
    EXPECT_EQ(a.size(), 4u);
}

TEST(ParamSettings, TimeModeZeroKeepsStoredTMaxScaleFields) {
    ParamSettingsImage image = MakeParamSettings(Kinds({3}), 0);
    image.descriptors[3].exponent = -9;
    image.descriptors[3].rangeMax = 123.0f;
    std::unique_ptr<CQRVAInfoParam> info = DecodeParams(WriteParamSettings(image, 2), 2);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->GetDescriptor(2)->exponent, 6);
    EXPECT_EQ(info->GetDescriptor(2)->unitKind, 2);
    EXPECT_EQ(info->GetDescriptor(3)->exponent, -9);
    EXPECT_EQ(info->GetDescriptor(3)->rangeMax, 123.0f);
    EXPECT_EQ(info->GetDescriptor(3)->scale, 0.000000001);
    EXPECT_EQ(info->GetPosition(3), 0);
}

TEST(ParamSettings, RejectsBlocksWithoutTheirTablesOrCutShort) {
    const SettingsBytes good = WriteParamSettings(MakeParamSettings(Kinds({0, 1}), 1), 4);
    SettingsBytes noWidths = good;
    std::memcpy(noWidths.data(), "FMTBLPAX", 8);
    EXPECT_FALSE(DecodeParams(noWidths, 4));
    SettingsBytes noPositions = good;
    noPositions[8 + 2 + 15 * 4] = 'X';
    EXPECT_FALSE(DecodeParams(noPositions, 4));
    EXPECT_FALSE(DecodeParams(SettingsBytes(), 4));

    // Every cut fails, except the one right after the analyzer label's length,
    // which delivers the info as stored, without completing it.
    // Behind the label's length: label "" (1 byte), value 3, label 2 (u16 + 1),
    // time window (16), two empty window labels (2 x i32).
    const size_t labelLengthEnd = good.size() - 1 - 4 - 3 - 16 - 8;
    for (size_t n = 0; n < good.size(); ++n) {
        SettingsBytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        std::unique_ptr<CQRVAInfoParam> info = DecodeParams(cut, 4);
        if (n == labelLengthEnd) {
            ASSERT_TRUE(info) << n;
            EXPECT_EQ(info->GetDescriptor(0)->name, "Min");
            EXPECT_EQ(info->GetDescriptor(0)->rangeMax, 0.0f);  // not completed
            EXPECT_EQ(info->GetBytesPerChannel(), 8);
        } else {
            EXPECT_FALSE(info) << "cut at " << n;
        }
    }
}

TEST(ParamSettings, VersionZeroAndOversizedTables) {
    ParamSettingsImage image = MakeParamSettings(Kinds({0}), 1);
    std::unique_ptr<CQRVAInfoParam> v0 = DecodeParams(WriteParamSettings(image, 0), 0);
    ASSERT_TRUE(v0);
    EXPECT_EQ(v0->GetAnalyzer().label, "not recorded");
    EXPECT_EQ(v0->GetPosition(0), -1);  // nothing was selected in the analyzer
    EXPECT_EQ(v0->GetBytesPerChannel(), 4);  // ...but the stored positions still size the blocks

    // Twenty entries per table: the extras are read past and dropped.
    image.widths.resize(20, 4);
    image.positions.resize(20, 7);
    image.descriptors.resize(20);
    image.analyzer.label = "after";
    std::unique_ptr<CQRVAInfoParam> big = DecodeParams(WriteParamSettings(image, 1), 1);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->GetAnalyzer().label, "after");
    EXPECT_EQ(big->GetPosition(15), 7);     // the spare slot takes the 16th position
    EXPECT_EQ(big->GetBytesPerChannel(), 4);  // only kinds 0-14 have widths
}

TEST(AnalyzerValues, DecodesEachKindWithItsRule) {
    CMIAnalyzerProperty analyzer;
    analyzer.byteWidths[0] = 2;
    const AnalyzerDescriptorTable table = Selected({0, 1, 2, 5, 6, 7, 8, 9, 10});
    std::vector<uint8_t> block;
    LeWriter w(block);
    w.U16(0xFFFF);                  // kind 0, width 2: missing
    w.I32(32768 + 100);             // kind 1, width 4
    w.U64(2500000);                 // kind 2: ns -> ms
    w.U64(1000000000000ull + 1);    // kind 5: beyond 10^12, seconds
    w.I32(32768 - 10);              // kind 6
    w.I32(0);                       // kind 7: missing
    w.U16(12);                      // kind 8
    w.I32(40);                      // kind 9, old versions: an integer
    w.F32(-0.5f);                   // kind 10
    ASSERT_EQ(block.size(), 2u + 4 + 8 + 8 + 4 + 4 + 2 + 4 + 4);
    const auto bpc = static_cast<uint16_t>(block.size());

    std::vector<float> values;
    ASSERT_TRUE(analyzer.DecodeChannelValues(0, block.data(), block.size(), 1, bpc, table, Adc16(), 2, values));
    ASSERT_EQ(values.size(), 9u);
    EXPECT_EQ(values[0], 3.4028235e38f);
    EXPECT_FLOAT_EQ(values[1], 100 * 0.0001f);
    EXPECT_FLOAT_EQ(values[2], 2.5f);
    EXPECT_EQ(values[3], 1000.0f);
    EXPECT_FLOAT_EQ(values[4], -10 * 0.0001f);
    EXPECT_EQ(values[5], kMissingParameterValue);
    EXPECT_EQ(values[6], 12.0f);
    EXPECT_EQ(values[7], 40.0f);
    EXPECT_EQ(values[8], -0.5f);

    // From version 3 on the rate is a stored float.
    PutF32(block.data(), 2 + 4 + 8 + 8 + 4 + 4 + 2, 2.75f);
    ASSERT_TRUE(analyzer.DecodeChannelValues(0, block.data(), block.size(), 1, bpc, table, Adc16(), 3, values));
    EXPECT_EQ(values[7], 2.75f);
}

TEST(AnalyzerValues, WidthRuleAtTheBoundaryAndChannelSelection) {
    CMIAnalyzerProperty analyzer;  // kind 0 width 4, kind 5 width 8
    const AnalyzerDescriptorTable table = Selected({0, 5});
    std::vector<uint8_t> blocks;
    LeWriter w(blocks);
    w.I32(-1);
    w.U64(1000000000000ull);   // channel 0: exactly 10^12 stays as it is
    w.I32(32768);
    w.U64(7);                  // channel 1
    std::vector<float> values(5, 9.0f);
    ASSERT_TRUE(analyzer.DecodeChannelValues(0, blocks.data(), blocks.size(), 2, 12, table, Adc16(), 5, values));
    EXPECT_EQ(values.size(), 5u);  // long enough already: entries 0 and 1 overwritten
    EXPECT_EQ(values[0], kMissingParameterValue);
    EXPECT_EQ(values[1], 1000000000000.0f);
    EXPECT_EQ(values[2], 9.0f);
    ASSERT_TRUE(analyzer.DecodeChannelValues(1, blocks.data(), blocks.size(), 2, 12, table, Adc16(), 5, values));
    EXPECT_EQ(values[0], 0.0f);
    EXPECT_EQ(values[1], 7.0f);

    std::vector<float> untouched;
    EXPECT_FALSE(analyzer.DecodeChannelValues(2, blocks.data(), blocks.size(), 2, 12, table, Adc16(), 5, untouched));
    EXPECT_FALSE(analyzer.DecodeChannelValues(0, blocks.data(), blocks.size(), 2, 12, Selected({}), Adc16(), 5,
                                              untouched));
    // A record shorter than its channel blocks, or widths that lead a value
    // outside its channel's block, fail instead of reading beyond.
    EXPECT_FALSE(analyzer.DecodeChannelValues(1, blocks.data(), 20, 2, 12, table, Adc16(), 5, untouched));
    CMIAnalyzerProperty odd;
    odd.byteWidths[0] = -4;
    EXPECT_FALSE(odd.DecodeChannelValues(1, blocks.data(), blocks.size(), 2, 12, table, Adc16(), 5, untouched));
    odd.byteWidths[0] = 8;
    EXPECT_FALSE(odd.DecodeChannelValues(0, blocks.data(), blocks.size(), 2, 12, table, Adc16(), 5, untouched));
    EXPECT_TRUE(untouched.empty());

    // Kinds without a decoding rule keep their entry at zero and read nothing.
    CMIAnalyzerProperty three;
    three.byteWidths[0] = 3;
    ASSERT_TRUE(three.DecodeChannelValues(0, blocks.data(), blocks.size(), 1, 12, Selected({0, 14}), Adc16(), 5,
                                          untouched));
    EXPECT_EQ(untouched, (std::vector<float>{0.0f, 0.0f}));
}

}  // namespace
}  // namespace qrd
