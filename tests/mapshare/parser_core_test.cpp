// The parser and channel model through the static core: tick rounding, the
// mapping table and how malformed records are passed over.
#include "last_error.h"
#include "map_file.h"
#include "map_parser.h"
#include "map_writer.h"
#include "mapping_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace mapshare;
using maptest::MapWriter;
using maptest::MultiplexWords;
using maptest::TempDir;

namespace {

// Parses the writer's bytes; the file is kept open for inspection.
std::unique_ptr<MapFile> parse(const TempDir& dir, const MapWriter& w, bool* ok) {
    const std::string path = dir.file("r.map");
    EXPECT_TRUE(w.writeTo(path));
    auto file = std::make_unique<MapFile>(path);
    EXPECT_TRUE(file->file().open(path));
    clearLastError();
    *ok = parseMapFile(*file);
    return file;
}

}  // namespace

TEST(TickRound, IsACeilingWithToleranceAndNeverUndefined) {
    EXPECT_EQ(tickRound(2.3), 3);
    EXPECT_EQ(tickRound(2.0000005), 2);
    EXPECT_EQ(tickRound(2.0), 2);
    EXPECT_EQ(tickRound(10.2), 11);
    EXPECT_EQ(tickRound(static_cast<double>(20.0f) * static_cast<double>(0.51f)), 11);
    EXPECT_EQ(tickRound(-2.7), -2);
    EXPECT_EQ(tickRound(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(tickRound(std::numeric_limits<double>::infinity()), INT32_MAX);
    EXPECT_EQ(tickRound(-1e300), INT32_MIN);
    EXPECT_EQ(tickRound(2147483646.5), 2147483647);
}

TEST(MappingTable, FirstPairWinsAndLookupsFindEveryKey) {
    MappingTable table(4);
    table.insert(1002, 3);
    table.insert(1001, 3);
    table.insert(1001, 9);   // the first value stays
    table.insert(5, 7);
    table.insert(6, 8);
    table.insert(7, 9);      // the table is full
    EXPECT_EQ(table.size(), 4u);
    EXPECT_EQ(table.lookup(1001), 3u);
    EXPECT_EQ(table.lookup(1002), 3u);   // the pair after the last hit
    EXPECT_EQ(table.lookup(5), 7u);
    EXPECT_EQ(table.lookup(7), 0u);
    EXPECT_EQ(table.lookup(1003), 0u);
    EXPECT_EQ(MappingTable().lookup(5), 0u);
}

TEST(MappingTable, MissingPairsAndBadCountsFromTheDefaultsFile) {
    TempDir dir;
    const std::string ini = dir.file("VexorDefaults.ini");
    EXPECT_EQ(loadMappingTable(ini).size(), 0u) << "no file, no mapping";
    // Pair 1 is missing: its (0, 0) pair wins over the later (0, 5).
    ASSERT_TRUE(maptest::writeTextFile(ini, "[PostProcessing]\nDefault Mapping Count=3\nAnalog2=5\nAnalog3=6\nDigital3=9\n"));
    MappingTable table = loadMappingTable(ini);
    EXPECT_EQ(table.lookup(0), 0u);
    EXPECT_EQ(table.lookup(9), 6u);
    // Pairs beyond the count are not read.
    ASSERT_TRUE(maptest::writeTextFile(ini, "[PostProcessing]\nDefault Mapping Count=1\nAnalog2=5\nDigital2=9\n"));
    EXPECT_EQ(loadMappingTable(ini).lookup(9), 0u);
    ASSERT_TRUE(maptest::writeTextFile(ini, "[PostProcessing]\nDefault Mapping Count=-4\nAnalog1=5\nDigital1=9\n"));
    EXPECT_EQ(loadMappingTable(ini).lookup(9), 0u);
    EXPECT_EQ(defaultsPathFor("/data/run 1/rec.map"), "/data/run 1/VexorDefaults.ini");
    EXPECT_EQ(defaultsPathFor("rec.map"), "VexorDefaults.ini");
}

TEST(Parser, MalformedRecordsArePassedOverWithoutReadingPastThem) {
    TempDir dir;
    MapWriter w;
    w.header60().continuous(1, 10.0f, "A", 6).digital(2, 10.0f, "D").port(0, 3, "P");
    w.record(9, '5', {1, 0, 0, 0, 0});          // shorter than a block: skipped
    w.record(11, '5', {2, 0, 7, 0, 0, 0, 0});   // an event block needs 12 bytes: skipped
    w.record(40, '1', std::vector<uint8_t>(36, 0xFF));   // too short for the resolution
    w.samples(77, 0, {1, 2});                   // no channel 77
    MultiplexWords mux;                         // the sub-record of channel 1 runs past the record
    mux.analog(1, {1, 2, 3}, 10);
    w.multiplexed(mux);
    w.samples(1, 0, {5, 6, 7});
    bool ok = false;
    auto file = parse(dir, w, &ok);
    ASSERT_TRUE(ok) << lastErrorText();
    EXPECT_STREQ(lastErrorText(), "Channel not found") << "the first message of the walk survives";
    EXPECT_EQ(file->channel(0)->blocks().size(), 1u);
    EXPECT_EQ(file->channel(0)->blocks()[0].sampleCount, 3u);
    EXPECT_TRUE(file->channel(1)->blocks().empty());
    EXPECT_EQ(double{file->info.dTimeStampResolution}, static_cast<double>(1.3f) * 1e-6);
}

TEST(Parser, ARecordLengthBelowTheFrameEndsTheWalk) {
    TempDir dir;
    MapWriter w;
    w.header60().continuous(1, 10.0f, "A").samples(1, 0, {1}).record(3, '5', {}).samples(1, 1, {2});
    bool ok = false;
    auto file = parse(dir, w, &ok);
    ASSERT_TRUE(ok);
    EXPECT_STREQ(lastErrorText(), "Invalid record length");
    EXPECT_EQ(file->channel(0)->blocks().size(), 1u);
}

TEST(Parser, HeaderOfAnotherLengthKeepsTheVersion) {
    TempDir dir;
    MapWriter w;
    w.header40(57).header(50, 9).digital(1, 10.0f, "LaterLayout");
    bool ok = false;
    auto file = parse(dir, w, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(file->channel(0)->name(), "LaterLayout");
    EXPECT_NE(std::string(file->info.szFileComment).find("Version 1 , Application : VmMapVelmora"), std::string::npos);
}
