// Data and index/time queries of MAP recordings, through the exports of the
// shared library, with guard bytes after every output.
#include "map_host.h"
#include "map_writer.h"

#include <cmath>
#include <numeric>

using namespace maptest;

namespace {

std::vector<int16_t> ramp(int16_t from, size_t count) {
    std::vector<int16_t> v(count);
    std::iota(v.begin(), v.end(), from);
    return v;
}

class DataTest : public ::testing::Test {
protected:
    std::unique_ptr<OpenRecording> open(const MapWriter& w) {
        EXPECT_TRUE(w.writeTo(dir.file("r.map")));
        auto rec = std::make_unique<OpenRecording>(dir.file("r.map"));
        EXPECT_EQ(rec->result(), ns_OK) << mapLib().lastError();
        return rec;
    }
    const MapLibrary& lib = mapLib();
    TempDir dir;
};

}  // namespace

TEST_F(DataTest, AnalogReadsStopAtAGap) {
    MapWriter w;   // 10 kHz, blocks of 100 samples at ticks 0, 100 and 300
    w.header60().continuous(1, 10.0f, "A");
    w.samples(1, 0, ramp(0, 100)).samples(1, 100, ramp(100, 100)).samples(1, 300, ramp(300, 100));
    auto rec = open(w);
    Guarded<double> data(250);
    uint32_t count = 0;
    ASSERT_EQ(lib.GetAnalogData(rec->handle(), 0, 0, 250, &count, data.get()), ns_OK);
    EXPECT_EQ(count, 200u);
    EXPECT_EQ(data[199], 199.0);
    ASSERT_EQ(lib.GetAnalogData(rec->handle(), 0, 150, 250, &count, data.get()), ns_OK);
    ASSERT_EQ(count, 50u);
    EXPECT_EQ(data[0], 150.0);
    EXPECT_EQ(data[49], 199.0);
    ASSERT_EQ(lib.GetAnalogData(rec->handle(), 0, 290, 5, &count, data.get()), ns_OK);
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(data[0], 390.0);
    EXPECT_TRUE(data.guardIntact());
    EXPECT_EQ(lib.GetAnalogData(rec->handle(), 0, 300, 1, &count, data.get()), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "Sample not found");
    // Without an output only the count is answered.
    ASSERT_EQ(lib.GetAnalogData(rec->handle(), 0, 0, 10, &count, nullptr), ns_OK);
    EXPECT_EQ(count, 0u);
}

TEST_F(DataTest, ABlockAtTickZeroNeverEndsContiguousData) {
    MapWriter w;
    w.header60().continuous(1, 10.0f, "A").samples(1, 0, ramp(0, 10)).samples(1, 500, ramp(10, 10));
    auto rec = open(w);
    Guarded<double> data(20);
    uint32_t count = 0;
    ASSERT_EQ(lib.GetAnalogData(rec->handle(), 0, 0, 20, &count, data.get()), ns_OK);
    EXPECT_EQ(count, 20u);
    EXPECT_TRUE(data.guardIntact());
}

TEST_F(DataTest, MultiplexedBlocksAndMarkers) {
    MapWriter w;
    w.header60().continuous(1, 10.0f, "A", 5).digital(2, 10.0f, "D");
    MultiplexWords mux;
    mux.analog(1, {1, 2, 3}, 0).marker(-333, 5).word(999).marker(-558, 2).digital(2, 0x55, 40).marker(-111, 1);
    mux.analog(1, {4, 5, 6}, 3).word(-5).analog(1, {7, 8, 9}, 6);   // -5: unknown marker, the rest is lost
    w.multiplexed(mux);
    auto rec = open(w);
    EXPECT_EQ(rec->entity(0).dwItemCount, 6u);
    EXPECT_EQ(rec->entity(1).dwItemCount, 1u);
    Guarded<double> data(6);
    uint32_t count = 0;
    ASSERT_EQ(lib.GetAnalogData(rec->handle(), 0, 0, 6, &count, data.get()), ns_OK);
    ASSERT_EQ(count, 6u);
    EXPECT_EQ(data[5], 6.0);
}

TEST_F(DataTest, EventDataSizesAndValues) {
    MapWriter w;
    w.header60().digital(1033, 10.0f, "D").port(0, 2, "P").continuous(3, 10.0f, "A");
    w.digitalEvent(1033, 10, 0x1234).portEvent(2, 20, 0xBEEF).samples(3, 0, ramp(0, 4));
    auto rec = open(w);
    Guarded<uint8_t> byte(1);
    Guarded<uint16_t> word(1);
    double time = 0;
    uint32_t size = 0;
    ASSERT_EQ(lib.GetEventData(rec->handle(), 0, 0, &time, byte.get(), byte.size(), &size), ns_OK);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(*byte, 0x34);
    EXPECT_TRUE(byte.guardIntact());
    EXPECT_DOUBLE_EQ(time, 0.001);
    ASSERT_EQ(lib.GetEventData(rec->handle(), 1, 0, &time, word.get(), word.size(), &size), ns_OK);
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(*word, 0xBEEF);
    EXPECT_TRUE(word.guardIntact());
    // A word does not fit a one-byte buffer; nothing is written.
    EXPECT_EQ(lib.GetEventData(rec->handle(), 1, 0, &time, byte.get(), 1, &size), ns_LIBERROR);
    EXPECT_TRUE(byte.guardIntact());
    EXPECT_EQ(lib.GetEventData(rec->handle(), 2, 0, &time, word.get(), 200, &size), ns_BADENTITY);
    EXPECT_EQ(lib.GetEventData(rec->handle(), 0, 1, &time, byte.get(), 1, &size), ns_BADINDEX);

    // Through the analog call an event is one value, and the count says one.
    Guarded<double> value(1);
    uint32_t count = 99;
    ASSERT_EQ(lib.GetAnalogData(rec->handle(), 1, 0, 1, &count, value.get()), ns_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(*value, static_cast<double>(static_cast<int16_t>(0xBEEF)));
    ASSERT_EQ(lib.GetAnalogData(rec->handle(), 0, 0, 1, &count, value.get()), ns_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(value.guardIntact());
}

TEST_F(DataTest, SegmentsReportSamplesUnitBitsAndRefuseBadIndexes) {
    MapWriter w;
    w.header60().analog(AnalogMode::WindowDiscriminator, 1, 10.0f, "W").continuous(2, 10.0f, "A");
    w.samples(1, 100, ramp(-16, 32), 3).samples(1, 200, ramp(0, 8), 40).samples(1, 300, ramp(0, 8), -1);
    auto rec = open(w);
    Guarded<double> data(32);
    double time = 0;
    uint32_t count = 0;
    uint32_t unit = 0;
    ASSERT_EQ(lib.GetSegmentData(rec->handle(), 0, 0, &time, data.get(), data.size(), &count, &unit), ns_OK);
    EXPECT_EQ(count, 32u);
    EXPECT_EQ(unit, 8u);
    EXPECT_EQ(data[0], -16.0);
    EXPECT_EQ(data[31], 15.0);
    EXPECT_TRUE(data.guardIntact());
    // A buffer of 10 doubles gets 10 samples.
    Guarded<double> small(10);
    ASSERT_EQ(lib.GetSegmentData(rec->handle(), 0, 0, &time, small.get(), small.size(), &count, &unit), ns_OK);
    EXPECT_EQ(count, 10u);
    EXPECT_TRUE(small.guardIntact());
    // Units outside 0 .. 31 have no unit bit.
    ASSERT_EQ(lib.GetSegmentData(rec->handle(), 0, 1, &time, data.get(), data.size(), &count, &unit), ns_OK);
    EXPECT_EQ(unit, 0u);
    ASSERT_EQ(lib.GetSegmentData(rec->handle(), 0, 2, &time, data.get(), data.size(), &count, &unit), ns_OK);
    EXPECT_EQ(unit, 0u);
    // Without a sample buffer only the time is answered.
    ASSERT_EQ(lib.GetSegmentData(rec->handle(), 0, 1, &time, nullptr, 0, &count, &unit), ns_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_DOUBLE_EQ(time, 0.01);

    EXPECT_EQ(lib.GetSegmentData(rec->handle(), 0, -1, &time, data.get(), data.size(), &count, &unit), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "Requested index unavailable");
    EXPECT_EQ(lib.GetSegmentData(rec->handle(), 0, 3, &time, data.get(), data.size(), &count, &unit), ns_BADINDEX);
    EXPECT_EQ(lib.GetSegmentData(rec->handle(), 1, 0, &time, data.get(), data.size(), &count, &unit), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "This function should be used with segment channels only");
    EXPECT_EQ(lib.GetAnalogData(rec->handle(), 0, 0, 1, &count, data.get()), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "Don't use this function with segment channels");
    // Event data of a segment is refused by the sample reader as well.
    Guarded<uint16_t> word(1);
    uint32_t size = 7;
    EXPECT_EQ(lib.GetEventData(rec->handle(), 0, 0, &time, word.get(), 1, &size), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "Don't use this function with segment channels");
    EXPECT_EQ(size, 7u);
    EXPECT_TRUE(word.guardIntact());
}

TEST_F(DataTest, PreTriggerCorrectionMovesTheSegmentStart) {
    MapWriter w;   // 20 kHz and 0.51 ms: ceil(10.2) = 11 ticks
    w.header60().continuous(9, 20.0f, "Start").analog(AnalogMode::Level, 1, 20.0f, "L", 0.51f);
    w.samples(9, 0, ramp(0, 4)).samples(1, 1000, ramp(0, 8));
    auto rec = open(w);
    double time = 0;
    ASSERT_EQ(lib.GetTimeByIndex(rec->handle(), 1, 0, &time), ns_OK);
    EXPECT_DOUBLE_EQ(time, 989.0 / 20000.0);
    EXPECT_EQ(lib.GetTimeByIndex(rec->handle(), 1, 1, &time), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "Requested index is out of range");
}

TEST_F(DataTest, ACorrectionLargerThanTheTimeStampDoesNotWrap) {
    MapWriter w;   // stamp 5, correction 11: the segment starts 6 ticks before tick 0
    w.header60().continuous(9, 20.0f, "A").analog(AnalogMode::Level, 1, 20.0f, "L", 0.51f);
    w.samples(9, 0, ramp(0, 4)).samples(1, 5, ramp(0, 8));
    auto rec = open(w);
    double segment = 1e9;
    double sample = 1e9;
    ASSERT_EQ(lib.GetTimeByIndex(rec->handle(), 1, 0, &segment), ns_OK);
    ASSERT_EQ(lib.GetTimeByIndex(rec->handle(), 0, 0, &sample), ns_OK);
    EXPECT_DOUBLE_EQ(segment, 0.0) << "the earliest block of the file starts at time 0";
    EXPECT_DOUBLE_EQ(sample, 6.0 / 20000.0);
}

TEST_F(DataTest, NeuralSpikeTimes) {
    MapWriter w;
    w.header60().analog(AnalogMode::Level, 1, 10.0f, "L");
    for (uint32_t i = 0; i < 6; ++i) w.samples(1, 100 * i, ramp(0, 4));
    auto rec = open(w);
    ASSERT_EQ(rec->entity(1).dwEntityType, 4u);
    Guarded<double> times(3);
    ASSERT_EQ(lib.GetNeuralData(rec->handle(), 1, 2, 3, times.get()), ns_OK);
    EXPECT_DOUBLE_EQ(times[0], 0.02);
    EXPECT_DOUBLE_EQ(times[2], 0.04);
    EXPECT_TRUE(times.guardIntact());
    // Past the last spike: refused, nothing written.
    Guarded<double> fresh(3);
    EXPECT_EQ(lib.GetNeuralData(rec->handle(), 1, 4, 3, fresh.get()), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "Requested index unavailable");
    EXPECT_TRUE(fresh.guardIntact());
    EXPECT_EQ(lib.GetNeuralData(rec->handle(), 0, 0, 1, times.get()), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "This function should be used with neural channels only");
    double time = 0;
    uint8_t byte = 0;
    EXPECT_EQ(lib.GetEventData(rec->handle(), 1, 0, &time, &byte, 1, nullptr), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "Don't use this function with segment channels");
}

TEST_F(DataTest, EmptyChannelsAndUnitsReadWholeAsNothing) {
    // A continuous channel without samples, and a Level channel whose spikes
    // fall in units 0 and 2 only: unit 1 has none.
    MapWriter w;
    w.header60().continuous(2, 10.0f, "A").analog(AnalogMode::Level, 1, 10.0f, "L");
    w.samples(1, 100, ramp(0, 4), 0).samples(1, 200, ramp(0, 4), 2);
    auto rec = open(w);
    const uint32_t analog = rec->find("A");
    const uint32_t unit0 = rec->find("L Unit 0");
    const uint32_t unit1 = rec->find("L Unit 1");
    ASSERT_NE(analog, UINT32_MAX);
    ASSERT_NE(unit1, UINT32_MAX);
    ASSERT_EQ(rec->entity(analog).dwItemCount, 0u);
    ASSERT_EQ(rec->entity(unit1).dwItemCount, 0u);
    ASSERT_EQ(rec->entity(unit0).dwItemCount, 1u);

    // A host reads every entity whole as (0, item count).
    Guarded<double> data(1);
    uint32_t count = 99;
    ASSERT_EQ(lib.GetAnalogData(rec->handle(), analog, 0, 0, &count, data.get()), ns_OK) << lib.lastError();
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(data.guardIntact());
    ASSERT_EQ(lib.GetNeuralData(rec->handle(), unit1, 0, 0, data.get()), ns_OK) << lib.lastError();
    EXPECT_TRUE(data.guardIntact());
    // So does a read of nothing at the end of a unit that has spikes.
    EXPECT_EQ(lib.GetNeuralData(rec->handle(), unit0, 1, 0, data.get()), ns_OK);
    EXPECT_TRUE(data.guardIntact());

    // Past the end, even nothing is out of range; and one item of an empty
    // entity does not exist.
    EXPECT_EQ(lib.GetAnalogData(rec->handle(), analog, 1, 0, &count, data.get()), ns_BADINDEX);
    EXPECT_EQ(lib.GetAnalogData(rec->handle(), analog, 0, 1, &count, data.get()), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "Sample not found");
    EXPECT_EQ(lib.GetNeuralData(rec->handle(), unit1, 1, 0, data.get()), ns_BADINDEX);
    EXPECT_EQ(lib.GetNeuralData(rec->handle(), unit1, 0, 1, data.get()), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "Requested index unavailable");
    EXPECT_TRUE(data.guardIntact());
}

TEST_F(DataTest, IndexByTimeAndTimeByIndex) {
    MapWriter w;   // 10 kHz: samples 0 .. 99 at ticks 0 .. 99, 100 .. 199 at ticks 300 .. 399
    w.header60().continuous(1, 10.0f, "A").analog(AnalogMode::Level, 2, 10.0f, "L");
    w.samples(1, 0, ramp(0, 100)).samples(1, 300, ramp(0, 100));
    w.samples(2, 50, ramp(0, 10)).samples(2, 150, ramp(0, 10));
    auto rec = open(w);
    const uint32_t h = rec->handle();
    uint32_t index = 0;
    for (int flag : {ns_BEFORE, ns_CLOSEST, ns_AFTER}) {
        ASSERT_EQ(lib.GetIndexByTime(h, 0, 0.00425, flag, &index), ns_OK);
        EXPECT_EQ(index, 42u) << flag;
    }
    double time = 0;
    ASSERT_EQ(lib.GetTimeByIndex(h, 0, 42, &time), ns_OK);
    EXPECT_DOUBLE_EQ(time, 0.0042);
    // That time, taken back to ticks as seconds x kHz x 1000, lands just below
    // tick 42 and truncates to the sample before.
    for (int flag : {ns_BEFORE, ns_CLOSEST, ns_AFTER}) {
        ASSERT_EQ(lib.GetIndexByTime(h, 0, time, flag, &index), ns_OK);
        EXPECT_EQ(index, 41u) << flag;
    }
    ASSERT_EQ(lib.GetTimeByIndex(h, 0, 150, &time), ns_OK);
    EXPECT_DOUBLE_EQ(time, 0.035);
    EXPECT_EQ(lib.GetTimeByIndex(h, 0, 200, &time), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "GetTimeByIndex failed");

    // Tick 200 lies in the gap.
    ASSERT_EQ(lib.GetIndexByTime(h, 0, 0.02, ns_BEFORE, &index), ns_OK);
    EXPECT_EQ(index, 99u);
    ASSERT_EQ(lib.GetIndexByTime(h, 0, 0.02, ns_AFTER, &index), ns_OK);
    EXPECT_EQ(index, 100u);
    ASSERT_EQ(lib.GetIndexByTime(h, 0, 0.012, ns_CLOSEST, &index), ns_OK);
    EXPECT_EQ(index, 99u);
    EXPECT_EQ(lib.GetIndexByTime(h, 0, 0.02, 2, &index), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "Unkown flag");
    EXPECT_EQ(lib.GetIndexByTime(h, 0, -0.001, ns_CLOSEST, &index), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "Negative time");
    ASSERT_EQ(lib.GetIndexByTime(h, 0, 5.0, ns_BEFORE, &index), ns_OK);
    EXPECT_EQ(index, 199u);
    EXPECT_EQ(lib.GetIndexByTime(h, 0, 5.0, ns_AFTER, &index), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "Could not find index");

    // Segments: before the first one every flag gives 0.
    for (int flag : {ns_BEFORE, ns_CLOSEST, ns_AFTER}) {
        index = 77;
        ASSERT_EQ(lib.GetIndexByTime(h, 1, 0.001, flag, &index), ns_OK);
        EXPECT_EQ(index, 0u) << flag;
    }
    ASSERT_EQ(lib.GetIndexByTime(h, 1, 0.0155, ns_CLOSEST, &index), ns_OK);
    EXPECT_EQ(index, 1u);
    ASSERT_EQ(lib.GetIndexByTime(h, 1, 0.012, ns_BEFORE, &index), ns_OK);
    EXPECT_EQ(index, 0u);
}

TEST_F(DataTest, ChannelsWithoutARateFailCleanly) {
    MapWriter w;   // a continuous channel defined with 0 kHz, a port without its digital channel
    w.header60().continuous(1, 0.0f, "Zero").port(0, 3, "Lonely").continuous(2, 10.0f, "Fine");
    w.samples(1, 5, ramp(0, 4)).portEvent(3, 7, 1).samples(2, 100, ramp(0, 4));
    auto rec = open(w);
    const uint32_t h = rec->handle();
    Guarded<double> data(4);
    uint32_t count = 0;
    uint32_t index = 0;
    double time = 0;
    EXPECT_EQ(lib.GetAnalogData(h, 0, 0, 4, &count, data.get()), ns_BADINDEX);
    EXPECT_EQ(lib.lastError(), "Invalid sampling rate");
    EXPECT_EQ(lib.GetIndexByTime(h, 0, 0.0, ns_CLOSEST, &index), ns_BADINDEX);
    EXPECT_EQ(lib.GetTimeByIndex(h, 0, 0, &time), ns_BADINDEX);
    uint16_t word = 0;
    EXPECT_EQ(lib.GetEventData(h, 1, 0, &time, &word, 2, nullptr), ns_BADINDEX);
    EXPECT_TRUE(data.guardIntact());
    // Channels without a rate do not move the time base of the others.
    ASSERT_EQ(lib.GetTimeByIndex(h, 2, 0, &time), ns_OK);
    EXPECT_DOUBLE_EQ(time, 0.0);
}
