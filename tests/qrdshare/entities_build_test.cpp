// The entity list a host sees for recordings written by our writer: which
// entities each kind of stream gives, in which order, with which labels,
// counts and info records, the bit edges of digital channels and the time
// offset of the "BaseIsPressedStart" setting.  Through the loaded library,
// except where the test looks at fields only the table itself holds.
#include "api/entity_builder.h"
#include "api/entity_table.h"
#include "container/stream_file.h"
#include "entities_test_recordings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace qrd {
namespace {

using namespace qrd_test;

TEST(EntityTable, FileWithoutStreamsHasNoEntities) {
    FreshQrdshare lib;
    TempDir dir;
    RecordingSpec desc;
    desc.startTime = EntityRecordingStart();
    desc.sourceType = kSourceLinear;
    OpenRecording rec(*lib, WriteRecordingTo(dir, "empty.qrd", desc));
    ASSERT_EQ(rec.result(), ns_OK);
    const ns_FILEINFO info = rec.FileInfo();
    EXPECT_STREQ(info.szFileType, "LIN cont");
    EXPECT_EQ(info.dwEntityCount, 0u);
    ns_ENTITYINFO e;
    EXPECT_EQ(lib->GetEntityInfo(rec.id(), 0, &e, sizeof e), ns_BADENTITY);
}

TEST(EntityTable, ElectrodeChannelsThenDigitalChannelAndItsSixteenBits) {
    FreshQrdshare lib;
    TempDir dir;
    OpenRecording rec(*lib, WriteRecordingTo(dir, "mea.qrd", ElectrodeAndDigital(60)));
    ASSERT_EQ(rec.result(), ns_OK);
    const ns_FILEINFO info = rec.FileInfo();
    EXPECT_STREQ(info.szFileType, "MEA cont El,Di");
    ASSERT_EQ(info.dwEntityCount, 60u + 1 + 16);

    for (uint32_t i = 0; i < 60; ++i) {
        const ns_ENTITYINFO e = rec.Entity(i);
        EXPECT_EQ(e.dwEntityType, static_cast<uint32_t>(ns_ENTITY_ANALOG)) << i;
        EXPECT_EQ(e.dwItemCount, 2500u) << i;
        char expected[40];
        const std::string name = "E" + std::to_string(i + 1);
        std::snprintf(expected, sizeof expected, "elec0001 %04u %04u %8s", i + 1, i, name.c_str());
        EXPECT_STREQ(e.szEntityLabel, expected);
        double t = -1;
        ASSERT_EQ(lib->GetTimeByIndex(rec.id(), i, 0, &t), ns_OK);
        EXPECT_EQ(t, 0.0);  // the one block starts at the recording start
    }
    EXPECT_EQ(rec.Label(60), "digi0001 0061 0000      D61");
    EXPECT_EQ(rec.Entity(60).dwEntityType, static_cast<uint32_t>(ns_ENTITY_ANALOG));
    for (uint32_t bit = 0; bit < 16; ++bit) {
        const ns_ENTITYINFO e = rec.Entity(61 + bit);
        EXPECT_EQ(e.dwEntityType, static_cast<uint32_t>(ns_ENTITY_EVENT));
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, " %02u", bit);
        const std::string label = e.szEntityLabel;
        EXPECT_EQ(label, "digi0001 0061 0000      D61" + std::string(suffix));
        ns_EVENTINFO ev;
        ASSERT_EQ(lib->GetEventInfo(rec.id(), 61 + bit, &ev, sizeof ev), ns_OK);
        EXPECT_EQ(ev.dwEventType, static_cast<uint32_t>(ns_EVENT_BYTE));
        EXPECT_EQ(ev.dwMinDataLength, 1u);
        EXPECT_EQ(ev.dwMaxDataLength, 1u);
    }

    ns_ANALOGINFO a;
    ASSERT_EQ(lib->GetAnalogInfo(rec.id(), 0, &a, sizeof a), ns_OK);
    EXPECT_DOUBLE_EQ(a.dSampleRate, 25000.0);
    EXPECT_DOUBLE_EQ(a.dMinVal, -0.0032768);
    EXPECT_DOUBLE_EQ(a.dMaxVal, 0.0032768);
    EXPECT_DOUBLE_EQ(a.dResolution, 1.0e-7);
    EXPECT_STREQ(a.szUnits, "V");
    ASSERT_EQ(lib->GetAnalogInfo(rec.id(), 60, &a, sizeof a), ns_OK);
    EXPECT_EQ(a.dMinVal, 0.0);
    EXPECT_EQ(a.dMaxVal, 65536.0);
    EXPECT_EQ(a.dResolution, 1.0);
    EXPECT_STREQ(a.szUnits, "raw");
}

// Every edge of one bit entity: (time, byte).
std::vector<std::pair<double, uint8_t>> Edges(NsLibrary& lib, uint32_t id, uint32_t entity) {
    std::vector<std::pair<double, uint8_t>> edges;
    const uint32_t count = [&] {
        ns_ENTITYINFO e;
        return lib.GetEntityInfo(id, entity, &e, sizeof e) == ns_OK ? e.dwItemCount : 0u;
    }();
    for (uint32_t i = 0; i < count; ++i) {
        double t = -1;
        uint8_t data[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        uint32_t size = 0;
        EXPECT_EQ(lib.GetEventData(id, entity, i, &t, data, sizeof data, &size), ns_OK);
        EXPECT_EQ(size, 1u);
        EXPECT_EQ(data[1], 0xAA);  // one byte written, no more
        edges.emplace_back(t, data[0]);
    }
    return edges;
}

TEST(EntityTable, DigitalEdgesComeBackWithTheirTimesAndDirections) {
    FreshQrdshare lib;
    TempDir dir;
    OpenRecording rec(*lib, WriteRecordingTo(dir, "digital.qrd", ElectrodeAndDigital(2)));
    ASSERT_EQ(rec.result(), ns_OK);
    const uint32_t bit0 = 3;  // after two electrodes and the digital channel

    const auto toggles = Edges(*lib, rec.id(), bit0);
    ASSERT_EQ(toggles.size(), 249u);  // a change every 10 samples of 2500
    for (size_t k = 0; k < toggles.size(); ++k) {
        EXPECT_DOUBLE_EQ(toggles[k].first, (k + 1) * 10 * kPeriod25k) << k;
        EXPECT_EQ(toggles[k].second, k % 2 == 0 ? 1 : 0xFF) << k;
    }
    const auto bit3 = Edges(*lib, rec.id(), bit0 + 3);
    ASSERT_EQ(bit3.size(), 2u);
    EXPECT_DOUBLE_EQ(bit3[0].first, 100 * kPeriod25k);
    EXPECT_EQ(bit3[0].second, 1);
    EXPECT_DOUBLE_EQ(bit3[1].first, 200 * kPeriod25k);
    EXPECT_EQ(bit3[1].second, 0xFF);
    const auto bit15 = Edges(*lib, rec.id(), bit0 + 15);
    ASSERT_EQ(bit15.size(), 1u);
    EXPECT_DOUBLE_EQ(bit15[0].first, 2000 * kPeriod25k);
    for (uint32_t quiet : {1u, 2u, 4u, 14u}) EXPECT_EQ(rec.Entity(bit0 + quiet).dwItemCount, 0u) << quiet;

    // Between two edges "after" names the later one, "before" the earlier.
    uint32_t index = 0;
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), bit0, 15 * kPeriod25k, ns_AFTER, &index), ns_OK);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(lib->GetIndexByTime(rec.id(), bit0, 15 * kPeriod25k, ns_BEFORE, &index), ns_OK);
    EXPECT_EQ(index, 0u);
}

TEST(EntityTable, TriggerStreamGivesOneEventEntityWithValueAndWords) {
    FreshQrdshare lib;
    TempDir dir;
    RecordingSpec desc;
    desc.startTime = EntityRecordingStart();
    AddTriggerEvents(desc, TriggerStream(-7, true), {{1 * kMs, 0x0001}, {2500000, 0x00FF}, {60 * kMs, 0xABCD}});
    RecordingSpec bare;
    bare.startTime = EntityRecordingStart();
    AddTriggerEvents(bare, TriggerStream(0, false), {{1 * kMs, 0x0102}});
    OpenRecording rec(*lib, WriteRecordingTo(dir, "trigger.qrd", desc));
    OpenRecording noInfo(*lib, WriteRecordingTo(dir, "bare.qrd", bare));
    ASSERT_EQ(rec.result(), ns_OK);
    ASSERT_EQ(noInfo.result(), ns_OK);

    ASSERT_EQ(rec.FileInfo().dwEntityCount, 1u);
    const ns_ENTITYINFO e = rec.Entity(0);
    EXPECT_STREQ(e.szEntityLabel, "trig0001 0000 0000 trig0001");
    EXPECT_EQ(e.dwEntityType, static_cast<uint32_t>(ns_ENTITY_EVENT));
    ASSERT_EQ(e.dwItemCount, 3u);
    ns_EVENTINFO ev;
    ASSERT_EQ(lib->GetEventInfo(rec.id(), 0, &ev, sizeof ev), ns_OK);
    EXPECT_EQ(ev.dwEventType, static_cast<uint32_t>(ns_EVENT_WORD));
    EXPECT_EQ(ev.dwMaxDataLength, 4u);

    const double times[] = {0.001, 0.0025, 0.06};
    const uint16_t words[] = {0x0001, 0x00FF, 0xABCD};
    for (uint32_t i = 0; i < 3; ++i) {
        double t = -1;
        uint16_t data[3] = {0xEEEE, 0xEEEE, 0xEEEE};
        uint32_t size = 0;
        ASSERT_EQ(lib->GetEventData(rec.id(), 0, i, &t, data, 4, &size), ns_OK);
        EXPECT_DOUBLE_EQ(t, times[i]);
        EXPECT_EQ(data[0], 7);  // |event value|
        EXPECT_EQ(data[1], words[i]);
        EXPECT_EQ(data[2], 0xEEEE);
        EXPECT_EQ(size, 4u);
    }
    // Too small for the two words: nothing is written, the size needed is told.
    uint8_t small[4] = {0x11, 0x22, 0x33, 0x44};
    uint32_t size = 0;
    EXPECT_EQ(lib->GetEventData(rec.id(), 0, 0, nullptr, small, 3, &size), ns_OK);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(small[0], 0x11);
    EXPECT_EQ(small[2], 0x33);
    EXPECT_EQ(lib->GetEventData(rec.id(), 0, 3, nullptr, small, 4, &size), ns_BADINDEX);

    // Without detector settings the event value reads 0; the words are still there.
    uint16_t data[2] = {0xEEEE, 0xEEEE};
    ASSERT_EQ(lib->GetEventData(noInfo.id(), 0, 0, nullptr, data, 4, nullptr), ns_OK);
    EXPECT_EQ(data[0], 0);
    EXPECT_EQ(data[1], 0x0102);
}

TEST(EntityTable, SweepRecordingGivesAnalogThenSegmentEntities) {
    FreshQrdshare lib;
    TempDir dir;
    OpenRecording rec(*lib, WriteRecordingTo(dir, "sweeps.qrd", SweepRecording({1000, 1000, 1000})));
    ASSERT_EQ(rec.result(), ns_OK);
    EXPECT_STREQ(rec.FileInfo().szFileType, "MEA trig An,Tr");
    ASSERT_EQ(rec.FileInfo().dwEntityCount, 5u);  // 2 analog, 2 segment, the trigger
    for (uint32_t e : {0u, 1u}) {
        EXPECT_EQ(rec.Entity(e).dwEntityType, static_cast<uint32_t>(ns_ENTITY_ANALOG));
        EXPECT_EQ(rec.Entity(e).dwItemCount, 3000u);
    }
    for (uint32_t e : {2u, 3u}) {
        EXPECT_EQ(rec.Entity(e).dwEntityType, static_cast<uint32_t>(ns_ENTITY_SEGMENT));
        EXPECT_EQ(rec.Entity(e).dwItemCount, 3u);
        ns_SEGMENTINFO s;
        ASSERT_EQ(lib->GetSegmentInfo(rec.id(), e, &s, sizeof s), ns_OK);
        EXPECT_EQ(s.dwSourceCount, 1u);
        EXPECT_EQ(s.dwMinSampleCount, 1000u);
        EXPECT_EQ(s.dwMaxSampleCount, 1000u);
        EXPECT_DOUBLE_EQ(s.dSampleRate, 25000.0);
        EXPECT_STREQ(s.szUnits, "V");
    }
    EXPECT_EQ(rec.Label(2), "anlg0001 0001 0000       A1");
    EXPECT_EQ(rec.Entity(4).dwEntityType, static_cast<uint32_t>(ns_ENTITY_EVENT));

    double t = -1;
    ASSERT_EQ(lib->GetTimeByIndex(rec.id(), 1, 1000, &t), ns_OK);  // first sample of sweep 1
    EXPECT_DOUBLE_EQ(t, 0.1);
    ASSERT_EQ(lib->GetTimeByIndex(rec.id(), 1, 2999, &t), ns_OK);
    EXPECT_DOUBLE_EQ(t, 0.2 + 999 * kPeriod25k);
    ASSERT_EQ(lib->GetTimeByIndex(rec.id(), 3, 2, &t), ns_OK);
    EXPECT_DOUBLE_EQ(t, 0.2);
}

TEST(EntityTable, SweepModeDigitalEdgesStayWithinTheirSweep) {
    // Bit 0 is set in the second half of every 100-sample sweep: it rises at
    // sample 50 of each sweep and drops back across the sweep boundary, which
    // is no edge (a sweep's first sample is never compared with the last one
    // of the sweep before).
    FreshQrdshare lib;
    TempDir dir;
    RecordingSpec desc = SweepRecording({100, 100, 100});
    ContinuousStreamOptions digital;
    digital.id = 6;
    digital.channelNamePrefix = "D";
    digital.chunkDuration = 10 * kMs;
    for (uint64_t w = 0; w < 3; ++w) digital.spans.push_back({desc.startTime + w * 100 * kMs, 100});
    AddDigitalStream(desc, digital, [](uint64_t i) { return static_cast<uint16_t>(i % 100 >= 50 ? 1 : 0); });
    InterleaveChunks(desc);
    OpenRecording rec(*lib, WriteRecordingTo(dir, "digital_sweeps.qrd", desc));
    ASSERT_EQ(rec.result(), ns_OK);
    // anlg: 2 analog + 2 segment; trigger; digi: analog, 16 bits, segment.
    ASSERT_EQ(rec.FileInfo().dwEntityCount, 4u + 1 + 18);
    EXPECT_EQ(rec.Entity(5).dwEntityType, static_cast<uint32_t>(ns_ENTITY_ANALOG));
    EXPECT_EQ(rec.Entity(22).dwEntityType, static_cast<uint32_t>(ns_ENTITY_SEGMENT));
    const auto rises = Edges(*lib, rec.id(), 6);
    ASSERT_EQ(rises.size(), 3u);
    for (size_t w = 0; w < 3; ++w) {
        EXPECT_DOUBLE_EQ(rises[w].first, 0.1 * w + 50 * kPeriod25k) << w;
        EXPECT_EQ(rises[w].second, 1) << w;
    }
    EXPECT_EQ(rec.Entity(7).dwItemCount, 0u);
}

// Opens a recording in the core library and builds its table directly, for
// the fields a host cannot see.
struct CoreTable {
    CQRVAStreamFile file;
    EntityTable table;
    bool built = false;
    CoreTable(const std::string& path, int32_t baseIsPressedStart = 0) {
        if (file.Open(path.c_str()) == CQRVAStreamFile::kOpenOk)
            built = BuildEntityTable(file, baseIsPressedStart, table);
    }
};

TEST(EntityTable, CommonSweepLength) {
    TempDir dir;
    CoreTable same(WriteRecordingTo(dir, "same.qrd", SweepRecording({100, 100, 100})));
    CoreTable differ(WriteRecordingTo(dir, "differ.qrd", SweepRecording({100, 90})));
    RecordingSpec noSweeps = SweepRecording({});
    CoreTable none(WriteRecordingTo(dir, "none.qrd", noSweeps));
    ASSERT_TRUE(same.built && differ.built && none.built);

    ASSERT_GE(same.table.Count(), 4u);
    EXPECT_EQ(same.table.At(0)->blockLength, 100);
    EXPECT_EQ(same.table.At(0)->itemCount, 300);
    EXPECT_EQ(differ.table.At(0)->blockLength, 0);
    EXPECT_EQ(differ.table.At(0)->itemCount, 190);
    EXPECT_EQ(differ.table.At(2)->minSampleCount, 90);
    EXPECT_EQ(differ.table.At(2)->maxSampleCount, 100);
    ASSERT_GE(none.table.Count(), 4u);
    EXPECT_EQ(none.table.At(0)->blockLength, -1);
    EXPECT_EQ(none.table.At(0)->itemCount, 0);
    EXPECT_EQ(none.table.At(2)->itemCount, 0);
    // Segment items are numbered by sweep; analog blocks by sample.
    ASSERT_EQ(differ.table.At(2)->blocks.size(), 2u);
    EXPECT_EQ(differ.table.At(2)->blocks[1].firstIndex, 1u);
    EXPECT_EQ(differ.table.At(0)->blocks[1].firstIndex, 100u);
}

TEST(EntityTable, PressedStartSettingMeasuresTimesFromTheFileTime) {
    FreshQrdshare on("[Settings]\nBaseIsPressedStart=1\n");
    FreshQrdshare off;
    TempDir dir;
    RecordingSpec desc = ElectrodeAndDigital(1);
    desc.fileTime = desc.startTime - 2500 * kMs;
    const std::string path = WriteRecordingTo(dir, "offset.qrd", desc);
    OpenRecording withOffset(*on, path);
    OpenRecording without(*off, path);
    ASSERT_EQ(withOffset.result(), ns_OK);
    ASSERT_EQ(without.result(), ns_OK);

    double t = -1;
    ASSERT_EQ(on->GetTimeByIndex(withOffset.id(), 0, 0, &t), ns_OK);
    EXPECT_DOUBLE_EQ(t, 2.5);
    ASSERT_EQ(on->GetTimeByIndex(withOffset.id(), 0, 25, &t), ns_OK);
    EXPECT_DOUBLE_EQ(t, 2.501);
    ASSERT_EQ(on->GetEventData(withOffset.id(), 2, 0, &t, nullptr, 0, nullptr), ns_OK);  // first edge of bit 0
    EXPECT_DOUBLE_EQ(t, 10 * kPeriod25k + 2.5);
    ASSERT_EQ(off->GetTimeByIndex(without.id(), 0, 0, &t), ns_OK);
    EXPECT_EQ(t, 0.0);

    // A time before the first sample (the gap the offset opens) gives the
    // first sample with "after".
    uint32_t index = 99;
    EXPECT_EQ(on->GetIndexByTime(withOffset.id(), 0, 1.0, ns_AFTER, &index), ns_OK);
    EXPECT_EQ(index, 0u);
}

}  // namespace
}  // namespace qrd
