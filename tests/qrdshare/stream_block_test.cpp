// Stream blocks: channel records and their accessors, the format section and
// settings, tag rules, and the info object made from the settings.
#include <gtest/gtest.h>

#include <cstring>

#include "container/channel.h"
#include "container/stream_tags.h"
#include "contents/info_trigger.h"
#include "contents/settings_writer.h"
#include "open_test_recordings.h"

namespace qrd {
namespace {

using qrd_test::TempDir;

TEST(StreamTags, OldFilesDeriveStreamAndChunkTags) {
    EXPECT_EQ(DeriveStreamTag("analog", "Electrode Raw Data"), "elec0001");
    EXPECT_EQ(DeriveStreamTag("filter", "Analog Raw Data"), "anlg0001");  // the name decides
    EXPECT_EQ(DeriveStreamTag("trigger", "Trigger 10"), "trig000a");      // hexadecimal
    EXPECT_EQ(DeriveStreamTag("PARAMS", "Analyzer 3"), "para0003");
    EXPECT_EQ(DeriveStreamTag("average", "Average 2"), "mean0002");
    EXPECT_EQ(DeriveStreamTag("spikes", "Spikes"), "spks0000");
    // Damaged numbers cannot make a tag longer than 8 characters.
    EXPECT_EQ(DeriveStreamTag("spikes", "Spikes -1"), "spksffff");
    EXPECT_EQ(DeriveStreamTag("chat", "Tool 70000"), "chtl1170");
    EXPECT_EQ(DeriveStreamTag("analog", "Some Other Data"), "");
    EXPECT_EQ(DeriveStreamTag("spkparam", "Spike Parameters 1"), "");

    EXPECT_EQ(DeriveChunkTag(1, "analog"), "00001raw");
    EXPECT_EQ(DeriveChunkTag(0x1234, "Average"), "01234evp");
    EXPECT_EQ(DeriveChunkTag(0xFFFF, "DIGITAL"), "0ffffraw");
    EXPECT_EQ(DeriveChunkTag(7, "filter"), "00007flt");
}

TEST(StreamBlock, AFormatTagRightAfterTheHeaderMeansNoChannels) {
    TempDir dir;
    RecordingSpec desc = qrd_test::SmallRecording(10);
    // The trigger stream claims three channels but has none, and spells the
    // format tag in lower case.
    desc.streams[2].channelCountOverride = 3;
    desc.streams[2].formatTag = "strmfmt ";
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "nochan.qrd", desc).c_str()), 0);
    EXPECT_EQ(file.GetStream(2)->GetChannelCount(), 0u);
    EXPECT_EQ(file.GetStream(2)->GetChannel(0), nullptr);
    EXPECT_STREQ(file.GetStream(2)->GetChannelLabel(0), "");
    EXPECT_EQ(qrd_test::CountChunks(*file.GetStream(2)), 1u);
}

TEST(StreamBlock, ChunkTagsMatchWhateverTheirCase) {
    TempDir dir;
    RecordingSpec desc = qrd_test::SmallRecording(10);
    desc.streams[0].chunkTag = "ELEC0001";
    desc.streams[1].chunkTag = "Digi0001";
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "upper.qrd", desc).c_str()), 0);
    EXPECT_EQ(qrd_test::CountChunks(*file.GetStream(0)), 10u);
    EXPECT_EQ(qrd_test::CountChunks(*file.GetStream(1)), 10u);
    std::unique_ptr<CQRVAChunk> chunk = file.FirstChunk();
    ASSERT_TRUE(chunk);
    EXPECT_STREQ(chunk->GetTag(), "ELEC0001");
    EXPECT_EQ(chunk->GetStream(), nullptr);  // the file-wide walk does not sort chunks into streams
}

TEST(StreamBlock, FormatAndSettingsAreKept) {
    TempDir dir;
    RecordingSpec desc = qrd_test::SmallRecording(10);
    desc.streams[0].format.adcBits = 12;
    desc.streams[0].format.adcZero = 2048;
    desc.streams[0].format.unitStep = 2.5e-7;
    desc.streams[1].settings = {'a', 'b', 0, 'c', 'd'};
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "fmt.qrd", desc).c_str()), 0);
    CQRVAStream& raw = *file.GetStream(0);
    EXPECT_EQ(raw.GetAdcBits(), 12);
    EXPECT_EQ(raw.GetAdcZero(), 2048);
    EXPECT_DOUBLE_EQ(raw.GetUnitStep(), 2.5e-7);
    EXPECT_EQ(raw.GetFormatWord18(), 2000);
    EXPECT_EQ(raw.GetSampleRateHz(), 25000u);
    EXPECT_TRUE(raw.IsContinuousType());
    EXPECT_TRUE(raw.IsContinuousRecording());
    EXPECT_FALSE(file.GetStream(2)->IsContinuousType());

    const uint8_t* settings = reinterpret_cast<const uint8_t*>(1);
    EXPECT_EQ(raw.GetSettings(&settings), 0u);  // a format section of exactly 24 bytes
    EXPECT_EQ(settings, nullptr);
    ASSERT_EQ(file.GetStream(1)->GetSettings(&settings), 5u);
    EXPECT_EQ(std::memcmp(settings, "ab\0cd", 5), 0);
}

TEST(StreamBlock, ChannelRecordFieldsAndExtraItems) {
    TempDir dir;
    RecordingSpec desc = qrd_test::SmallRecording(10);
    ChannelSpec& ch = desc.streams[0].channels[1];
    ch.number = 65538;  // FindChannel compares 16 bits
    ch.description = "shank B";
    ch.positionX = 100;
    ch.lowerCorner = 1000;
    ch.upperCorner = 3000000;
    ch.recordWords = {1, 2, 3, 4, 5, 6, 7};
    ch.extraItems = {ExtraItem::Make(7, 70000), ExtraItem::Make(8, 80000)};
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "chan.qrd", desc).c_str()), 0);
    CQRVAStream& raw = *file.GetStream(0);
    CQRVAChannel& c = *raw.GetChannel(1);
    EXPECT_EQ(raw.FindChannel(2), &c);
    EXPECT_EQ(raw.FindChannel(4), nullptr);
    EXPECT_STREQ(c.GetDescription(), "shank B");
    EXPECT_EQ(c.GetPositionX(), 100u);
    EXPECT_EQ(c.GetLowerCorner(), 1000u);
    EXPECT_EQ(c.GetUpperCorner(), 3000000u);
    EXPECT_EQ(c.GetRecordWord7(), 7u);
    EXPECT_EQ(c.GetExtraCount(), 2u);
    EXPECT_EQ(c.GetExtraWord(1), 8u);
    EXPECT_EQ(c.GetExtraValue(0), 70000u);
    EXPECT_EQ(c.GetExtraWord(2), 0xFFFFFFFFu);
    EXPECT_EQ(c.GetExtraValue(2), 0xFFFFFFFFu);
    EXPECT_EQ(c.RecordSize(), 1104u + 16u);

    // The label accessor hands out one shared buffer: the last call wins.
    const char* first = raw.GetChannel(0)->GetLabel();
    const char* second = raw.GetChannel(2)->GetLabel();
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "E3");
    EXPECT_STREQ(raw.GetChannel(0)->GetLabel2(), "E1");

    // A channel without a record answers the documented defaults.
    CQRVAChannel empty;
    EXPECT_EQ(empty.GetHardwareIndex(), -1);
    EXPECT_EQ(empty.GetChannelNumber(), -1);
    EXPECT_EQ(empty.GetGroup(), 0xFFFFFFFFu);
    EXPECT_EQ(empty.GetRecordValue(), -1);
    EXPECT_STREQ(empty.GetLabel(), "");
    CQRVAStream bare(nullptr);
    EXPECT_EQ(bare.GetStreamVersion(), 0xFFFFFFFFu);
    EXPECT_EQ(bare.GetTypeName(), nullptr);
    EXPECT_EQ(bare.GetStreamTag(), nullptr);
    EXPECT_EQ(bare.FirstChunk(), nullptr);
}

TEST(StreamBlock, CreateInfoChecksTheSettingsMarker) {
    TempDir dir;
    RecordingSpec desc = qrd_test::SmallRecording(10);
    CMMEATriggerProperty trigger;
    trigger.threshold = -800;
    desc.streams[2].headerVersion = 5;
    desc.streams[2].settings = WriteTriggerSettings(trigger, 5, 3);
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "info.qrd", desc).c_str()), 0);
    std::unique_ptr<InfoObject> info = file.GetStream(2)->CreateInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->GetKind(), InfoKind::InfoTrigger);
    EXPECT_EQ(file.GetStream(0)->CreateInfo(), nullptr);  // raw data has no settings

    // Spike settings marker on a trigger stream.
    std::memcpy(desc.streams[2].settings.data(), "PARAMSPK", 8);
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "info2.qrd", desc).c_str()), 0);
    EXPECT_EQ(file.GetStream(2)->CreateInfo(), nullptr);
}

}  // namespace
}  // namespace qrd
