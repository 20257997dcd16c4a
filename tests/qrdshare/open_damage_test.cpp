// Damaged and truncated recordings: Open answers 2 or 3 (never crashes,
// hangs or allocates what the file cannot hold) and chunk walks end cleanly.
#include <gtest/gtest.h>

#include <filesystem>

#include "container/file_header.h"
#include "container/stream_header.h"
#include "layout/qr_layout.h"
#include "open_test_recordings.h"

namespace qrd {
namespace {

using qrd_test::TempDir;

// A configured-layout recording: its layout block lies between the file
// header and the stream blocks.
RecordingSpec LayoutRecording() {
    RecordingSpec desc = qrd_test::SmallRecording(10);
    CQRLayout layout;
    BuildStandardLayout(layout, 0, 4, 2, 1, 1, 0);
    layout.sourceType = 3;
    WriteLayoutBlock(layout, desc.layoutBlock);
    desc.sourceType = kSourceConfiguredLayout;
    desc.index = IndexChoice::kEmbedded;
    return desc;
}

TEST(OpenDamage, TruncatedHeaderListsAreRejected) {
    TempDir dir;
    CQRVAStreamFile file;
    struct Case {
        RecordingSpec desc;
        uint64_t step;
    };
    std::vector<Case> cases = {{LayoutRecording(), 1}, {qrd_test::SmallRecording(0), 3},
                               {qrd_test::SmallRecording(4), 3}, {qrd_test::SmallRecording(6), 3}};
    for (const Case& c : cases) {
        RecordingPlan plan;
        const std::vector<uint8_t> bytes = RecordingBytes(c.desc, &plan);
        // Written once and cut shorter step by step.
        const std::string path = qrd_test::WriteBytes(dir, "cut.qrd", bytes);
        for (uint64_t cut = plan.dataStart - 1; cut < plan.dataStart; cut -= c.step) {
            std::filesystem::resize_file(path, cut);
            const int result = file.Open(path.c_str());
            ASSERT_EQ(result, cut < 8 ? 2 : 3) << "version " << c.desc.version << " cut at " << cut;
            EXPECT_EQ(file.GetStream(0), nullptr);
        }
    }
}

TEST(OpenDamage, TruncatedDataStillOpensAndWalksEnd) {
    TempDir dir;
    CQRVAStreamFile file;
    RecordingPlan plan;
    const std::vector<uint8_t> bytes = RecordingBytes(qrd_test::SmallRecording(10), &plan);
    const std::string path = dir.File("cut.qrd");
    for (uint64_t cut = plan.dataStart; cut <= bytes.size(); cut += 97) {
        qrd_test::WriteBytes(dir, "cut.qrd", std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
        ASSERT_EQ(file.Open(path.c_str()), 0) << "cut at " << cut;
        // A chunk whose payload the cut removed is not handed out.
        size_t whole = 0;
        for (size_t k = 0; k < plan.chunkOffsets.size(); ++k) {
            const uint64_t next = k + 1 < plan.chunkOffsets.size() ? plan.chunkOffsets[k + 1] : bytes.size();
            if (next <= cut) ++whole;
        }
        EXPECT_EQ(qrd_test::CountFileChunks(file), whole) << "cut at " << cut;
        EXPECT_LE(qrd_test::CountChunks(*file.GetStream(0)), 10u);
    }
}

TEST(OpenDamage, CountsTheFileCannotHoldAreRejectedBeforeAllocating) {
    TempDir dir;
    CQRVAStreamFile file;
    RecordingPlan plan;
    const std::vector<uint8_t> good = RecordingBytes(qrd_test::SmallRecording(10), &plan);
    const uint64_t header = plan.fileHeaderOffset + 16;
    const uint64_t stream0 = plan.streamBlockOffsets[0] + 16;
    const uint64_t firstChannel = stream0 + StreamHeader::kSize;
    // The trigger stream has no channels: its format section follows its header.
    const uint64_t triggerFormat = plan.streamBlockOffsets[2] + 16 + StreamHeader::kSize;

    struct Patch {
        const char* what;
        uint64_t at;
        uint64_t value;
        int width;
    };
    const Patch patches[] = {
        {"stream count", header + 800, 0xFFFFFFFFu, 4},
        {"stream count just too big", header + 800, 4, 4},
        {"channel count", stream0 + 788, 0x7FFFFFFFu, 4},
        {"extra item count", firstChannel + 784, 0x20000000u, 4},
        {"settings length", triggerFormat + 8, uint64_t(1) << 62, 8},
        {"settings length past the end", triggerFormat + 8, good.size(), 8},
    };
    for (const Patch& p : patches) {
        std::vector<uint8_t> bytes = good;
        if (p.width == 4)
            PutU32(bytes.data(), p.at, static_cast<uint32_t>(p.value));
        else
            PutU64(bytes.data(), p.at, p.value);
        EXPECT_EQ(file.Open(qrd_test::WriteBytes(dir, "count.qrd", bytes).c_str()), 3) << p.what;
    }
}

TEST(OpenDamage, ChunkWalksEndOnDamagedChunkHeads) {
    TempDir dir;
    RecordingPlan plan;
    const std::vector<uint8_t> good = RecordingBytes(qrd_test::SmallRecording(10), &plan);
    // Chunk 4 (of stream 1 or 2, in interleaved order) gets a broken length.
    const size_t damaged = 4;
    for (uint64_t length : {uint64_t(0), uint64_t(15), uint64_t(good.size()), ~uint64_t(0) - 15}) {
        std::vector<uint8_t> bytes = good;
        PutU64(bytes.data(), plan.chunkOffsets[damaged] + 8, length);
        CQRVAStreamFile file;
        ASSERT_EQ(file.Open(qrd_test::WriteBytes(dir, "chunk.qrd", bytes).c_str()), 0);
        EXPECT_EQ(qrd_test::CountFileChunks(file), damaged) << "length " << length;
        size_t total = 0;
        for (uint32_t s = 0; s < file.GetStreamCount(); ++s) total += qrd_test::CountChunks(*file.GetStream(s));
        // Walks of the other streams skip the damaged block too, so they end there.
        EXPECT_LT(total, plan.chunkOffsets.size()) << "length " << length;
    }
}

}  // namespace
}  // namespace qrd
