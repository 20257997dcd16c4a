// File information, entity list and information records of MAP recordings,
// through the exports of the shared library.
#include "map_host.h"
#include "map_writer.h"

using namespace maptest;

namespace {

struct Fixture {
    TempDir dir;
    std::unique_ptr<OpenRecording> open(const MapWriter& w, const std::string& name = "r.map") {
        EXPECT_TRUE(w.writeTo(dir.file(name)));
        auto rec = std::make_unique<OpenRecording>(dir.file(name));
        EXPECT_EQ(rec->result(), ns_OK) << mapLib().lastError();
        return rec;
    }
};

ns_NEURALINFO neuralInfo(const OpenRecording& rec, uint32_t entity) {
    Guarded<ns_NEURALINFO> info;
    EXPECT_EQ(mapLib().GetNeuralInfo(rec.handle(), entity, info.get(), info.size()), ns_OK);
    EXPECT_TRUE(info.guardIntact());
    return *info;
}

}  // namespace

TEST(FileInfo, HeaderFieldsAndCommentTexts) {
    Fixture f;
    HeaderFields fields;
    fields.year = 2025;
    fields.month = 3;
    fields.day = 14;
    fields.hour = 9;
    fields.subSecond = 77;
    fields.spanStart = 1.5;
    fields.spanEnd = 4.0;
    MapWriter one;
    one.header60(7, fields).continuous(1, 10.0f, "A").digital(2, 10.0f, "D");
    auto rec = f.open(one);
    Guarded<ns_FILEINFO> info;
    ASSERT_EQ(mapLib().GetFileInfo(rec->handle(), info.get(), info.size()), ns_OK);
    EXPECT_TRUE(info.guardIntact());
    EXPECT_STREQ(info->szFileType, "Velmora");
    EXPECT_STREQ(info->szAppName, "VmMap");
    EXPECT_EQ(info->dwEntityCount, 2u);
    EXPECT_EQ(info->dwTime_Year, 2025u);
    EXPECT_EQ(info->dwTime_Month, 3u);
    EXPECT_EQ(info->dwTime_Day, 14u);
    EXPECT_EQ(info->dwTime_DayofWeek, 0u);
    EXPECT_EQ(info->dwTime_Hour, 9u);
    EXPECT_EQ(info->dwTime_MilliSec, 77u);
    EXPECT_DOUBLE_EQ(double{info->dTimeSpan}, 2.5);
    EXPECT_EQ(double{info->dTimeStampResolution}, static_cast<double>(1.3f) * 1e-6);
    EXPECT_STREQ(info->szFileComment,
                 "Velmora , Library for MAP files. , Map Format Version 7 , Application : VmMap"
                 "    Number of used channels is 2 (1 Continuous,0 Level,0 Window Discriminator,"
                 "0 External Trigger,1 Digital,0 Port)");

    MapWriter two;
    two.header40().header60(5).resolution(2.0f);
    auto rec2 = f.open(two, "two.map");
    const ns_FILEINFO info2 = rec2->info();
    // Two header texts, then the channel counts, cut to the 255 characters
    // that the comment field holds.
    const std::string expected =
        "Velmora , Library for MAP files. , Map Format Version 1 , Application : VmMap"
        "Velmora , Library for MAP files. , Map Format Version 5 , Application : VmMap"
        "    Number of used channels is 0 (0 Continuous,0 Level,0 Window Discriminator,"
        "0 External Trigger,0 Digital,0 Port)";
    EXPECT_EQ(std::string(info2.szFileComment), expected.substr(0, 255));
    EXPECT_EQ(double{info2.dTimeStampResolution}, 2e-6);

}

TEST(Definitions, NameOffsetsFollowTheFormatVersion) {
    Fixture f;
    MapWriter early;   // version 1, layout word not 57: digital names at 28, port names at 12
    early.header40(0).digital(1, 10.0f, "EarlyDigital", true).port(0, 5, "EarlyPort", true);
    auto rec = f.open(early, "early.map");
    EXPECT_STREQ(rec->entity(0).szEntityLabel, "EarlyDigital");
    EXPECT_STREQ(rec->entity(1).szEntityLabel, "EarlyPort");

    MapWriter later;   // version 1 with layout word 57: digital names at 30
    later.header40(57).digital(1, 10.0f, "LaterDigital").port(0, 5, "P1Port", true);
    auto rec2 = f.open(later, "later.map");
    EXPECT_STREQ(rec2->entity(0).szEntityLabel, "LaterDigital");
    EXPECT_STREQ(rec2->entity(1).szEntityLabel, "P1Port");

    MapWriter modern;  // no version-1 header: names at 30 and 14
    modern.header60(3).digital(1, 10.0f, "Digital").port(0, 5, "Port").digital(9, 10.0f, "Off", false, false);
    auto rec3 = f.open(modern, "modern.map");
    EXPECT_EQ(rec3->info().dwEntityCount, 2u) << "an inactive definition makes no channel";
    EXPECT_STREQ(rec3->entity(0).szEntityLabel, "Digital");
    EXPECT_STREQ(rec3->entity(1).szEntityLabel, "Port");
}

TEST(Entities, TypesLabelsAndItemCounts) {
    Fixture f;
    const std::string longName(40, 'n');
    MapWriter w;
    w.header60().continuous(1, 10.0f, longName).analog(AnalogMode::Level, 2, 10.0f, "Level");
    w.analog(AnalogMode::WindowDiscriminator, 3, 10.0f, "Window").analog(AnalogMode::ExternalTrigger, 4, 10.0f, "Ext");
    w.digital(5, 10.0f, "Dig").port(0, 6, "Port");
    w.samples(1, 0, std::vector<int16_t>(100)).samples(1, 100, std::vector<int16_t>(50));
    for (uint32_t i = 0; i < 7; ++i) w.samples(2, 1000 * i, std::vector<int16_t>(8));
    w.digitalEvent(5, 10, 1).digitalEvent(5, 20, 0);
    auto rec = f.open(w);
    // Every segment channel has at least unit 0, so three neural entities follow.
    ASSERT_EQ(rec->info().dwEntityCount, 9u);

    Guarded<ns_ENTITYINFO> e;
    ASSERT_EQ(mapLib().GetEntityInfo(rec->handle(), 0, e.get(), e.size()), ns_OK);
    EXPECT_TRUE(e.guardIntact());
    EXPECT_EQ(std::string(e->szEntityLabel), std::string(31, 'n'));
    EXPECT_EQ(e->dwEntityType, 2u);
    EXPECT_EQ(e->dwItemCount, 150u);
    const uint32_t expectedTypes[] = {2, 3, 3, 3, 1, 1, 4, 4, 4};
    for (uint32_t i = 0; i < 9; ++i) EXPECT_EQ(rec->entity(i).dwEntityType, expectedTypes[i]) << i;
    EXPECT_EQ(rec->entity(1).dwItemCount, 7u);
    EXPECT_EQ(rec->entity(4).dwItemCount, 2u);

    Guarded<ns_EVENTINFO> digital;
    ASSERT_EQ(mapLib().GetEventInfo(rec->handle(), 4, digital.get(), digital.size()), ns_OK);
    EXPECT_EQ(digital->dwEventType, static_cast<uint32_t>(ns_EVENT_BYTE));
    EXPECT_EQ(digital->dwMaxDataLength, 1u);
    ns_EVENTINFO port{};
    ASSERT_EQ(mapLib().GetEventInfo(rec->handle(), 5, &port, sizeof port), ns_OK);
    EXPECT_EQ(port.dwEventType, static_cast<uint32_t>(ns_EVENT_WORD));
    EXPECT_EQ(port.dwMinDataLength, 2u);

    Guarded<ns_ANALOGINFO> analog;
    ASSERT_EQ(mapLib().GetAnalogInfo(rec->handle(), 1, analog.get(), analog.size()), ns_OK);
    EXPECT_TRUE(analog.guardIntact());
    EXPECT_EQ(double{analog->dSampleRate}, 10000.0);
    EXPECT_EQ(double{analog->dResolution}, 5.0 / 32767.0);
    EXPECT_EQ(double{analog->dHighFreqCorner}, 10000.0);
    EXPECT_EQ(double{analog->dLowFreqCorner}, 1.0);
    EXPECT_EQ(analog->dwLowFreqOrder, 3u);
    EXPECT_STREQ(analog->szHighFilterType, "4 POLE");
    EXPECT_STREQ(analog->szProbeInfo, "Ch.Name: Level  VMType: Level");

    Guarded<ns_SEGMENTINFO> segment;
    ASSERT_EQ(mapLib().GetSegmentInfo(rec->handle(), 1, segment.get(), segment.size()), ns_OK);
    EXPECT_EQ(segment->dwSourceCount, 1u);
    EXPECT_EQ(segment->dwMinSampleCount, 8u);
    EXPECT_EQ(double{segment->dSampleRate}, 10000.0);
    ns_NEURALINFO neural{};
    EXPECT_EQ(mapLib().GetNeuralInfo(rec->handle(), 1, &neural, sizeof neural), ns_BADENTITY);
}

TEST(Entities, PortTakesTheRateOfItsDigitalChannel) {
    Fixture f;
    MapWriter w;
    // Port group 0, number 2 samples with digital channel 16 * 2 + 1001 = 1033.
    w.header60().digital(1033, 12.5f, "D1033").port(0, 2, "Port").port(1, 1002, "Far");
    auto rec = f.open(w);
    EXPECT_EQ(mapLib().lastError(), "") << "no block of Far needed its rate while parsing";
    ns_ANALOGINFO info{};
    ASSERT_EQ(mapLib().GetAnalogInfo(rec->handle(), 1, &info, sizeof info), ns_OK);
    EXPECT_EQ(double{info.dSampleRate}, 12500.0);
    EXPECT_EQ(mapLib().lastError(), "");
    // Group 1, number 1002: 16 * (2 + 625) + 1001 = 11033, which is not there.
    // The call answers rate 0 and says why.
    ASSERT_EQ(mapLib().GetAnalogInfo(rec->handle(), 2, &info, sizeof info), ns_OK);
    EXPECT_EQ(double{info.dSampleRate}, 0.0);
    EXPECT_EQ(mapLib().lastError(), "Could not get the port samplingrate");
    ns_SEGMENTINFO segment{};
    ASSERT_EQ(mapLib().GetSegmentInfo(rec->handle(), 2, &segment, sizeof segment), ns_OK);
    EXPECT_EQ(mapLib().lastError(), "Could not get the port samplingrate");

    // While parsing, the first block of such a port reports it; being first,
    // the message outlives the later one about data of an undefined channel.
    MapWriter blocks;
    blocks.header60().port(1, 1002, "Far").portEvent(1002, 10, 1).samples(99, 20, {1, 2});
    auto parsed = f.open(blocks, "blocks.map");
    EXPECT_EQ(mapLib().lastError(), "Could not get the port samplingrate");
}

TEST(SortedUnits, EachUnitOfASegmentChannelBecomesANeuralEntity) {
    Fixture f;
    MapWriter w;
    w.header60().analog(AnalogMode::Level, 4, 20.0f, "Lvl").continuous(9, 20.0f, "After");
    w.samples(4, 100, std::vector<int16_t>(16), 0).samples(4, 200, std::vector<int16_t>(16), 2);
    w.samples(4, 300, std::vector<int16_t>(16), 2);
    auto rec = f.open(w);
    ASSERT_EQ(rec->info().dwEntityCount, 5u);
    ns_SEGMENTINFO segment{};
    ASSERT_EQ(mapLib().GetSegmentInfo(rec->handle(), 0, &segment, sizeof segment), ns_OK);
    EXPECT_EQ(segment.dwSourceCount, 3u);
    const uint32_t items[] = {1, 0, 2};
    for (uint32_t u = 0; u < 3; ++u) {
        const ns_ENTITYINFO e = rec->entity(2 + u);
        EXPECT_EQ(std::string(e.szEntityLabel), "Lvl Unit " + std::to_string(u));
        EXPECT_EQ(e.dwEntityType, 4u);
        EXPECT_EQ(e.dwItemCount, items[u]);
        const ns_NEURALINFO n = neuralInfo(*rec, 2 + u);
        EXPECT_EQ(n.dwSourceEntityID, 0u);
        EXPECT_EQ(n.dwSourceUnitID, u);
        EXPECT_EQ(std::string(n.szProbeInfo), "Lvl Unit " + std::to_string(u));
    }
}

TEST(SortedUnits, DefaultsFileMapsDigitalChannelsOntoAnalogOnes) {
    Fixture f;
    // Two digital channels share target 3, a third goes to target 4, and a
    // second pair for digital 1001 is ignored (the first pair wins).
    ASSERT_TRUE(writeDefaults(f.dir.path(), {{3, 1001}, {3, 1002}, {4, 1003}, {4, 1001}}));
    MapWriter w;
    w.header60().continuous(3, 10.0f, "Three").digital(1001, 10.0f, "D1").digital(1002, 10.0f, "D2");
    w.digital(1003, 10.0f, "D3").continuous(4, 10.0f, "Four").digital(1004, 10.0f, "Unmapped");
    w.digitalEvent(1001, 5, 1).digitalEvent(1001, 9, 1).digitalEvent(1002, 7, 1);
    // An event of 1003 whose record carries unit byte 2: the mapped channel is
    // one unit, so the byte must not give it three sources.
    w.record(12, '5', {0xEB, 0x03, 11, 0, 0, 0, 1, 0}, 2);
    auto rec = f.open(w);
    ASSERT_EQ(rec->info().dwEntityCount, 6u) << "each mapped channel is replaced, not added";
    EXPECT_STREQ(rec->entity(0).szEntityLabel, "Three");
    EXPECT_STREQ(rec->entity(1).szEntityLabel, "Four");
    EXPECT_STREQ(rec->entity(2).szEntityLabel, "Unmapped");
    const char* labels[] = {"D1 Unit 1", "D2 Unit 2", "D3 Unit 1"};
    const uint32_t sources[] = {0, 0, 1};
    const uint32_t items[] = {2, 1, 1};
    for (uint32_t i = 0; i < 3; ++i) {
        const ns_ENTITYINFO e = rec->entity(3 + i);
        EXPECT_STREQ(e.szEntityLabel, labels[i]);
        EXPECT_EQ(e.dwEntityType, 4u);
        EXPECT_EQ(e.dwItemCount, items[i]);
        EXPECT_EQ(neuralInfo(*rec, 3 + i).dwSourceEntityID, sources[i]) << i;
    }
    EXPECT_STREQ(neuralInfo(*rec, 4).szProbeInfo, "Three Unit 2");
    EXPECT_STREQ(neuralInfo(*rec, 5).szProbeInfo, "Four Unit 1");
    ns_SEGMENTINFO units{};
    ASSERT_EQ(mapLib().GetSegmentInfo(rec->handle(), 5, &units, sizeof units), ns_OK);
    EXPECT_EQ(units.dwSourceCount, 1u);
    ns_SEGSOURCEINFO source{};
    EXPECT_EQ(mapLib().GetSegmentSourceInfo(rec->handle(), 5, 1, &source, sizeof source), ns_BADSOURCE);
}

TEST(SortedUnits, SourceEntityNamesTheTargetInTheFinalList) {
    Fixture f;
    // The target follows the mapped channel: once the digital channel is taken
    // out of the list, the target moves up by one.
    ASSERT_TRUE(writeDefaults(f.dir.path(), {{3, 1001}}));
    MapWriter w;
    w.header60().digital(1001, 10.0f, "D1").continuous(2, 10.0f, "Two").continuous(3, 10.0f, "Three");
    auto rec = f.open(w);
    const uint32_t three = rec->find("Three");
    ASSERT_EQ(three, 1u);
    const ns_NEURALINFO n = neuralInfo(*rec, rec->find("D1 Unit 1"));
    EXPECT_EQ(n.dwSourceEntityID, three);
    EXPECT_STREQ(n.szProbeInfo, "Three Unit 1");
}

TEST(SortedUnits, DefaultsFileValuesAreReadLikeProfileStrings) {
    Fixture f;
    // Quoted values, a count far beyond the pairs, keys in another case.
    ASSERT_TRUE(writeTextFile(f.dir.file("VexorDefaults.ini"),
                              "[postprocessing]\ndefault mapping count=4000000000\nANALOG1=\"2\"\ndigital1=77\n"));
    MapWriter w;
    w.header60().continuous(2, 10.0f, "Target").digital(77, 10.0f, "Mapped");
    auto rec = f.open(w);
    ASSERT_EQ(rec->info().dwEntityCount, 2u);
    EXPECT_STREQ(rec->entity(1).szEntityLabel, "Mapped Unit 1");
}
