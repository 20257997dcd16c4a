// The chunk index embedded in a recording: used when it is sound, dropped
// (without rejecting the recording) when it is not, and the time lookup
// that starts from it.
#include <gtest/gtest.h>

#include "container/chunk_index.h"
#include "container/file_header.h"
#include "container/index_records.h"
#include "open_test_recordings.h"

namespace qrd {
namespace {

using qrd_test::TempDir;

RecordingSpec IndexedRecording(uint64_t positionSpacing) {
    RecordingSpec desc = qrd_test::SmallRecording(10);
    desc.index = IndexChoice::kEmbedded;
    desc.positionSpacing = positionSpacing;
    return desc;
}

// Offsets inside the index block that follows the chunks.
uint64_t PositionSectionOffset(const RecordingPlan& plan) { return plan.indexOffset + 16 + IndexHeader::kSize; }

void ExpectIndexDropped(CQRVAStreamFile& file, size_t chunkCount) {
    EXPECT_EQ(file.GetIndexFlag(), 0u);
    EXPECT_TRUE(file.GetIndex().positions().empty());
    // Nothing of the damaged index survives: no sweeps until a scan has run.
    EXPECT_EQ(file.GetSweepStart(0), nullptr);
    EXPECT_EQ(file.GetSweepStartTicks(0), 0u);
    // The chunks are still there; the walk stops before the index block.
    EXPECT_EQ(qrd_test::CountFileChunks(file), chunkCount);
    // A scan of the chunks replaces the index: one continuous sweep.
    EXPECT_EQ(file.BuildIndex(), 1);
}

TEST(OpenIndex, AnEmbeddedIndexIsReadAndUsed) {
    TempDir dir;
    RecordingPlan plan;
    const RecordingSpec desc = IndexedRecording(0);
    const std::string path = qrd_test::WriteSpec(dir, "idx.qrd", desc, &plan);
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(path.c_str()), 0);
    EXPECT_EQ(file.GetIndexFlag(), 1u);
    EXPECT_EQ(file.GetIndexOffset(), plan.indexOffset);
    EXPECT_EQ(file.GetIndex().positions(), plan.positions);
    ASSERT_EQ(plan.sweeps.size(), 1u);
    EXPECT_EQ(file.BuildIndex(), 1);
    std::unique_ptr<CQRVATimeStamp> start = file.GetSweepStart(0);
    std::unique_ptr<CQRVATimeStamp> end = file.GetSweepEnd(0);
    ASSERT_TRUE(start && end);
    EXPECT_EQ(start->GetTicks(), plan.sweeps[0].start);
    EXPECT_EQ(end->GetTicks(), plan.sweeps[0].end);
    EXPECT_EQ(start->GetOrigin(), static_cast<int64_t>(desc.startTime));
    EXPECT_EQ(file.GetSweepStartTicks(0), plan.sweeps[0].start);
    EXPECT_EQ(file.GetSweepStart(1), nullptr);
    EXPECT_EQ(qrd_test::CountFileChunks(file), plan.chunkOffsets.size());
    EXPECT_EQ(qrd_test::CountChunks(*file.GetStream(0)), 10u);
}

TEST(OpenIndex, ADamagedIndexIsDroppedNotTheRecording) {
    TempDir dir;
    RecordingPlan plan;
    const std::vector<uint8_t> good = RecordingBytes(IndexedRecording(0), &plan);
    const size_t chunkCount = plan.chunkOffsets.size();
    CQRVAStreamFile file;

    // Position section length not 16 x the header's entry count.
    std::vector<uint8_t> bytes = good;
    PutU64(bytes.data(), PositionSectionOffset(plan) + 8, 16 * plan.positions.size() - 16);
    ASSERT_EQ(file.Open(qrd_test::WriteBytes(dir, "len.qrd", bytes).c_str()), 0);
    ExpectIndexDropped(file, chunkCount);

    // The last entry does not point at a chunk with its time.
    bytes = good;
    PutU64(bytes.data(), PositionSectionOffset(plan) + 16 * plan.positions.size(), plan.positions.back().time + 1);
    ASSERT_EQ(file.Open(qrd_test::WriteBytes(dir, "last.qrd", bytes).c_str()), 0);
    ExpectIndexDropped(file, chunkCount);

    // An index offset beyond the end of the file.
    bytes = good;
    PutU64(bytes.data(), plan.trailerOffset + 16, bytes.size() + 100);
    ASSERT_EQ(file.Open(qrd_test::WriteBytes(dir, "far.qrd", bytes).c_str()), 0);
    EXPECT_EQ(file.GetIndexFlag(), 0u);
    EXPECT_EQ(file.GetSweepStart(0), nullptr);
    EXPECT_EQ(file.BuildIndex(), 1);

    // Sweeps that overlap.
    RecordingSpec desc = IndexedRecording(0);
    desc.sweeps = std::vector<SweepEntry>{{100, 200}, {150, 300}};
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "overlap.qrd", desc).c_str()), 0);
    ExpectIndexDropped(file, chunkCount);
}

TEST(OpenIndex, AnIndexRightAfterTheHeaderListIsNotAChunk) {
    TempDir dir;
    RecordingSpec desc = IndexedRecording(0);
    desc.chunks.clear();
    RecordingPlan plan;
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "nochunks.qrd", desc, &plan).c_str()), 0);
    EXPECT_EQ(file.GetIndexOffset(), file.GetDataStart());
    EXPECT_EQ(file.FirstChunk(), nullptr);
    EXPECT_EQ(file.GetStream(0)->FirstChunk(), nullptr);
}

// First chunk of stream 0 whose end lies after t, found by walking all chunks.
uint64_t ExpectedChunkStart(CQRVAStream& stream, uint64_t t) {
    std::unique_ptr<CQRVAChunk> chunk = stream.FirstChunk();
    while (chunk && chunk->GetEndTicks() <= t) {
        std::unique_ptr<CQRVAChunk> next = stream.NextChunk(chunk);
        if (!next) return 0;
        chunk = std::move(next);
    }
    return chunk ? chunk->GetStartTicks() : 0;
}

TEST(OpenIndex, ChunkAtTimeFindsTheChunkWithAndWithoutPositions) {
    TempDir dir;
    const uint64_t start = qrd_test::SmallRecordingStart();
    // Every chunk indexed, a sparse index, and no index at all.
    for (uint64_t spacing : {uint64_t(0), uint64_t(3000), uint64_t(1) << 40}) {
        RecordingSpec desc = IndexedRecording(spacing);
        if (spacing == (uint64_t(1) << 40)) desc.index = IndexChoice::kNone;
        // The trigger stream's one chunk spans the whole recording, so index
        // entries of later raw chunks lie after the chunk that covers them.
        for (ChunkSpec& c : desc.chunks)
            if (c.stream == 2) c.end = start + 100000000;
        CQRVAStreamFile file;
        ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "cat.qrd", desc).c_str()), 0);
        CQRVAStream& stream = *file.GetStream(0);
        const uint64_t probes[] = {0, start - 1, start, start + 1, start + 9999999, start + 10000000,
                                   start + 45000000, start + 99999999};
        for (uint64_t t : probes) {
            std::unique_ptr<CQRVAChunk> chunk = stream.ChunkAtTime(CQRVATimeStamp(t, 0));
            ASSERT_TRUE(chunk) << "spacing " << spacing << " t " << t;
            EXPECT_EQ(chunk->GetStartTicks(), ExpectedChunkStart(stream, t)) << "spacing " << spacing;
            EXPECT_EQ(chunk->GetStream(), &stream);
        }
        // After the last chunk's end there is nothing.
        EXPECT_EQ(stream.ChunkAtTime(CQRVATimeStamp(start + 100000000, 0)), nullptr);
        std::unique_ptr<CQRVAChunk> trigger = file.GetStream(2)->ChunkAtTime(CQRVATimeStamp(start + 55000000, 0));
        ASSERT_TRUE(trigger) << "spacing " << spacing;
        EXPECT_EQ(trigger->GetStartTicks(), start);
    }
}

}  // namespace
}  // namespace qrd
