// Header records of the container: every record is written and read back, in
// every header version, with the version defaults and the short-record rules.
#include <gtest/gtest.h>

#include <cstring>

#include "container/binary_file.h"
#include "container/channel_record.h"
#include "container/chunk_header.h"
#include "container/file_header.h"
#include "container/stream_format.h"
#include "container/stream_header.h"
#include "support/temp_dir.h"

namespace qrd {
namespace {

using qrd_test::TempDir;

// Writes bytes to a file in dir and opens it for reading.
void OpenBytes(const TempDir& dir, const std::vector<uint8_t>& bytes, BinaryFile& file) {
    const std::string path = dir.Write("record.bin", std::string(bytes.begin(), bytes.end()));
    ASSERT_TRUE(file.OpenRead(path));
}

StreamFileHeader SampleHeader(uint16_t version) {
    StreamFileHeader h;
    h.setVersion(version);
    h.setAppVersion((3u << 16) | 6u);
    h.setAppBuild((2u << 16) | 14u);
    h.setComment("bath 2, slice 4");
    h.setFileTime(1000);
    h.setStreamCount(3);
    h.setSampleRate(10000000);
    h.setRecordingMode(kModeTriggered);
    h.setSweepOffset(-5.5f);
    h.setSweepLength(250.0f);
    h.setTriggerStreamId(7);
    h.setSourceType(kSourceDoubleElectrodeArray);
    h.setElectrodeCount(120);
    h.setElectrodeFirst(4);
    h.setAnalogCount(8);
    h.setAnalogFirst(124);
    h.setDigitalCount(2);
    h.setDigitalFirst(132);
    h.setTotalChannelCount(134);
    h.setStopTime(9000);
    h.setChunkCount(77);
    h.setIndexFlag(1);
    h.setChunkDuration(64000000);
    h.setStartTime(2000);
    h.setWord880(0x11111111);
    h.setTriggerTag1("trig0001");
    h.setTriggerTag2("trig0002");
    h.setHeaderEntryValue(0, 5, -42);
    h.setHeaderEntryWide(3, 3, 0x0123456789ABCDEFull);
    h.setHeaderEntryText(3, "entry three");
    h.setAdditionalElectrodeCount(16);
    h.setAdditionalElectrodeFirst(200);
    h.setAdditionalAnalogCount(4);
    h.setAdditionalAnalogFirst(216);
    h.setWord2200(0x22);
    h.setText2208("first text");
    h.setText2288("second");
    h.setWord2316(0x33);
    return h;
}

TEST(FileHeaderRecord, StoredSizeFollowsTheVersion) {
    const size_t expected[] = {808, 872, 872, 888, 888, 912, 1232, 1232, 2208, 2208, 2320};
    for (uint16_t v = 0; v <= 10; ++v) {
        std::vector<uint8_t> bytes;
        LeWriter w(bytes);
        WriteFileHeader(SampleHeader(v), w, false);
        EXPECT_EQ(bytes.size(), expected[v]) << "version " << v;
        EXPECT_EQ(FileHeaderRecordSize(v), expected[v]);
    }
    std::vector<uint8_t> full;
    LeWriter w(full);
    WriteFileHeader(SampleHeader(0), w, true);
    EXPECT_EQ(full.size(), 2320u);
}

TEST(FileHeaderRecord, EveryVersionRoundTripsWhatItStores) {
    TempDir dir;
    for (uint16_t v = 0; v <= 10; ++v) {
        SCOPED_TRACE(v);
        const StreamFileHeader written = SampleHeader(v);
        std::vector<uint8_t> bytes;
        LeWriter w(bytes);
        WriteFileHeader(written, w, false);
        bytes.resize(bytes.size() + 64, 0xAB);  // whatever follows must not be read
        BinaryFile file;
        OpenBytes(dir, bytes, file);
        StreamFileHeader read;
        ASSERT_TRUE(ReadFileHeader(file, read));
        EXPECT_EQ(file.Tell(), FileHeaderRecordSize(v));

        EXPECT_EQ(read.version(), v);
        EXPECT_EQ(read.appVersion(), written.appVersion());
        EXPECT_EQ(read.appVersionText(), "3.6.2.14");
        EXPECT_STREQ(read.comment(), "bath 2, slice 4");
        EXPECT_EQ(read.fileTime(), 1000u);
        EXPECT_EQ(read.streamCount(), 3u);
        EXPECT_EQ(read.sampleRate(), v == 0 ? 25000000u : 10000000u);
        // Fields beyond the stored record read as zero (or their default).
        EXPECT_EQ(read.recordingMode(), v == 0 ? 0 : kModeTriggered);
        EXPECT_EQ(read.sourceType(), v == 0 ? uint32_t{kSourceElectrodeArray} : uint32_t{kSourceDoubleElectrodeArray});
        EXPECT_EQ(read.startTime(), v <= 2 ? 1000u : 2000u);
        EXPECT_EQ(read.chunkDuration(), v <= 1 ? 128000000u : 64000000u);
        EXPECT_EQ(read.indexFlag(), v == 0 ? 0u : 1u);
        EXPECT_STREQ(read.triggerTag1(), v >= 5 ? "trig0001" : "");
        EXPECT_STREQ(read.triggerTag2(), v >= 5 ? "trig0002" : "");
        EXPECT_EQ(read.headerEntryValue(0, 5), v >= 6 ? -42 : 0);
        EXPECT_EQ(read.headerEntryWide(3, 3), v >= 8 ? 0x0123456789ABCDEFull : 0u);
        EXPECT_STREQ(read.headerEntryText(3), v >= 8 ? "entry three" : "");
        EXPECT_EQ(read.additionalElectrodeCount(), v >= 8 ? 16 : 0);
        EXPECT_STREQ(read.text2208(), v == 10 ? "first text" : "");
        EXPECT_EQ(read.word2316(), v == 10 ? 0x33u : 0u);
    }
}

TEST(FileHeaderRecord, VersionZeroDefaultsOverrideTheStoredBytes) {
    TempDir dir;
    StreamFileHeader h = SampleHeader(0);
    h.setSweepOffset(3.0f);
    h.setSweepLength(4.0f);
    std::vector<uint8_t> bytes;
    LeWriter w(bytes);
    WriteFileHeader(h, w, true);  // all 2320 bytes on disk; only 808 belong to the record
    BinaryFile file;
    OpenBytes(dir, bytes, file);
    StreamFileHeader read;
    ASSERT_TRUE(ReadFileHeader(file, read));
    EXPECT_EQ(read.sampleRate(), 25000000u);
    EXPECT_EQ(read.recordingMode(), kModeContinuous);
    EXPECT_EQ(read.sourceType(), uint32_t{kSourceElectrodeArray});
    EXPECT_EQ(read.electrodeCount(), 60);
    EXPECT_EQ(read.electrodeFirst(), 0);
    EXPECT_EQ(read.analogCount(), 3);
    EXPECT_EQ(read.analogFirst(), 60);
    EXPECT_EQ(read.digitalCount(), 1);
    EXPECT_EQ(read.digitalFirst(), 63);
    EXPECT_EQ(read.totalChannelCount(), 64);
    EXPECT_EQ(read.sweepOffset(), -1.0f);
    EXPECT_EQ(read.sweepLength(), -1.0f);
    EXPECT_EQ(read.chunkDuration(), 128000000u);
    EXPECT_EQ(read.startTime(), read.fileTime());
}

TEST(FileHeaderRecord, OlderVersionsPlaceTheAdditionalChannelsAfterTheOthers) {
    TempDir dir;
    for (uint16_t v : {uint16_t{3}, uint16_t{7}, uint16_t{8}}) {
        SCOPED_TRACE(v);
        std::vector<uint8_t> bytes;
        LeWriter w(bytes);
        WriteFileHeader(SampleHeader(v), w, false);
        BinaryFile file;
        OpenBytes(dir, bytes, file);
        StreamFileHeader read;
        ASSERT_TRUE(ReadFileHeader(file, read));
        if (v < 8) {
            EXPECT_EQ(read.additionalElectrodeFirst(), 120 + 8);
            EXPECT_EQ(read.additionalAnalogFirst(), 120 + 8 + 0);
            EXPECT_EQ(read.word2200(), 0xFFFFFFFFu);
        } else {
            EXPECT_EQ(read.additionalElectrodeFirst(), 200);
            EXPECT_EQ(read.additionalAnalogFirst(), 216);
            EXPECT_EQ(read.word2200(), 0x22u);
        }
    }
}

TEST(FileHeaderRecord, UnknownVersionsAndShortRecordsAreRejected) {
    TempDir dir;
    for (uint16_t v : {uint16_t{11}, uint16_t{0xFFFF}}) {
        std::vector<uint8_t> bytes(2400, 0);
        PutU16(bytes.data(), 0, v);
        BinaryFile file;
        OpenBytes(dir, bytes, file);
        StreamFileHeader read;
        EXPECT_FALSE(ReadFileHeader(file, read)) << v;
        EXPECT_EQ(FileHeaderBodySize(v), 0u);
    }
    for (uint16_t v : {uint16_t{0}, uint16_t{5}, uint16_t{10}}) {
        std::vector<uint8_t> bytes;
        LeWriter w(bytes);
        WriteFileHeader(SampleHeader(v), w, false);
        bytes.pop_back();
        BinaryFile file;
        OpenBytes(dir, bytes, file);
        StreamFileHeader read;
        EXPECT_FALSE(ReadFileHeader(file, read)) << v;
    }
    BinaryFile empty;
    OpenBytes(dir, {}, empty);
    StreamFileHeader read;
    EXPECT_FALSE(ReadFileHeader(empty, read));
}

TEST(FileHeaderRecord, TextsEndInsideTheirFieldsWhateverTheFileHolds) {
    TempDir dir;
    std::vector<uint8_t> bytes(2320, 'x');
    PutU16(bytes.data(), 0, 10);
    BinaryFile file;
    OpenBytes(dir, bytes, file);
    StreamFileHeader read;
    ASSERT_TRUE(ReadFileHeader(file, read));
    EXPECT_EQ(std::strlen(read.comment()), 519u);
    EXPECT_EQ(std::strlen(read.triggerTag1()), 8u);
    EXPECT_EQ(std::strlen(read.triggerTag2()), 8u);
    EXPECT_EQ(std::strlen(read.headerEntryText(3)), 320u - 56 - 1);
    EXPECT_EQ(std::strlen(read.text2208()), 79u);
    EXPECT_EQ(std::strlen(read.text2288()), 19u);
}

TEST(StreamHeaderRecord, TagIsStoredFromVersionFiveAndVersionZeroHasNoStreamVersion) {
    TempDir dir;
    StreamHeader h;
    h.setVersion(6);
    h.setTypeName("spikes");
    h.setName("Spikes 1");
    h.setComment("threshold -5 SD");
    h.setStreamId(0x12);
    h.setSampleRate(25000000);
    h.setChannelCount(60);
    h.setStreamTag("spks0001");
    for (uint16_t fileVersion : {uint16_t{0}, uint16_t{4}, uint16_t{5}, uint16_t{10}}) {
        SCOPED_TRACE(fileVersion);
        std::vector<uint8_t> bytes;
        LeWriter w(bytes);
        WriteStreamHeaderRecord(h, w, fileVersion);
        EXPECT_EQ(bytes.size(), fileVersion >= 5 ? 804u : 792u);
        bytes.resize(bytes.size() + 12, 'Z');
        BinaryFile file;
        OpenBytes(dir, bytes, file);
        StreamHeader read;
        ASSERT_TRUE(ReadStreamHeaderRecord(file, fileVersion, read));
        EXPECT_EQ(read.version(), fileVersion == 0 ? 0 : 6);
        EXPECT_STREQ(read.typeName(), "spikes");
        EXPECT_STREQ(read.name(), "Spikes 1");
        EXPECT_STREQ(read.comment(), "threshold -5 SD");
        EXPECT_EQ(read.streamId(), 0x12);
        EXPECT_EQ(read.sampleRate(), 25000000u);
        EXPECT_EQ(read.channelCount(), 60u);
        EXPECT_STREQ(read.streamTag(), fileVersion >= 5 ? "spks0001" : "");
    }
    BinaryFile shortFile;
    OpenBytes(dir, std::vector<uint8_t>(803, 0), shortFile);
    StreamHeader read;
    EXPECT_FALSE(ReadStreamHeaderRecord(shortFile, 5, read));
}

ChannelRecord SampleChannel(uint16_t recordVersion) {
    ChannelRecord r;
    r.setRecordVersion(recordVersion);
    r.setHardwareIndex(17);
    r.setChannelNumber(47);
    r.setName("47");
    r.setDescription("electrode 47");
    r.setExtraCount(2);
    r.setGroup(3);
    r.setLabel("E47");
    r.setRecordValue(5);
    r.setPositionX(700);
    r.setPositionY(600);
    r.setPositionZ(1);
    r.setRecordWord(6, 0x66);
    r.setLowerCorner(1000);
    r.setUpperCorner(3000000);
    return r;
}

TEST(ChannelRecordFormat, StoredSizeAndCompletionFollowTheVersions) {
    TempDir dir;
    struct Case {
        uint16_t fileVersion, recordVersion;
        size_t stored;
    } cases[] = {{4, 2, 788}, {5, 0, 788}, {6, 0, 792}, {6, 1, 1052}, {6, 2, 1104}, {10, 7, 1104}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fileVersion << "/" << c.recordVersion);
        std::vector<uint8_t> bytes;
        LeWriter w(bytes);
        WriteChannelRecord(SampleChannel(c.recordVersion), w, c.fileVersion);
        ASSERT_EQ(bytes.size(), c.stored);
        bytes.resize(bytes.size() + 200, 0x5A);
        BinaryFile file;
        OpenBytes(dir, bytes, file);
        ChannelRecord read;
        ASSERT_TRUE(ReadChannelRecord(file, c.fileVersion, read));
        EXPECT_EQ(file.Tell(), c.stored);
        EXPECT_EQ(read.hardwareIndex(), 17);
        EXPECT_EQ(read.channelNumber(), 47);
        EXPECT_STREQ(read.name(), "47");
        EXPECT_STREQ(read.description(), "electrode 47");
        EXPECT_EQ(read.extraCount(), 2u);
        if (c.stored == 788) EXPECT_EQ(read.group(), 0);
        else EXPECT_EQ(read.group(), 3);
        if (c.stored <= 792) {
            EXPECT_STREQ(read.label(), "47");  // a copy of the name
            EXPECT_EQ(read.recordValue(), -1);
        } else {
            EXPECT_STREQ(read.label(), "E47");
            EXPECT_EQ(read.recordValue(), 5);
        }
        EXPECT_EQ(read.positionX(), c.stored == 1104 ? 700u : 0u);
        EXPECT_EQ(read.recordWord(6), c.stored == 1104 ? 0x66u : 0u);
        EXPECT_EQ(read.upperCorner(), c.stored == 1104 ? 3000000u : 0u);
    }
}

TEST(ChannelRecordFormat, FullRecordAndExtraItemsRoundTrip) {
    TempDir dir;
    std::vector<uint8_t> bytes;
    LeWriter w(bytes);
    WriteChannelRecord(SampleChannel(1), w);  // always 1104 bytes
    ASSERT_EQ(bytes.size(), 1104u);
    const std::vector<ExtraItem> items = {ExtraItem::Make(0xA1, 0xDEADBEEF), ExtraItem::Make(2, 3)};
    WriteExtraItems(items, w);
    BinaryFile file;
    OpenBytes(dir, bytes, file);
    ChannelRecord read;
    ASSERT_TRUE(file.Seek(0));
    uint8_t image[1104];
    ASSERT_TRUE(file.Read(image, sizeof image));
    EXPECT_EQ(std::memcmp(image, SampleChannel(1).bytes(), sizeof image), 0);
    std::vector<ExtraItem> back;
    ASSERT_TRUE(ReadExtraItems(file, 2, back));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].word(), 0xA1);
    EXPECT_EQ(back[0].value(), 0xDEADBEEFu);
    EXPECT_EQ(back[1].value(), 3u);
}

TEST(ChannelRecordFormat, ExtraItemCountBeyondTheFileIsRefusedBeforeAllocating) {
    TempDir dir;
    BinaryFile file;
    OpenBytes(dir, std::vector<uint8_t>(24, 1), file);
    std::vector<ExtraItem> items;
    EXPECT_FALSE(ReadExtraItems(file, 0xFFFFFFFFu, items));  // would be 32 GiB
    EXPECT_TRUE(items.empty());
    EXPECT_FALSE(ReadExtraItems(file, 4, items));  // 32 bytes, only 24 there
    EXPECT_TRUE(ReadExtraItems(file, 3, items));
    EXPECT_EQ(items.size(), 3u);
    EXPECT_FALSE(ChannelRecord().name()[0]);
    ChannelRecord record;
    EXPECT_FALSE(ReadChannelRecord(file, 10, record));  // nothing left
}

TEST(ChannelRecordFormat, HardwareIndexRewriteDependsOnVersionAndType) {
    EXPECT_TRUE(HardwareIndexBecomesPosition(4, "analog"));
    EXPECT_TRUE(HardwareIndexBecomesPosition(6, "trigger"));
    EXPECT_FALSE(HardwareIndexBecomesPosition(6, "spikes"));
    EXPECT_FALSE(HardwareIndexBecomesPosition(0, "average"));
    EXPECT_TRUE(HardwareIndexBecomesPosition(6, "spikesX"));  // only the exact words are exempt
    EXPECT_TRUE(HardwareIndexBecomesPosition(7, "digital"));
    EXPECT_TRUE(HardwareIndexBecomesPosition(8, "Digital2"));
    EXPECT_FALSE(HardwareIndexBecomesPosition(7, "analog"));
    EXPECT_FALSE(HardwareIndexBecomesPosition(9, "digital"));
    EXPECT_FALSE(HardwareIndexBecomesPosition(10, "analog"));
    EXPECT_TRUE(HardwareIndexBecomesPosition(5, nullptr));
}

TEST(SmallRecords, FormatAndChunkHeadersRoundTrip) {
    TempDir dir;
    StreamFormat f;
    f.setFormatVersion(3);
    f.setFormatByte(0xEE);
    f.setAdcBits(-12);
    f.setAdcZero(2048);
    f.setUnitStep(5.96e-8);
    f.setWord16(16);
    f.setWord18(1499);
    f.setWord20(20);
    ChunkHeader c;
    std::memcpy(c.tag, "elec0001", 8);
    c.length = 16 + 300;
    c.start = 0xFFFFFFFF00000001ull;
    c.end = 0xFFFFFFFF00000002ull;
    std::vector<uint8_t> bytes;
    LeWriter w(bytes);
    WriteStreamFormat(f, w);
    WriteChunkHeader(c, w);
    ASSERT_EQ(bytes.size(), 24u + 32u);
    EXPECT_EQ(GetF64(bytes.data(), 8), 5.96e-8);  // the unit step sits at offset 8

    BinaryFile file;
    OpenBytes(dir, bytes, file);
    StreamFormat f2;
    ChunkHeader c2;
    ASSERT_TRUE(ReadStreamFormat(file, f2));
    ASSERT_TRUE(ReadChunkHeader(file, c2));
    EXPECT_EQ(std::memcmp(f.bytes(), f2.bytes(), StreamFormat::kSize), 0);
    EXPECT_EQ(f2.adcBits(), -12);
    EXPECT_EQ(f2.word18(), 1499);
    EXPECT_EQ(std::memcmp(c2.tag, "elec0001", 8), 0);
    EXPECT_EQ(c2.length, 316u);
    EXPECT_EQ(c2.PayloadSize(), 300u);
    EXPECT_EQ(c2.start, c.start);
    EXPECT_EQ(c2.end, c.end);
    EXPECT_FALSE(ReadChunkHeader(file, c2));
    ChunkHeader damaged;
    damaged.length = 5;
    EXPECT_EQ(damaged.PayloadSize(), 0u);
}

}  // namespace
}  // namespace qrd
