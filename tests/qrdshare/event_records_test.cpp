// The record layouts of every event stream type, by stream header version:
// recordings written with our encoders, read back through the cursors.
#include <gtest/gtest.h>

#include <vector>

#include "contents/analyzer_property.h"
#include "contents/event_average.h"
#include "contents/event_burst_param.h"
#include "contents/event_param.h"
#include "contents/event_spike.h"
#include "contents/event_spike_param.h"
#include "contents/event_trigger.h"
#include "contents/info_param.h"
#include "contents/settings_writer.h"
#include "event_test_streams.h"

namespace qrd {
namespace {

using qrd_test::At;
using qrd_test::EventStream;
using qrd_test::OneStreamRecording;
using qrd_test::OpenRecording;

struct SpikeSeen {
    uint64_t ticks;
    uint16_t hardwareIndex, unitId, aux2;
    uint32_t aux1;
    std::vector<uint16_t> samples;
    size_t recordSize;
};

std::vector<SpikeSeen> ReadSpikes(uint16_t version, const std::vector<uint8_t>& payload) {
    OpenRecording rec(OneStreamRecording(EventStream("spikes", version, 2), {payload}));
    std::vector<SpikeSeen> seen;
    if (!rec.ok()) return seen;
    std::unique_ptr<CQRVAEvent> first = qrd_test::FirstEvent(rec.stream());
    qrd_test::WalkEvents(first.get(), [&](CQRVAEvent& e) {
        CQRVAEvtSpike* s = EventCast<CQRVAEvtSpike>(&e);
        ASSERT_NE(s, nullptr);
        SpikeSeen x{s->GetTicks(), s->GetHardwareIndex(), s->GetUnitId(), s->GetAuxValue2(), s->GetAuxValue1(),
                    {}, s->GetNextOffset() - s->GetCurrentOffset()};
        x.samples.resize(static_cast<size_t>(s->GetSampleCount()));
        EXPECT_TRUE(s->CopySamples(x.samples.data(), x.samples.size()));
        EXPECT_EQ(s->GetPayloadSize(), 2 * x.samples.size());
        // Index n would be the next record's time stamp: it reads 0.
        EXPECT_EQ(s->GetSample(s->GetSampleCount()), 0);
        EXPECT_EQ(s->GetSample(-1), 0);
        // A destination shorter than the spike gets what fits and no more.
        uint16_t shortDst[2] = {0, 0xBEEF};
        EXPECT_EQ(s->CopySamples(shortDst, 1), s->GetSampleCount() <= 1);
        EXPECT_EQ(shortDst[1], 0xBEEF);
        seen.push_back(x);
    });
    return seen;
}

TEST(EventRecords, SpikeFieldsAndDefaultsByVersion) {
    struct Case {
        uint16_t version;
        uint16_t unitId, aux2;
        uint32_t aux1;
        size_t head;
    };
    // Fields a version does not store read 0 (unit ID) and 0xFFFF (aux 2);
    // auxiliary value 1 is 32 bits wide only from version 8.
    const Case cases[] = {{4, 0, 0xFFFF, 0x1234, 16},
                          {5, 7, 0xFFFF, 0x1234, 18},
                          {7, 7, 0x0042, 0x1234, 20},
                          {8, 7, 0x0042, 0x00ABCDEF, 22}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        std::vector<uint8_t> payload;
        AppendSpikeRecord(payload, c.version, At(10), 1, {100, 200, 300}, 7, c.aux1, 0x0042);
        AppendSpikeRecord(payload, c.version, At(20), 0, {9}, 7, c.aux1, 0x0042);
        const std::vector<SpikeSeen> seen = ReadSpikes(c.version, payload);
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0].ticks, At(10));
        EXPECT_EQ(seen[0].hardwareIndex, 1);
        EXPECT_EQ(seen[0].unitId, c.unitId);
        EXPECT_EQ(seen[0].aux2, c.aux2);
        EXPECT_EQ(seen[0].aux1, c.aux1);
        EXPECT_EQ(seen[0].samples, (std::vector<uint16_t>{100, 200, 300}));
        EXPECT_EQ(seen[0].recordSize, c.head + 6);
        EXPECT_EQ(seen[1].ticks, At(20));
        EXPECT_EQ(seen[1].hardwareIndex, 0);
        EXPECT_EQ(seen[1].samples, (std::vector<uint16_t>{9}));
    }
}

TEST(EventRecords, TriggerRecordsStepByVersion) {
    for (uint16_t version : {4, 5}) {
        SCOPED_TRACE(version);
        std::vector<uint8_t> payload;
        AppendTriggerRecord(payload, version, At(5), 0x0101, 0xDEADBEEF);
        AppendTriggerRecord(payload, version, At(6), 0x0202, 0x12345678);
        AppendTriggerRecord(payload, version, At(7), 0x0303, 1);
        OpenRecording rec(OneStreamRecording(EventStream("trigger", version), {payload}));
        ASSERT_TRUE(rec.ok());
        std::unique_ptr<CQRVAEvent> event = qrd_test::FirstEvent(rec.stream());
        std::vector<uint16_t> words;
        std::vector<uint32_t> extras;
        std::vector<size_t> offsets;
        qrd_test::WalkEvents(event.get(), [&](CQRVAEvent& e) {
            CQRVAEvtTrigger* t = EventCast<CQRVAEvtTrigger>(&e);
            ASSERT_NE(t, nullptr);
            words.push_back(t->GetTriggerWord());
            extras.push_back(t->GetTriggerExtra());
            offsets.push_back(t->GetCurrentOffset());
        });
        const size_t step = version == 4 ? 10 : 14;
        EXPECT_EQ(words, (std::vector<uint16_t>{0x0101, 0x0202, 0x0303}));
        EXPECT_EQ(offsets, (std::vector<size_t>{0, step, 2 * step}));
        if (version == 4)
            EXPECT_EQ(extras, (std::vector<uint32_t>{0, 0, 0}));
        else
            EXPECT_EQ(extras, (std::vector<uint32_t>{0xDEADBEEF, 0x12345678, 1}));
    }
}

TEST(EventRecords, AverageRecordsByVersion) {
    for (uint16_t version : {4, 5}) {
        SCOPED_TRACE(version);
        std::vector<uint8_t> payload;
        AppendAverageRecord(payload, version, At(30), 2, {1, 2, 3, 4, 5}, 0x0A0A, 0x0B0B);
        AppendAverageRecord(payload, version, At(40), 1, {}, 0x0C0C, 0x0D0D);
        OpenRecording rec(OneStreamRecording(EventStream("average", version, 3), {payload}));
        ASSERT_TRUE(rec.ok());
        std::unique_ptr<CQRVAEvent> event = qrd_test::FirstEvent(rec.stream());
        CQRVAEvtAverage* avg = EventCast<CQRVAEvtAverage>(event.get());
        ASSERT_NE(avg, nullptr);
        EXPECT_EQ(avg->GetTicks(), At(30));
        EXPECT_EQ(avg->GetHardwareIndex(), 2);
        EXPECT_EQ(avg->GetAuxValue1(), version == 4 ? 0xFFFF : 0x0A0A);
        EXPECT_EQ(avg->GetAuxValue2(), 0x0B0B);
        EXPECT_EQ(avg->GetSampleCount(), 5u);
        EXPECT_EQ(avg->GetSample(4), 5);
        EXPECT_EQ(avg->GetSample(5), 0);
        EXPECT_EQ(avg->GetNextOffset(), (version == 4 ? 16u : 18u) + 10u);
        ASSERT_TRUE(avg->Next());
        EXPECT_EQ(avg->GetTicks(), At(40));
        EXPECT_EQ(avg->GetHardwareIndex(), 1);
        EXPECT_EQ(avg->GetSampleCount(), 0u);
        EXPECT_EQ(avg->GetSample(0), 0);
        EXPECT_FALSE(avg->Next());
    }
}

TEST(EventRecords, SpikeAnalyzerResultsByVersion) {
    const uint64_t spikeAt = At(5000);  // 5 s after the start
    for (uint16_t version : {1, 2}) {
        SCOPED_TRACE(version);
        std::vector<uint8_t> payload;
        AppendSpikeParamRecord(payload, version, At(5000), {1, 2, 3}, 250000, 12.5f, spikeAt);
        AppendSpikeParamRecord(payload, version, At(5001), {4, 5, 6}, 1000, 2.0f, spikeAt + 1000000);
        OpenRecording rec(OneStreamRecording(EventStream("spkparam", version), {payload}));
        ASSERT_TRUE(rec.ok());
        std::unique_ptr<CQRVAEvent> event = qrd_test::FirstEvent(rec.stream());
        CQRVAEvtSpikeParameter* p = EventCast<CQRVAEvtSpikeParameter>(event.get());
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->GetNextOffset(), version == 1 ? 26u : 34u);
        EXPECT_EQ(p->GetWord1(), 1);
        EXPECT_EQ(p->GetWord3(), 3);
        EXPECT_FLOAT_EQ(p->GetParameter(0), 250000.0f);
        EXPECT_FLOAT_EQ(p->GetParameter(1), 12.5f);
        // The time relative to the recording start keeps its precision
        // (subtracting two ~1e19 floats would not).
        EXPECT_FLOAT_EQ(p->GetParameter(2), version == 1 ? 0.0f : 5.0e9f);
        EXPECT_FLOAT_EQ(p->GetParameter(3), 0.0f);
        ASSERT_TRUE(p->Next());
        EXPECT_EQ(p->GetWord2(), 5);
        EXPECT_FLOAT_EQ(p->GetParameter(2), version == 1 ? 0.0f : 5.001e9f);
        EXPECT_FALSE(p->Next());
    }
}

TEST(EventRecords, BurstAnalyzerResults) {
    std::vector<uint8_t> payload;
    AppendBurstParamRecord(payload, At(1), {7, 8, 9}, 0x1122334455667788ull, 4096, -3, 80.25f);
    AppendBurstParamRecord(payload, At(2), {1, 1, 1}, 5, 6, 7, 8.0f);
    OpenRecording rec(OneStreamRecording(EventStream("bstparam", 3), {payload}));
    ASSERT_TRUE(rec.ok());
    std::unique_ptr<CQRVAEvent> event = qrd_test::FirstEvent(rec.stream());
    CQRVAEvtBurstParameter* b = EventCast<CQRVAEvtBurstParameter>(event.get());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetNextOffset(), 38u);
    EXPECT_EQ(b->GetWord1(), 7);
    EXPECT_EQ(b->GetWord2(), 8);
    EXPECT_EQ(b->GetWord3(), 9);
    EXPECT_EQ(b->GetLongValue(), 0x1122334455667788ull);
    EXPECT_FLOAT_EQ(b->GetParameter(0), 4096.0f);
    EXPECT_FLOAT_EQ(b->GetParameter(1), 80.25f);
    EXPECT_FLOAT_EQ(b->GetParameter(2), -3.0f);
    ASSERT_TRUE(b->Next());
    EXPECT_EQ(b->GetTicks(), At(2));
    EXPECT_FLOAT_EQ(b->GetParameter(2), 7.0f);
    EXPECT_FALSE(b->Next());
}

// A "params" stream recording kinds 8 (spike number, 2 bytes) and 9 (rate,
// 4 bytes) for two channels.
StreamSpec ParamStream(uint16_t version) {
    std::array<bool, kAnalyzerKindCount> selected{};
    selected[8] = true;
    selected[9] = true;
    StreamSpec s = EventStream("params", version, 2);
    s.settings = WriteParamSettings(MakeParamSettings(selected, 1), version);
    return s;
}

TEST(EventRecords, ParameterResultsPerChannel) {
    const uint16_t version = 5;
    const StreamSpec stream = ParamStream(version);
    // Find B from the settings as the reader decodes them.
    CQRVAInfoParam info;
    AdcFormat adc{stream.format.adcBits, stream.format.adcZero, stream.format.unitStep};
    ASSERT_TRUE(info.Decode(stream.settings.data(), stream.settings.size(), version, adc));
    const size_t b = info.GetBytesPerChannel();
    ASSERT_GT(b, 0u);

    // Channel blocks: one value per recorded kind, in kind order, each of
    // its byte width; the spike number is a u16, the rate an f32.
    auto block = [&](uint16_t spikes, float rate) {
        std::vector<uint8_t> bytes;
        LeWriter w(bytes);
        w.U16(spikes);
        w.F32(rate);
        bytes.resize(b, 0);
        return bytes;
    };
    std::vector<uint8_t> payload;
    AppendParamRecord(payload, At(100), {block(3, 1.5f), block(4, 2.5f)});
    AppendParamRecord(payload, At(200), {block(9, 9.5f), block(0, 0.0f)});
    OpenRecording rec(OneStreamRecording(stream, {payload}));
    ASSERT_TRUE(rec.ok());

    std::unique_ptr<CQRVAEvent> event = qrd_test::FirstEvent(rec.stream());
    CQRVAEvtParam* p = EventCast<CQRVAEvtParam>(event.get());
    ASSERT_NE(p, nullptr);
    ASSERT_NE(p->GetInfo(), nullptr);
    EXPECT_EQ(p->GetPayloadSize(), 2 * b);
    EXPECT_EQ(p->GetNextOffset(), 8 + 2 * b);

    std::vector<float> values;
    ASSERT_TRUE(p->GetChannelValues(1, values));
    ASSERT_EQ(values.size(), 2u);
    EXPECT_FLOAT_EQ(values[0], 4.0f);
    EXPECT_FLOAT_EQ(values[1], 2.5f);
    EXPECT_FALSE(p->GetChannelValues(2, values));
    EXPECT_FLOAT_EQ(p->GetSlotValue(8, 0), 3.0f);
    EXPECT_FLOAT_EQ(p->GetSlotValue(9, 0), 1.5f);
    // A kind the analyzer did not record, or no kind at all.
    EXPECT_EQ(p->GetSlotValue(0, 0), kMissingParameterValue);
    EXPECT_EQ(p->GetSlotValue(11, 0), kMissingParameterValue);

    ASSERT_TRUE(p->Next());
    EXPECT_EQ(p->GetTicks(), At(200));
    EXPECT_FLOAT_EQ(p->GetSlotValue(8, 0), 9.0f);
    EXPECT_FALSE(p->Next());
}

TEST(EventRecords, ParameterStreamWithoutSettingsHasNoCursor) {
    StreamSpec stream = ParamStream(5);
    stream.settings.clear();
    std::vector<uint8_t> payload;
    AppendParamRecord(payload, At(1), {std::vector<uint8_t>(6), std::vector<uint8_t>(6)});
    OpenRecording rec(OneStreamRecording(stream, {payload}));
    ASSERT_TRUE(rec.ok());
    EXPECT_EQ(qrd_test::FirstEvent(rec.stream()), nullptr);
}

}  // namespace
}  // namespace qrd
