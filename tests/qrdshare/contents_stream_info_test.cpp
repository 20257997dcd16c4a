// Stream info objects built from settings blocks: marker checks, every
// layout and version, the trigger fields that depend on the application
// version of the recording, and blocks that end early.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "container/le_codec.h"
#include "contents/channel_tool_property.h"
#include "contents/filter_property.h"
#include "contents/info_average.h"
#include "contents/info_param.h"
#include "contents/info_spike.h"
#include "contents/info_spike_parameter.h"
#include "contents/info_trigger.h"
#include "contents/settings_writer.h"
#include "contents/stream_info_factory.h"

namespace qrd {
namespace {

std::unique_ptr<InfoObject> Create(const char* type, const SettingsBytes& bytes, uint32_t version,
                                   uint16_t appMajor = 3) {
    StreamInfoInput in;
    in.typeName = type;
    in.settings = bytes.empty() ? nullptr : bytes.data();
    in.settingsLength = bytes.size();
    in.streamVersion = version;
    in.appMajorVersion = appMajor;
    in.adcBits = 12;
    in.adcZero = 2048;
    in.unitStep = 0.0005;
    return CreateStreamInfo(in);
}

template <class T>
const T* As(const std::unique_ptr<InfoObject>& info) {
    return InfoCast<T>(info.get());
}

CMMEATriggerProperty SampleTrigger() {
    CMMEATriggerProperty p;
    p.setting1 = 11;
    p.threshold = -2345;
    p.eventValue = -7;
    p.channel = 0x12345;
    p.inputStreamSelector = 1;
    p.setting14 = 14;
    p.flag1 = true;
    p.setting15 = 15;
    p.inputStreamTag = "filt0002";
    p.setting17 = 17;
    p.flag2 = true;
    p.setting18 = 18;
    p.text2 = "two";
    p.text3 = "three";
    return p;
}

TEST(TriggerInfo, CurrentLayoutFollowsTheRecordingsApplicationVersion) {
    const CMMEATriggerProperty p = SampleTrigger();
    auto full = Create("trigger", WriteTriggerSettings(p, 4, 3), 4, 3);
    const CQRVAInfoTrigger* t = As<CQRVAInfoTrigger>(full);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->GetEventValue(), -7);
    EXPECT_EQ(t->GetThreshold(), -234);
    EXPECT_EQ(t->GetTriggerChannel(), 0x12345);
    EXPECT_EQ(t->GetSetting1(), 11);
    EXPECT_EQ(t->GetProperty().setting14, 14);
    EXPECT_TRUE(t->GetFlag1());
    EXPECT_EQ(t->GetInputStreamTag(), "filt0002");
    EXPECT_EQ(t->GetSetting17(), 17);
    EXPECT_TRUE(t->GetFlag2());
    EXPECT_EQ(t->GetProperty().setting18, 18);
    EXPECT_EQ(t->GetText3(), "three");

    // Written by application 2: the late fields are not there and not read,
    // even when bytes follow; the version comes from this recording alone.
    for (uint32_t version : {3u, 4u}) {
        SettingsBytes bytes = WriteTriggerSettings(p, version, 2);
        bytes.resize(bytes.size() + 20, 0xAB);
        auto old = Create("trigger", bytes, version, 2);
        const CQRVAInfoTrigger* o = As<CQRVAInfoTrigger>(old);
        ASSERT_TRUE(o) << version;
        EXPECT_FALSE(o->GetFlag2());
        EXPECT_EQ(o->GetProperty().setting18, -1);
        EXPECT_EQ(o->GetText2(), "");
        EXPECT_EQ(o->GetText3(), "");
        EXPECT_EQ(o->GetSetting17(), 17);
    }
    // Version 3 never has them, whatever the application.
    auto v3 = Create("trigger", WriteTriggerSettings(p, 4, 3), 3, 3);
    ASSERT_TRUE(As<CQRVAInfoTrigger>(v3));
    EXPECT_EQ(As<CQRVAInfoTrigger>(v3)->GetText2(), "");
}

TEST(TriggerInfo, OldImageLayoutNamesTheInputStream) {
    const CMMEATriggerProperty p = SampleTrigger();
    auto info = Create("trigger", WriteTriggerSettings(p, 2, 3), 2);
    const CQRVAInfoTrigger* t = As<CQRVAInfoTrigger>(info);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->GetInputStreamTag(), "anlg0001");
    EXPECT_EQ(t->GetEventValue(), -7);
    EXPECT_EQ(t->GetProperty().setting14, 14);
    EXPECT_FALSE(t->GetFlag1());
    EXPECT_EQ(t->GetSetting15(), 0);
    EXPECT_EQ(t->GetSetting16(), 1);
    EXPECT_EQ(t->GetSetting17(), 65535);
    EXPECT_EQ(t->GetProperty().setting18, -1);

    // A short image reaches only the first settings; the rest keep defaults.
    CMMEATriggerProperty q = p;
    q.inputStreamSelector = 2;
    auto shortImage = Create("trigger", WriteTriggerSettings(q, 0, 3, 8 + 4 * 7), 0);
    ASSERT_TRUE(As<CQRVAInfoTrigger>(shortImage));
    EXPECT_EQ(As<CQRVAInfoTrigger>(shortImage)->GetEventValue(), -7);     // setting 7, reached
    EXPECT_EQ(As<CQRVAInfoTrigger>(shortImage)->GetTriggerChannel(), 0);  // setting 8, not reached
    EXPECT_EQ(As<CQRVAInfoTrigger>(shortImage)->GetInputStreamTag(), "");  // selector stays 65535

    q.inputStreamSelector = 0;
    EXPECT_EQ(As<CQRVAInfoTrigger>(Create("trigger", WriteTriggerSettings(q, 1, 3), 1))->GetInputStreamTag(),
              "elec0001");
}

TEST(StreamInfo, MarkersAndTypesDecideWhatIsBuilt) {
    const SettingsBytes trigger = WriteTriggerSettings(SampleTrigger(), 5, 3);
    SettingsBytes wrongMarker = trigger;
    std::memcpy(wrongMarker.data(), "PARAMSPK", 8);
    EXPECT_FALSE(Create("trigger", wrongMarker, 5));
    EXPECT_FALSE(Create("spikes", trigger, 5));
    EXPECT_FALSE(Create("analog", trigger, 5));
    EXPECT_FALSE(Create("digital", trigger, 5));
    EXPECT_FALSE(Create("unknown", trigger, 5));
    EXPECT_FALSE(Create("trigger", SettingsBytes(), 5));
    EXPECT_FALSE(Create("trigger", SettingsBytes(trigger.begin(), trigger.begin() + 7), 5));
    auto upper = Create("TRIGGER", trigger, 5);
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->GetKind(), InfoKind::InfoTrigger);
}

TEST(StreamInfo, SettingsObjectsRoundTrip) {
    CMChannelToolProperty tool;
    tool.toolValue = 513;
    tool.firstText = std::string("a\0b", 3);  // counted texts keep every byte
    tool.secondText = "second";
    auto chat = Create("chat", WriteChannelToolSettings(tool), 7);
    const CMChannelToolProperty* c = As<CMChannelToolProperty>(chat);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->GetToolValue(), 513);
    EXPECT_EQ(c->GetFirstText(), tool.firstText);
    EXPECT_EQ(c->GetSecondText(), "second");

    CMFilterProperty filter;
    filter.SetCutoffs(10.0f, 3000.0f, 51.0, 3.0, "Chebyshev 2nd order 1.0 dB", 3);
    filter.coefficients = {0.5, -0.25};
    filter.windowPointsBefore = 7;
    filter.resonatorFlag = true;
    filter.resonatorCount = 9;
    for (uint32_t v : {0u, 1u, 2u, 3u}) {
        auto made = Create("filter", WriteFilterSettings(filter, v), v);
        const CMFilterProperty* f = As<CMFilterProperty>(made);
        ASSERT_TRUE(f) << v;
        EXPECT_EQ(f->GetCutoff2(), 3000);
        EXPECT_EQ(f->cutoffUnits, filter.cutoffUnits);
        EXPECT_EQ(f->GetFilterTypeIndex(), 4);
        EXPECT_EQ(f->coefficients.size(), v >= 1 ? 2u : 0u);
        EXPECT_EQ(f->GetWindowPointsBefore(), v >= 1 ? 7 : 4);
        EXPECT_EQ(f->GetResonatorCount(), v >= 3 ? 9 : 100);
        EXPECT_EQ(f->GetResonatorFlag(), v >= 3);
    }
    // The two unused lists of version 0 are skipped over by their counts.
    SettingsBytes v0 = WriteFilterSettings(filter, 0);
    const size_t lists = v0.size() - 8;
    v0.resize(lists);
    LeWriter w(v0);
    w.I32(2);
    w.U32(1);
    w.U32(2);
    w.I32(1);
    w.U32(3);
    EXPECT_TRUE(As<CMFilterProperty>(Create("filter", v0, 0)));
    v0.pop_back();
    EXPECT_FALSE(Create("filter", v0, 0));
}

TEST(StreamInfo, AverageBlockIsCheckedAgainstItsLength) {
    CMEvokedProperty evoked;
    evoked.value1 = 0xBEEF;
    evoked.value2 = 0x80000001u;
    evoked.label = "mean 3";
    evoked.GetTimeWindow().firstLabel = "window";
    evoked.GetTimeWindow().firstChannel = 21;
    evoked.GetTimeWindow().windowStart = -0.01f;
    evoked.GetTimeWindow().windowEnd = 0.05f;
    const SettingsBytes bytes = WriteAverageSettings(evoked);
    auto made = Create("average", bytes, 3);
    const CQRVAInfoAverage* a = As<CQRVAInfoAverage>(made);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->GetLabel(), "mean 3");
    EXPECT_EQ(a->GetValue1(), 0xBEEF);
    EXPECT_EQ(a->GetProperty().value2, 0x80000001u);
    EXPECT_EQ(a->GetWindowStart(), -0.01f);
    EXPECT_EQ(a->GetWindowEnd(), 0.05f);
    EXPECT_EQ(a->GetProperty().GetTimeWindow().secondLabel, "window");
    EXPECT_EQ(a->GetProperty().GetTimeWindow().secondChannel, 21);

    // Cut inside the second label: 8 + 8 + (4 + 7) + 4 + 3 bytes.
    EXPECT_FALSE(Create("average", SettingsBytes(bytes.begin(), bytes.begin() + 34), 3));
    // A label length larger than what is left.
    SettingsBytes longLabel = bytes;
    PutI32(longLabel.data(), 16, 1000);
    EXPECT_FALSE(Create("average", longLabel, 3));
    PutI32(longLabel.data(), 16, -1);
    EXPECT_FALSE(Create("average", longLabel, 3));
}

TEST(StreamInfo, SpikeAndBurstParameterTables) {
    CMSpikeAnalyzerProperty spike;
    spike.parameters.descriptors[1].name = "Frequency";
    spike.parameters.descriptors[1].selected = 1;
    spike.parameters.listValues = {{5, 6, 7, 8}};
    spike.parameters.label = "spk";
    spike.parameters.modeValue = 3;
    auto s = Create("spkparam", WriteSpikeParameterSettings(spike), 2);
    const CQRVAInfoSpikeParameter* sp = As<CQRVAInfoSpikeParameter>(s);
    ASSERT_TRUE(sp);
    EXPECT_EQ(sp->GetName(1), "Frequency");
    EXPECT_TRUE(sp->IsSelected(1));
    EXPECT_EQ(sp->GetUnitText(1), "Hz");
    EXPECT_EQ(sp->GetListValue(3), 8);
    EXPECT_EQ(sp->GetLabel(), "spk");
    EXPECT_EQ(sp->GetModeValue(), 3);

    CMBurstAnalyzerProperty burst;
    burst.burstValues = {{1, 2, 3, 4, 5}};
    auto b = Create("bstparam", WriteBurstParameterSettings(burst), 2);
    const CQRVAInfoBurstParameter* bp = As<CQRVAInfoBurstParameter>(b);
    ASSERT_TRUE(bp);
    EXPECT_EQ(bp->GetName(0), "Marker");
    EXPECT_EQ(bp->GetBurstValue(5), 5);
    EXPECT_EQ(bp->GetBurstValue(6), 0);

    // Five descriptors and six list values: the tables keep 3 and 4, and the
    // fields after them are still found.
    SettingsBytes big;
    LeWriter w(big);
    w.Bytes("PARAMSPP", 8);
    w.I32(5);
    for (int i = 0; i < 5; ++i) {
        w.F32(0);
        w.F32(1);
        w.I32(1);
        w.F64(2.0);
        w.I32(-3);
        w.I32(1);
        const std::string name = "P" + std::to_string(i);
        w.I32(static_cast<int32_t>(name.size()));
        w.Bytes(name.data(), name.size());
    }
    w.I32(6);
    for (int i = 0; i < 6; ++i) w.I32(100 + i);
    w.I32(2);
    w.Bytes("ok", 2);
    w.I32(42);
    auto many = Create("spkparam", big, 2);
    ASSERT_TRUE(As<CQRVAInfoSpikeParameter>(many));
    EXPECT_EQ(As<CQRVAInfoSpikeParameter>(many)->GetName(2), "P2");
    EXPECT_EQ(As<CQRVAInfoSpikeParameter>(many)->GetListValue(3), 103);
    EXPECT_EQ(As<CQRVAInfoSpikeParameter>(many)->GetLabel(), "ok");
    EXPECT_EQ(As<CQRVAInfoSpikeParameter>(many)->GetModeValue(), 42);
    PutI32(big.data(), 8, -1);
    EXPECT_FALSE(Create("spkparam", big, 2));
}

TEST(SpikeInfo, CurrentLayouts) {
    SpikeDetectorSettings s;
    s.detectorValues = {{1, 2, 3, 4}};
    s.windowTimes = {{500, 1000, 2500}};
    s.inputStreamTag = "filt0001";
    SpikeChannelEntry e;
    e.channelKey = 17;
    e.threshold1 = -0.0002f;
    e.mode = 2;
    SpikeUnitEntry u;
    u.unitKey = 4;
    u.values = {{1, 2, 3, 4, 5}};
    e.units[4] = u;
    s.channels.push_back(e);
    e.channelKey = 18;
    e.units.clear();
    s.channels.push_back(e);

    for (uint32_t v : {5u, 6u, 7u, 8u}) {
        auto made = Create("spikes", WriteSpikeSettings(s, v), v);
        const CQRVAInfoSpike* info = As<CQRVAInfoSpike>(made);
        ASSERT_TRUE(info) << v;
        EXPECT_EQ(info->GetDetectorValue(1), 1);
        EXPECT_EQ(info->GetDetectorValue(2), 2);
        EXPECT_EQ(info->GetDetectorValue(4), 4);
        EXPECT_EQ(info->GetWindowTime(1), 500);  // 0.0005 s stored as f32 in 5 and 6
        EXPECT_EQ(info->GetWindowTime(3), 2500);
        EXPECT_EQ(info->GetInputStreamTag(), "filt0001");
        ASSERT_EQ(info->GetChannelEntries().size(), 2u);
        const SpikeChannelEntry* c = info->FindChannelEntry(17);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->threshold1, -0.0002f);
        EXPECT_EQ(c->mode, 2);
        ASSERT_EQ(c->units.count(4), 1u);
        EXPECT_EQ(c->units.at(4).values[4], 5);
        EXPECT_EQ(info->FindChannelEntry(19), nullptr);
        EXPECT_TRUE(info->GetValueList().empty());
    }
}

TEST(SpikeInfo, OldLayoutsAreBuiltFromTriggerDetectors) {
    CMMEATriggerProperty t1 = SampleTrigger();
    t1.setting1 = 2;
    t1.setting3 = 1;
    t1.setting4 = 4;
    t1.channel = 0x10005;
    t1.threshold = -1500;
    t1.eventValue = 3;
    CMMEATriggerProperty t2;
    t2.channel = 6;

    // Version 4: the stored words are used as they are.
    auto v4 = Create("spikes", WriteOldSpikeSettings({t1, t2}, 3000000, 1000000, 2000000, 4, 3), 4, 3);
    const CQRVAInfoSpike* i4 = As<CQRVAInfoSpike>(v4);
    ASSERT_TRUE(i4);
    EXPECT_EQ(i4->GetWindowTime(1), 1);
    EXPECT_EQ(i4->GetWindowTime(2), 2);
    EXPECT_EQ(i4->GetWindowTime(3), 3);
    EXPECT_EQ(i4->GetInputStreamTag(), "filt0002");
    ASSERT_TRUE(i4->FindChannelEntry(5));
    EXPECT_FLOAT_EQ(i4->FindChannelEntry(5)->threshold1, -0.00015f);
    EXPECT_EQ(i4->FindChannelEntry(5)->mode, 3);
    EXPECT_EQ(i4->FindChannelEntry(6)->mode, 1);
    EXPECT_EQ(i4->FindChannelEntry(6)->value3, 0.2f);

    // Version 4 from application 2 embeds shorter trigger blocks.
    EXPECT_TRUE(As<CQRVAInfoSpike>(Create("spikes", WriteOldSpikeSettings({t1}, 0, 0, 0, 4, 2), 4, 2)));

    // Version 3: the times come from the first trigger's settings.
    auto v3 = Create("spikes", WriteOldSpikeSettings({t1}, 9, 9, 9, 3, 3), 3);
    ASSERT_TRUE(As<CQRVAInfoSpike>(v3));
    EXPECT_EQ(As<CQRVAInfoSpike>(v3)->GetWindowTime(1), 1);
    EXPECT_EQ(As<CQRVAInfoSpike>(v3)->GetWindowTime(2), 3);
    EXPECT_EQ(As<CQRVAInfoSpike>(v3)->GetWindowTime(3), 2);

    // Versions 1 and 2: an implausible b becomes one second; old images name
    // the input stream by selector.
    auto v2 = Create("spikes", WriteOldSpikeSettings({t1}, 0, 200000000, 0, 2, 3), 2);
    ASSERT_TRUE(As<CQRVAInfoSpike>(v2));
    EXPECT_EQ(As<CQRVAInfoSpike>(v2)->GetWindowTime(1), 1);
    EXPECT_EQ(As<CQRVAInfoSpike>(v2)->GetInputStreamTag(), "anlg0001");

    auto v0 = Create("spikes", WriteOldSpikeSettings({t1}, 5000000, 5000000, 5000000, 0, 3), 0);
    ASSERT_TRUE(As<CQRVAInfoSpike>(v0));
    EXPECT_TRUE(As<CQRVAInfoSpike>(v0)->GetChannelEntries().empty());
    EXPECT_EQ(As<CQRVAInfoSpike>(v0)->GetWindowTime(1), 0);

    // A count far beyond the bytes is refused before anything is read.
    SettingsBytes huge = WriteOldSpikeSettings({t1}, 0, 0, 0, 4, 3);
    PutU32(huge.data(), 8, 0xFFFFFFFFu);
    EXPECT_FALSE(Create("spikes", huge, 4, 3));
}

// Every block cut short at every length yields no info (no partial objects),
// and nothing reads past the bytes it was given.
TEST(StreamInfo, TruncatedBlocksGiveNoInfo) {
    SpikeDetectorSettings spikes;
    spikes.channels.resize(2);
    spikes.channels[0].units[1] = SpikeUnitEntry();
    spikes.inputStreamTag = "x";
    CMFilterProperty filter;
    filter.SetCutoffs(1, 2, 3, 4, "Bessel 2nd order", 3);
    CMChannelToolProperty tool;
    tool.firstText = "abc";
    struct Case {
        const char* type;
        uint32_t version;
        SettingsBytes bytes;
    };
    const Case cases[] = {
        {"trigger", 5, WriteTriggerSettings(SampleTrigger(), 5, 3)},
        {"trigger", 2, WriteTriggerSettings(SampleTrigger(), 2, 3)},
        {"chat", 0, WriteChannelToolSettings(tool)},
        {"filter", 3, WriteFilterSettings(filter, 3)},
        {"filter", 0, WriteFilterSettings(filter, 0)},
        {"average", 0, WriteAverageSettings(CMEvokedProperty())},
        {"spkparam", 0, WriteSpikeParameterSettings(CMSpikeAnalyzerProperty())},
        {"bstparam", 0, WriteBurstParameterSettings(CMBurstAnalyzerProperty())},
        {"spikes", 6, WriteSpikeSettings(spikes, 6)},
        {"spikes", 8, WriteSpikeSettings(spikes, 8)},
        {"spikes", 4, WriteOldSpikeSettings({SampleTrigger(), SampleTrigger()}, 1, 2, 3, 4, 3)},
        {"spikes", 1, WriteOldSpikeSettings({SampleTrigger()}, 1, 2, 3, 1, 3)},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Create(c.type, c.bytes, c.version)) << c.type << " v" << c.version;
        for (size_t n = 0; n < c.bytes.size(); ++n) {
            // A heap copy of exactly n bytes, so the sanitizer sees any overrun.
            std::unique_ptr<uint8_t[]> cut(new uint8_t[n ? n : 1]);
            if (n) std::memcpy(cut.get(), c.bytes.data(), n);
            StreamInfoInput in;
            in.typeName = c.type;
            in.settings = cut.get();
            in.settingsLength = n;
            in.streamVersion = c.version;
            in.appMajorVersion = 3;
            EXPECT_FALSE(CreateStreamInfo(in)) << c.type << " v" << c.version << " cut at " << n;
        }
    }
}

}  // namespace
}  // namespace qrd
