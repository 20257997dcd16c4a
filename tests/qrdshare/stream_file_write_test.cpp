// Re-emitting an open recording's header list and copying its chunks, as
// merging does: the copy opens with the same streams, channels, settings,
// layout and chunks.
#include <gtest/gtest.h>

#include "container/binary_file.h"
#include "container/channel.h"
#include "container/file_header.h"
#include "layout/qr_layout.h"
#include "open_test_recordings.h"

namespace qrd {
namespace {

using qrd_test::TempDir;

TEST(StreamFileWrite, HeaderListAndClonedChunksRoundTrip) {
    TempDir dir;
    RecordingSpec desc = qrd_test::SmallRecording(10);
    CQRLayout layout;
    BuildStandardLayout(layout, 0, 5, 3, 1, 1, 0);
    layout.sourceType = 3;
    layout.entries[2].setName("custom");
    WriteLayoutBlock(layout, desc.layoutBlock);
    desc.sourceType = kSourceConfiguredLayout;
    desc.streams[0].channels[0].extraItems = {ExtraItem::Make(3, 33)};
    desc.streams[0].channels[0].recordVersion = 0;  // stored short, written back in full
    desc.streams[2].settings = {1, 2, 3};
    desc.adjustHeader = [](StreamFileHeader& h) { h.setHeaderEntryText(1, "entry one"); };

    CQRVAStreamFile source;
    ASSERT_EQ(source.Open(qrd_test::WriteSpec(dir, "src.qrd", desc).c_str()), 0);
    ASSERT_EQ(source.GetLayout().entries.size(), 5u);
    EXPECT_EQ(source.GetLayout().entries[2].name(), "custom");

    const std::string copyPath = dir.File("copy.qrd");
    {
        BinaryFile out;
        ASSERT_TRUE(out.OpenWrite(copyPath));
        ASSERT_TRUE(source.WriteHeader(out));
        EXPECT_EQ(source.GetIndexPointerPosition() + 8, out.Tell());
        std::unique_ptr<CQRVAChunk> chunk = source.FirstChunk();
        while (chunk) {
            std::unique_ptr<CQRVAChunk> copy = chunk->Clone();
            ASSERT_TRUE(copy);
            ASSERT_TRUE(copy->WriteChunk(out, 1000));
            std::unique_ptr<CQRVAChunk> next = source.NextChunk(chunk);
            if (!next) break;
            chunk = std::move(next);
        }
        ASSERT_TRUE(out.Close());
    }

    CQRVAStreamFile copy;
    ASSERT_EQ(copy.Open(copyPath.c_str()), 0);
    EXPECT_EQ(copy.GetIndexOffset(), 0u);
    EXPECT_EQ(copy.GetHeaderListLength(), source.GetHeaderListLength());
    EXPECT_EQ(copy.GetStartTime()->GetTicks(), source.GetStartTime()->GetTicks());
    EXPECT_STREQ(copy.GetHeaderEntryText(1), "entry one");
    ASSERT_EQ(copy.GetLayout().entries.size(), 5u);
    EXPECT_EQ(copy.GetLayout().entries[2].name(), "custom");
    ASSERT_EQ(copy.GetStreamCount(), source.GetStreamCount());
    for (uint32_t s = 0; s < copy.GetStreamCount(); ++s) {
        CQRVAStream& a = *source.GetStream(s);
        CQRVAStream& b = *copy.GetStream(s);
        EXPECT_STREQ(a.GetName(), b.GetName());
        EXPECT_STREQ(a.GetStreamTag(), b.GetStreamTag());
        ASSERT_EQ(a.GetChannelCount(), b.GetChannelCount());
        for (uint32_t c = 0; c < a.GetChannelCount(); ++c) {
            EXPECT_EQ(a.GetChannel(c)->GetChannelNumber(), b.GetChannel(c)->GetChannelNumber());
            EXPECT_EQ(a.GetChannel(c)->GetExtraCount(), b.GetChannel(c)->GetExtraCount());
            EXPECT_EQ(std::string(a.GetChannel(c)->GetLabel()), b.GetChannel(c)->GetLabel());
        }
        const uint8_t* sa = nullptr;
        const uint8_t* sb = nullptr;
        ASSERT_EQ(a.GetSettings(&sa), b.GetSettings(&sb));
        if (sa) {
            EXPECT_EQ(std::vector<uint8_t>(sa, sa + 3), std::vector<uint8_t>(sb, sb + 3));
        }
        EXPECT_EQ(qrd_test::CountChunks(a), qrd_test::CountChunks(b));
    }
    EXPECT_EQ(copy.GetStream(0)->GetChannel(0)->GetExtraValue(0), 33u);
    std::unique_ptr<CQRVAChunk> first = copy.GetStream(0)->FirstChunk();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->GetStartTicks(), desc.startTime + 1000);  // shifted while copying
    std::vector<uint8_t> payload;
    ASSERT_TRUE(first->ReadData(payload));
    EXPECT_EQ(GetU16(payload.data(), 2), 1000);  // channel 1, sample 0
}

}  // namespace
}  // namespace qrd
