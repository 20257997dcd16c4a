// Opening recordings of every supported file header version, and the
// results Open gives for files that are not (valid) QRD recordings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "container/channel.h"
#include "container/file_header.h"
#include "layout/qr_layout.h"
#include "open_test_recordings.h"

namespace qrd {
namespace {

using qrd_test::TempDir;

class OpenByVersion : public ::testing::TestWithParam<uint16_t> {};

TEST_P(OpenByVersion, ReadsStreamsChannelsTagsAndChunks) {
    const uint16_t v = GetParam();
    TempDir dir;
    RecordingSpec desc = qrd_test::SmallRecording(v);
    for (ChannelSpec& ch : desc.streams[0].channels) {
        ch.label = "L" + ch.name;
        ch.recordValue = 77;
        ch.group = 5;
    }
    RecordingPlan plan;
    const std::string path = qrd_test::WriteSpec(dir, "r.qrd", desc, &plan);
    ASSERT_FALSE(path.empty());

    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(path.c_str()), 0);
    EXPECT_EQ(file.GetHeaderVersion(), v);
    EXPECT_EQ(file.GetSampleRate(), 25000000u);
    EXPECT_STREQ(file.GetComment(), "bench 4, slice 2");
    EXPECT_EQ(file.GetDataStart(), plan.dataStart);
    EXPECT_EQ(file.GetRecordingMode(), 0);
    EXPECT_EQ(file.GetTriggerStream(), -1);
    ASSERT_EQ(file.GetStreamCount(), 3u);
    EXPECT_EQ(file.GetStream(3), nullptr);

    CQRVAStream& raw = *file.GetStream(0);
    CQRVAStream& digital = *file.GetStream(1);
    CQRVAStream& trigger = *file.GetStream(2);
    EXPECT_STREQ(raw.GetTypeName(), "analog");
    EXPECT_STREQ(raw.GetName(), "Electrode Raw Data");
    // Old files store no tags: stream tags come from the names, chunk tags
    // from the stream IDs and types.
    EXPECT_STREQ(raw.GetStreamTag(), "elec0001");
    EXPECT_STREQ(digital.GetStreamTag(), "digi0001");
    EXPECT_STREQ(trigger.GetStreamTag(), "trig0001");
    EXPECT_STREQ(raw.GetChunkTag(), v >= 5 ? "elec0001" : "00001raw");
    EXPECT_STREQ(digital.GetChunkTag(), v >= 5 ? "digi0001" : "00002raw");
    EXPECT_STREQ(trigger.GetChunkTag(), v >= 5 ? "trig0001" : "00003trg");
    EXPECT_EQ(file.FindStreamByTag("trig0001"), 2);

    ASSERT_EQ(raw.GetChannelCount(), 3u);
    for (uint32_t c = 0; c < 3; ++c) {
        CQRVAChannel& ch = *raw.GetChannel(c);
        EXPECT_EQ(ch.GetChannelNumber(), static_cast<int32_t>(c + 1));
        // Below version 7 every raw stream's hardware index is its position.
        EXPECT_EQ(ch.GetHardwareIndex(), v < 7 ? static_cast<int32_t>(c) : static_cast<int32_t>(10 + c));
        // Records of version 5 and below carry no label, group or value at 1048.
        EXPECT_EQ(std::string(ch.GetLabel()), (v <= 5 ? "E" : "LE") + std::to_string(c + 1));
        EXPECT_EQ(ch.GetRecordValue(), v <= 5 ? -1 : 77);
        EXPECT_EQ(ch.GetGroup(), v <= 5 ? 0u : 5u);
    }
    EXPECT_EQ(raw.GetChannel(3), nullptr);
    // Digital streams of versions 7 and 8 also number their channels by position.
    EXPECT_EQ(digital.GetChannel(0)->GetHardwareIndex(), (v < 7 || v == 8) ? 0 : 63);

    EXPECT_EQ(qrd_test::CountChunks(raw), 10u);
    EXPECT_EQ(qrd_test::CountChunks(digital), 10u);
    EXPECT_EQ(qrd_test::CountChunks(trigger), 1u);
    EXPECT_EQ(qrd_test::CountFileChunks(file), plan.chunkOffsets.size());
    EXPECT_EQ(file.GetStartTime()->GetTicks(), qrd_test::SmallRecordingStart());
}

INSTANTIATE_TEST_SUITE_P(HeaderVersions, OpenByVersion, ::testing::Values(0, 1, 2, 4, 5, 6, 8, 10));

TEST(OpenVersionZero, AppliesTheFixedDefaultsWhateverIsStored) {
    TempDir dir;
    RecordingSpec desc = qrd_test::SmallRecording(0);
    desc.sampleRate = 10000000;
    desc.sourceType = kSourceLinear;
    desc.electrodeCount = 8;
    desc.analogCount = 2;
    desc.digitalCount = 2;
    desc.totalChannelCount = 12;
    desc.fileTime = qrd_test::SmallRecordingStart() - 5000;
    desc.startTime = qrd_test::SmallRecordingStart();
    const std::string path = qrd_test::WriteSpec(dir, "v0.qrd", desc);

    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(path.c_str()), 0);
    EXPECT_EQ(file.GetSampleRate(), 25000000u);
    EXPECT_EQ(file.GetSourceType(), 1);
    EXPECT_EQ(file.GetLayout().electrodeCount, 60);
    EXPECT_EQ(file.GetLayout().analogCount, 3);
    EXPECT_EQ(file.GetLayout().digitalCount, 1);
    EXPECT_EQ(file.GetRecordingMode(), 0);
    EXPECT_EQ(file.GetSweepOffset(), -1);
    EXPECT_EQ(file.GetSweepLengthValue(), -1);
    EXPECT_EQ(file.GetChunkDuration(), 128000000u);
    // Version 0 starts at the file time.
    EXPECT_EQ(file.GetStartTime()->GetTicks(), desc.fileTime);

    // A first stream whose format word 18 is below 1500 marks a 2.5 kHz recorder.
    desc.streams[0].format.word18 = 1499;
    const std::string slow = qrd_test::WriteSpec(dir, "slow.qrd", desc);
    ASSERT_EQ(file.Open(slow.c_str()), 0);
    EXPECT_EQ(file.GetSampleRate(), 2500000u);
}

TEST(OpenLayout, EachOpenGetsTheLayoutOfItsOwnHeader) {
    // The standard layout is built from the header counts when first asked
    // for; a later open of another recording on the same object must not
    // hand out the earlier file's layout, whichever way round.
    TempDir dir;
    RecordingSpec array = qrd_test::SmallRecording(10);
    array.sourceType = kSourceElectrodeArray;
    array.totalChannelCount = 64;
    RecordingSpec configured = qrd_test::SmallRecording(10);
    CQRLayout custom;
    BuildStandardLayout(custom, 0, 4, 2, 1, 1, 0);
    custom.sourceType = kSourceConfiguredLayout;
    custom.entries[1].setName("custom");
    WriteLayoutBlock(custom, configured.layoutBlock);
    configured.sourceType = kSourceConfiguredLayout;
    RecordingSpec huge = qrd_test::SmallRecording(10);
    huge.sourceType = kSourceLinear;
    huge.totalChannelCount = 32767;  // what a damaged header may claim
    const std::string arrayPath = qrd_test::WriteSpec(dir, "array.qrd", array);
    const std::string configuredPath = qrd_test::WriteSpec(dir, "configured.qrd", configured);
    const std::string hugePath = qrd_test::WriteSpec(dir, "huge.qrd", huge);

    CQRVAStreamFile file;
    for (int round = 0; round < 2; ++round) {
        ASSERT_EQ(file.Open(arrayPath.c_str()), 0);
        ASSERT_EQ(file.GetLayout().entries.size(), 64u);
        EXPECT_EQ(file.GetLayout().entries[0].name(), "47");
        EXPECT_EQ(file.GetLayout().sourceType, kSourceElectrodeArray);
        ASSERT_EQ(file.Open(configuredPath.c_str()), 0);
        ASSERT_EQ(file.GetLayout().entries.size(), 4u);
        EXPECT_EQ(file.GetLayout().entries[1].name(), "custom");
    }
    // A standard layout that is never asked for is never built, and one
    // opened but not asked for does not outlive the next open.
    ASSERT_EQ(file.Open(hugePath.c_str()), 0);
    ASSERT_EQ(file.Open(configuredPath.c_str()), 0);
    EXPECT_EQ(file.GetLayout().entries.size(), 4u);
    ASSERT_EQ(file.Open(hugePath.c_str()), 0);
    EXPECT_EQ(file.GetLayout().entries.size(), 32767u);
    EXPECT_EQ(file.GetLayout().entries[32766].name(), "D1");
}

TEST(OpenCalendar, ReportsUtcFieldsWhateverTheLocalZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "XYZ-5:30", 1);  // 5:30 east of UTC, no zone database needed
    tzset();

    TempDir dir;
    RecordingSpec desc = qrd_test::SmallRecording(10);
    desc.startTime = UtcTicks(2026, 12, 31, 23, 50, 10, 250) + 456789;
    desc.chunks.clear();
    const std::string path = qrd_test::WriteSpec(dir, "cal.qrd", desc);
    CQRVAStreamFile file;
    const int result = file.Open(path.c_str());

    if (old) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
    tzset();
    ASSERT_EQ(result, 0);
    EXPECT_EQ(file.GetStartYear(), 2026);
    EXPECT_EQ(file.GetStartMonth(), 12);
    EXPECT_EQ(file.GetStartDay(), 31);
    EXPECT_EQ(file.GetStartHour(), 23);
    EXPECT_EQ(file.GetStartMinute(), 50);
    EXPECT_EQ(file.GetStartSecond(), 10);
    EXPECT_EQ(file.GetStartMillisecond(), 250);
    EXPECT_EQ(file.GetStartMicrosecond(), 456u);
    EXPECT_EQ(file.GetStartNanosecond(), 789u);
}

TEST(OpenRejects, FilesThatAreNotRecordings) {
    TempDir dir;
    CQRVAStreamFile file;
    EXPECT_EQ(file.Open(dir.File("missing.qrd").c_str()), 1);
    EXPECT_EQ(file.Open(nullptr), 1);
    EXPECT_EQ(file.Open(dir.Write("empty.qrd", "").c_str()), 2);
    EXPECT_EQ(file.Open(dir.Write("sig.qrd", "QRVSTRM ").c_str()), 3);

    std::vector<uint8_t> good = RecordingBytes(qrd_test::SmallRecording(10));
    std::vector<uint8_t> bytes = good;
    bytes[7] = '_';  // "QRVSTRM_"
    EXPECT_EQ(file.Open(qrd_test::WriteBytes(dir, "badsig.qrd", bytes).c_str()), 2);
    EXPECT_EQ(file.GetStreamCount(), 0u);
}

TEST(OpenRejects, UnknownVersionsModesAndMissingTrailers) {
    TempDir dir;
    CQRVAStreamFile file;
    RecordingSpec desc = qrd_test::SmallRecording(10);
    desc.adjustHeader = [](StreamFileHeader& h) { h.setVersion(11); };
    EXPECT_EQ(file.Open(qrd_test::WriteSpec(dir, "v11.qrd", desc).c_str()), 3);
    EXPECT_EQ(file.GetHeader(), nullptr);
    EXPECT_EQ(file.GetStream(0), nullptr);

    desc = qrd_test::SmallRecording(6);
    desc.recordingMode = 3;
    EXPECT_EQ(file.Open(qrd_test::WriteSpec(dir, "mode3.qrd", desc).c_str()), 3);

    for (uint16_t v : {0, 3}) {
        RecordingPlan plan;
        std::vector<uint8_t> bytes = RecordingBytes(qrd_test::SmallRecording(v), &plan);
        qrd_test::PatchTag(bytes, plan.trailerOffset, "LISThdr ");
        const std::string path = qrd_test::WriteBytes(dir, "trailer" + std::to_string(v) + ".qrd", bytes);
        EXPECT_EQ(file.Open(path.c_str()), 3) << "version " << v;
    }
}

TEST(OpenRejects, PathsLongerThanThePathMember) {
    TempDir dir;
    // A real file whose path is 300 characters: refused without being opened.
    std::string folder = dir.path();
    while (folder.size() < 240) folder += "/" + std::string(40, 'd');
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/" + std::string(300 - folder.size() - 1, 'f');
    ASSERT_EQ(path.size(), 300u);
    const std::vector<uint8_t> bytes = RecordingBytes(qrd_test::SmallRecording(10));
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    CQRVAStreamFile file;
    EXPECT_EQ(file.Open(path.c_str()), 1);
    EXPECT_EQ(file.GetHeader(), nullptr);
}

}  // namespace
}  // namespace qrd
