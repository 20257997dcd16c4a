// The data calls through the loaded library on recordings written by our
// writer: converted samples in continuous and sweep recordings, spike
// segments read in and out of order, sweep segments, index/time answers, and
// the guards: windows that wrap, columns outside the stream, streams without
// channels or sample rate, cut recordings, small buffers.  Every output
// buffer is followed by guard values that must survive the call.
#include "entities_test_recordings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace qrd {
namespace {

using namespace qrd_test;

constexpr double kGuard = -12345.0;

double Volts(uint16_t raw) { return (static_cast<int32_t>(raw) - 32768) * 1.0e-7; }

// pdData of n values followed by 4 guard values.
struct Guarded {
    std::vector<double> values;
    explicit Guarded(size_t n) : values(n + 4, kGuard) {}
    double* data() { return values.data(); }
    bool GuardsIntact(size_t n) const {
        for (size_t i = n; i < values.size(); ++i)
            if (values[i] != kGuard) return false;
        return true;
    }
};

TEST(AnalogData, ContinuousElectrodeAndDigitalSamples) {
    FreshQrdshare lib;
    TempDir dir;
    OpenRecording rec(*lib, WriteRecordingTo(dir, "mea.qrd", ElectrodeAndDigital(3)));
    ASSERT_EQ(rec.result(), ns_OK);

    Guarded out(300);
    uint32_t cont = 0;
    ASSERT_EQ(lib->GetAnalogData(rec.id(), 2, 1000, 300, &cont, out.data()), ns_OK);
    EXPECT_EQ(cont, 300u);
    for (uint32_t k = 0; k < 300; ++k) ASSERT_DOUBLE_EQ(out.values[k], Volts(ElectrodeSample(2, 1000 + k))) << k;
    EXPECT_TRUE(out.GuardsIntact(300));

    Guarded digital(2500);
    ASSERT_EQ(lib->GetAnalogData(rec.id(), 3, 0, 2500, &cont, digital.data()), ns_OK);
    for (uint32_t k = 0; k < 2500; ++k) ASSERT_EQ(digital.values[k], DigitalWord(k)) << k;
    EXPECT_TRUE(digital.GuardsIntact(2500));

    // The window may end at the last item, not one further; a start near
    // 2^32 must not wrap around into range.
    Guarded edge(10);
    EXPECT_EQ(lib->GetAnalogData(rec.id(), 0, 2490, 10, nullptr, edge.data()), ns_OK);
    Guarded untouched(10);
    EXPECT_EQ(lib->GetAnalogData(rec.id(), 0, 2491, 10, nullptr, untouched.data()), ns_BADINDEX);
    EXPECT_EQ(lib->GetAnalogData(rec.id(), 0, 0xFFFFFF00u, 0x200, nullptr, untouched.data()), ns_BADINDEX);
    EXPECT_EQ(lib->GetAnalogData(rec.id(), 0, 5, 0xFFFFFFFFu, nullptr, untouched.data()), ns_BADINDEX);
    EXPECT_TRUE(untouched.GuardsIntact(0));
}

TEST(AnalogData, SweepWindowCrossesIntoTheNextSweep) {
    FreshQrdshare lib;
    TempDir dir;
    OpenRecording rec(*lib, WriteRecordingTo(dir, "sweeps.qrd", SweepRecording({1000, 1000, 1000})));
    ASSERT_EQ(rec.result(), ns_OK);
    for (uint32_t channel : {0u, 1u}) {
        Guarded out(500);
        uint32_t cont = 0;
        ASSERT_EQ(lib->GetAnalogData(rec.id(), channel, 800, 500, &cont, out.data()), ns_OK);
        EXPECT_EQ(cont, 200u);  // up to the end of sweep 0
        // Samples 800..999 of sweep 0, then 0..299 of sweep 1.
        for (uint32_t k = 0; k < 500; ++k)
            ASSERT_DOUBLE_EQ(out.values[k], Volts(SweepSample(channel, 800 + k))) << channel << " " << k;
        EXPECT_TRUE(out.GuardsIntact(500));
    }
    // Across a whole sweep into the third.
    Guarded across(1700);
    uint32_t cont = 0;
    ASSERT_EQ(lib->GetAnalogData(rec.id(), 1, 900, 1700, &cont, across.data()), ns_OK);
    EXPECT_EQ(cont, 100u);
    for (uint32_t k = 0; k < 1700; ++k) ASSERT_DOUBLE_EQ(across.values[k], Volts(SweepSample(1, 900 + k))) << k;
    EXPECT_TRUE(across.GuardsIntact(1700));
    // Within one sweep all of it is contiguous.
    ASSERT_EQ(lib->GetAnalogData(rec.id(), 0, 2000, 1000, &cont, nullptr), ns_OK);
    EXPECT_EQ(cont, 1000u);
}

TEST(SegmentData, SweepSegmentsAndTheirIndexByTime) {
    FreshQrdshare lib;
    TempDir dir;
    OpenRecording rec(*lib, WriteRecordingTo(dir, "sweeps.qrd", SweepRecording({1000, 1000, 1000})));
    ASSERT_EQ(rec.result(), ns_OK);
    const uint32_t segment1 = 3;  // the second channel's segment entity
    Guarded out(1000);
    double t = -1;
    uint32_t samples = 0, unit = 77;
    ASSERT_EQ(lib->GetSegmentData(rec.id(), segment1, 1, &t, out.data(), 1000 * sizeof(double), &samples, &unit),
              ns_OK);
    EXPECT_DOUBLE_EQ(t, 0.1);
    EXPECT_EQ(samples, 1000u);
    EXPECT_EQ(unit, 0u);
    for (uint32_t k = 0; k < 1000; ++k) ASSERT_DOUBLE_EQ(out.values[k], Volts(SweepSample(1, 1000 + k))) << k;
    EXPECT_TRUE(out.GuardsIntact(1000));

    // A buffer for 10 values gets 10 and is told so.
    Guarded small(10);
    ASSERT_EQ(lib->GetSegmentData(rec.id(), segment1, 2, nullptr, small.data(), 10 * sizeof(double), &samples,
                                  nullptr),
              ns_OK);
    EXPECT_EQ(samples, 10u);
    EXPECT_DOUBLE_EQ(small.values[9], Volts(SweepSample(1, 2009)));
    EXPECT_TRUE(small.GuardsIntact(10));
    EXPECT_EQ(lib->GetSegmentData(rec.id(), segment1, 3, nullptr, nullptr, 0, nullptr, nullptr), ns_BADINDEX);
    EXPECT_EQ(lib->GetSegmentData(rec.id(), segment1, -1, nullptr, nullptr, 0, nullptr, nullptr), ns_BADINDEX);

    // Index by time on a segment entity answers in sweeps, never in samples.
    uint32_t index = 99;
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), segment1, 0.2, ns_BEFORE, &index), ns_OK);
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), segment1, 0.15, ns_AFTER, &index), ns_OK);
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), segment1, 5.0, ns_CLOSEST, &index), ns_OK);
    EXPECT_EQ(index, 2u);
}

// Spike stream: channels (hardware index, group) 10/0, 11/1, 12/0, 13/0, so
// the segment entities are channels 10, 12 and 13.  A spike marked 1 has no
// channel of that index and belongs to the second of them (channel 12).
std::vector<Spike> TestSpikes() {
    return {
        {1 * kMs, 10, 1, {32768, 32770, 32772}},
        {2 * kMs, 12, 2, {32000, 32100}},
        {3 * kMs, 11, 3, {1, 2, 3}},         // group 1: no entity
        {4 * kMs, 1, 0xFFFF, {40000, 40001, 40002, 40003}},  // by position: channel 12
        {5 * kMs, 0xFFFF, 4, {5}},          // negative: nobody's
        {45 * kMs, 13, 5, {33000}},
        {46 * kMs, 12, 6, {32768, 32769, 32770, 32771, 32772}},
        {90 * kMs, 10, 7, {30000, 30001}},
    };
}

struct SpikeRead {
    ns_RESULT result;
    double time;
    uint32_t samples;
    uint32_t unit;
    std::vector<double> data;
};

SpikeRead ReadSpike(NsLibrary& lib, uint32_t id, uint32_t entity, int32_t index) {
    SpikeRead r{};
    Guarded out(8);
    r.result = lib.GetSegmentData(id, entity, index, &r.time, out.data(), 8 * sizeof(double), &r.samples, &r.unit);
    EXPECT_TRUE(out.GuardsIntact(8));
    if (r.result == ns_OK) r.data.assign(out.values.begin(), out.values.begin() + r.samples);
    return r;
}

void ExpectSpike(const SpikeRead& r, const Spike& s) {
    ASSERT_EQ(r.result, ns_OK);
    EXPECT_DOUBLE_EQ(r.time, s.offset / 1.0e9);
    EXPECT_EQ(r.unit, static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(s.unit))));
    ASSERT_EQ(r.samples, s.samples.size());
    for (size_t k = 0; k < s.samples.size(); ++k)
        EXPECT_DOUBLE_EQ(r.data[k], (static_cast<int32_t>(s.samples[k]) - 32768) * 2.0e-7) << k;
}

TEST(SegmentData, SpikesInOrderOutOfOrderAndByPosition) {
    FreshQrdshare lib;
    TempDir dir;
    RecordingSpec desc;
    desc.startTime = EntityRecordingStart();
    const StreamSpec stream = SpikeStream({10, 11, 12, 13}, {0, 1, 0, 0});
    const std::vector<Spike> spikes = TestSpikes();
    AddSpikes(desc, stream, spikes);
    OpenRecording rec(*lib, WriteRecordingTo(dir, "spikes.qrd", desc));
    ASSERT_EQ(rec.result(), ns_OK);
    ASSERT_EQ(rec.FileInfo().dwEntityCount, 3u);
    EXPECT_EQ(rec.Label(1), "spks0001 0003 0002       S3");
    EXPECT_EQ(rec.Entity(0).dwItemCount, 2u);
    EXPECT_EQ(rec.Entity(1).dwItemCount, 3u);
    EXPECT_EQ(rec.Entity(2).dwItemCount, 1u);
    ns_SEGMENTINFO info;
    ASSERT_EQ(lib->GetSegmentInfo(rec.id(), 1, &info, sizeof info), ns_OK);
    EXPECT_EQ(info.dwMinSampleCount, 2u);
    EXPECT_EQ(info.dwMaxSampleCount, 5u);

    // Channel 12 in order: its own spike, the one it got by position, its own.
    ExpectSpike(ReadSpike(*lib, rec.id(), 1, 0), spikes[1]);
    ExpectSpike(ReadSpike(*lib, rec.id(), 1, 1), spikes[3]);
    ExpectSpike(ReadSpike(*lib, rec.id(), 1, 2), spikes[6]);
    // Backwards and again: the walk restarts and still finds the right spike.
    ExpectSpike(ReadSpike(*lib, rec.id(), 1, 1), spikes[3]);
    ExpectSpike(ReadSpike(*lib, rec.id(), 1, 0), spikes[1]);
    ExpectSpike(ReadSpike(*lib, rec.id(), 1, 2), spikes[6]);
    ExpectSpike(ReadSpike(*lib, rec.id(), 1, 2), spikes[6]);
    EXPECT_EQ(ReadSpike(*lib, rec.id(), 1, 3).result, ns_BADINDEX);
    ExpectSpike(ReadSpike(*lib, rec.id(), 1, 1), spikes[3]);
    // Other entities, interleaved with the first.
    ExpectSpike(ReadSpike(*lib, rec.id(), 0, 1), spikes[7]);
    ExpectSpike(ReadSpike(*lib, rec.id(), 2, 0), spikes[5]);
    ExpectSpike(ReadSpike(*lib, rec.id(), 0, 0), spikes[0]);

    // Without a data buffer the count, unit and time still come back.
    double t = -1;
    uint32_t samples = 0, unit = 0;
    ASSERT_EQ(lib->GetSegmentData(rec.id(), 1, 2, &t, nullptr, 0, &samples, &unit), ns_OK);
    EXPECT_EQ(samples, 5u);
    EXPECT_EQ(unit, 6u);
    EXPECT_DOUBLE_EQ(t, 0.046);
    // A buffer for 2 of the 5 samples gets 2.
    Guarded two(2);
    ASSERT_EQ(lib->GetSegmentData(rec.id(), 1, 2, nullptr, two.data(), 2 * sizeof(double), &samples, nullptr), ns_OK);
    EXPECT_EQ(samples, 2u);
    EXPECT_TRUE(two.GuardsIntact(2));
}

TEST(IndexByTime, ContinuousChannelAt25kHzAndItsLastSample) {
    FreshQrdshare lib;
    TempDir dir;
    OpenRecording rec(*lib, WriteRecordingTo(dir, "mea.qrd", ElectrodeAndDigital(1)));
    ASSERT_EQ(rec.result(), ns_OK);
    double t = -1;
    ASSERT_EQ(lib->GetTimeByIndex(rec.id(), 0, 25, &t), ns_OK);
    EXPECT_DOUBLE_EQ(t, 0.001);
    uint32_t index = 0;
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), 0, 0.00103, ns_BEFORE, &index), ns_OK);
    EXPECT_EQ(index, 25u);
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), 0, 0.00103, ns_AFTER, &index), ns_OK);
    EXPECT_EQ(index, 26u);
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), 0, 0.00103, ns_CLOSEST, &index), ns_OK);
    EXPECT_EQ(index, 26u);
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), 0, 0.00101, ns_CLOSEST, &index), ns_OK);
    EXPECT_EQ(index, 25u);

    // Inside the last sample period: never the item count itself.
    const double lastPeriod = 2499.75 * kPeriod25k;
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), 0, lastPeriod, ns_CLOSEST, &index), ns_OK);
    EXPECT_EQ(index, 2499u);
    index = 0;
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), 0, lastPeriod, ns_AFTER, &index), ns_BADINDEX);
    EXPECT_EQ(index, 2499u);
    index = 0;
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), 0, 10.0, ns_AFTER, &index), ns_BADINDEX);
    EXPECT_EQ(index, 2499u);
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), 0, -1.0, ns_BEFORE, &index), ns_BADINDEX);
    EXPECT_EQ(lib->GetTimeByIndex(rec.id(), 0, 2500, &t), ns_BADINDEX);
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), 0, 0.0, ns_AFTER, nullptr), ns_LIBERROR);
    EXPECT_EQ(lib->GetTimeByIndex(rec.id(), 0, 0, nullptr), ns_LIBERROR);
}

TEST(AnalogData, ColumnsOutsideTheStreamAreRefused) {
    // Header version 10 keeps the stored hardware indexes: 1 is a column of
    // the two-channel stream, 7 is not.
    FreshQrdshare lib;
    TempDir dir;
    RecordingSpec desc;
    desc.startTime = EntityRecordingStart();
    ContinuousStreamOptions raw;
    raw.channelCount = 2;
    raw.channelNamePrefix = "E";
    raw.spans.push_back({desc.startTime, 500});
    const int s = AddContinuousStream(desc, raw, ElectrodeSample);
    desc.streams[static_cast<size_t>(s)].channels[0].hardwareIndex = 1;
    desc.streams[static_cast<size_t>(s)].channels[1].hardwareIndex = 7;
    OpenRecording rec(*lib, WriteRecordingTo(dir, "columns.qrd", desc));
    ASSERT_EQ(rec.result(), ns_OK);
    ASSERT_EQ(rec.FileInfo().dwEntityCount, 2u);
    EXPECT_EQ(rec.Label(1), "elec0001 0002 0007       E2");

    Guarded good(10), bad(10);
    ASSERT_EQ(lib->GetAnalogData(rec.id(), 0, 0, 10, nullptr, good.data()), ns_OK);
    EXPECT_DOUBLE_EQ(good.values[3], Volts(ElectrodeSample(1, 3)));
    EXPECT_EQ(lib->GetAnalogData(rec.id(), 1, 0, 10, nullptr, bad.data()), ns_BADINDEX);
    EXPECT_TRUE(bad.GuardsIntact(0));
    // Its info has no channel to describe: zeros, no read past the list.
    ns_ANALOGINFO info;
    std::memset(&info, 0xFF, sizeof info);
    ASSERT_EQ(lib->GetAnalogInfo(rec.id(), 1, &info, sizeof info), ns_OK);
    EXPECT_EQ(info.dLocationX, 0.0);
    EXPECT_EQ(info.dHighFreqCorner, 0.0);
}

TEST(AnalogData, StreamsWithoutRateOrChannelsDivideByNothing) {
    FreshQrdshare lib;
    TempDir dir;
    for (int32_t mode : {kModeContinuous, kModeTriggered}) {
        RecordingSpec desc = SweepRecording({100, 100});
        desc.recordingMode = mode;
        ContinuousStreamOptions still;
        still.name = "Still";
        still.tag = "filt0002";
        still.typeName = "filter";
        still.id = 7;
        still.channelCount = 1;
        still.spans.push_back({desc.startTime, 100});
        const int s = AddContinuousStream(desc, still, ElectrodeSample);
        desc.streams[static_cast<size_t>(s)].sampleRate = 0;  // written with chunks, stored without a rate
        StreamSpec empty;
        empty.typeName = "analog";
        empty.name = "Empty";
        empty.tag = "anlg0003";
        empty.id = 8;
        desc.streams.push_back(empty);
        InterleaveChunks(desc);
        OpenRecording rec(*lib, WriteRecordingTo(dir, "still" + std::to_string(mode) + ".qrd", desc));
        ASSERT_EQ(rec.result(), ns_OK);
        const uint32_t count = rec.FileInfo().dwEntityCount;
        for (uint32_t e = 0; e < count; ++e) {
            const ns_ENTITYINFO info = rec.Entity(e);
            if (std::string(info.szEntityLabel).rfind("filt0002", 0) != 0) continue;
            EXPECT_EQ(info.dwItemCount, 0u) << mode << " " << info.szEntityLabel;
            double t = 0;
            EXPECT_EQ(lib->GetTimeByIndex(rec.id(), e, 0, &t), ns_BADINDEX);
            // No items: index 0, and nothing comes after a positive time.
            uint32_t index = 5;
            EXPECT_EQ(lib->GetIndexByTime(rec.id(), e, 0.5, ns_CLOSEST, &index), ns_OK);
            EXPECT_EQ(index, 0u);
            index = 5;
            EXPECT_EQ(lib->GetIndexByTime(rec.id(), e, 0.5, ns_AFTER, &index), ns_BADINDEX);
            EXPECT_EQ(index, 0u);
        }
    }
}

TEST(AnalogData, CutRecordingYieldsOnlyTheEdgesAndSamplesItHolds) {
    // The header claims 80 ms (2000 samples) but the chunks hold 1000.
    FreshQrdshare lib;
    TempDir dir;
    RecordingSpec desc = ElectrodeAndDigital(1, 1000);
    desc.stopTime = desc.startTime + 80 * kMs;
    OpenRecording rec(*lib, WriteRecordingTo(dir, "cut.qrd", desc));
    ASSERT_EQ(rec.result(), ns_OK);
    EXPECT_EQ(rec.Entity(1).dwItemCount, 2000u);
    EXPECT_EQ(rec.Entity(2).dwItemCount, 99u);   // bit 0 toggles at 10, 20, ..., 990
    EXPECT_EQ(rec.Entity(2 + 3).dwItemCount, 2u);
    EXPECT_EQ(rec.Entity(2 + 15).dwItemCount, 0u);
    // A bit without edges answers the index range of a time window with 0.
    uint32_t from = 9, to = 9;
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), 2 + 15, 0.0, ns_AFTER, &from), ns_OK);
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), 2 + 15, 0.5, ns_BEFORE, &to), ns_OK);
    EXPECT_EQ(from + to, 0u);
    Guarded tail(20);
    ASSERT_EQ(lib->GetAnalogData(rec.id(), 1, 990, 20, nullptr, tail.data()), ns_OK);
    EXPECT_EQ(tail.values[0], DigitalWord(990));
    for (size_t k = 10; k < 20; ++k) EXPECT_EQ(tail.values[k], 0.0) << k;  // never delivered
    EXPECT_TRUE(tail.GuardsIntact(20));
}

}  // namespace
}  // namespace qrd
