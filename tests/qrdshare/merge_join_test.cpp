// Joining recordings: the order of the copies, the time line of continuous
// and triggered recordings, the header and index of the output, and old
// recordings whose chunk tags differ from their stream tags.
#include <gtest/gtest.h>

#include "container/chunk_index.h"
#include "container/file_merge.h"
#include "merge_test_recordings.h"

namespace qrd {
namespace {

using namespace qrd_test;

class MergeJoin : public ::testing::Test, protected MergeFiles {
protected:
    // Merges files into name and opens the result in merged.
    void MergeAndOpen(std::vector<CQRVAStreamFile*>& files, const std::string& name) {
        output = dir.File(name);
        CQRVAStreamFile out;
        ASSERT_EQ(Merge(out, files.data(), files.size(), output, nullptr), 0) << GetMergeMessage();
        EXPECT_EQ(GetMergeMessage(), "");
        ASSERT_EQ(merged.Open(output.c_str()), 0);
    }

    std::string output;
    CQRVAStreamFile merged;
};

TEST_F(MergeJoin, ContinuousRecordingsBecomeOneTimeLineInStartOrder) {
    const uint64_t t0 = MergeEpoch();
    MergeRecordingOptions a;
    a.spanSeconds = {10};
    a.sampleBase = 100;
    a.triggerStream = false;
    MergeRecordingOptions b = a;
    b.start = t0 + 100 * kSecond;
    b.spanSeconds = {5};
    b.sampleBase = 30000;
    CQRVAStreamFile* fileA = Add("a.qrd", a);
    CQRVAStreamFile* fileB = Add("b.qrd", b);
    const StreamContents sourceB = ReadStreamContents(*fileB->GetStream(0));
    std::vector<CQRVAStreamFile*> files{fileB, fileA};  // the later recording first
    MergeAndOpen(files, "ab.qrd");
    EXPECT_EQ(files[0], fileA);  // sorted in place

    EXPECT_EQ(merged.GetHeaderVersion(), 10);
    EXPECT_EQ(merged.GetStartTime()->GetTicks(), t0);
    EXPECT_EQ(merged.GetStopTime()->GetTicks(), t0 + 15 * kSecond);
    EXPECT_EQ(merged.GetHeader()->chunkCount(), fileA->GetHeader()->chunkCount() + fileB->GetHeader()->chunkCount());
    EXPECT_EQ(CountFileChunks(merged), merged.GetHeader()->chunkCount());

    // All of A, then all of B with its chunks 90 s earlier.
    const StreamContents electrodes = ReadStreamContents(*merged.GetStream(0));
    EXPECT_EQ(electrodes.values, Joined(ExpectedValues(100, 2, 0, 10000), ExpectedValues(30000, 2, 0, 5000)));
    ASSERT_EQ(electrodes.times.size(), 100 + sourceB.times.size());
    for (size_t i = 0; i < sourceB.times.size(); ++i) {
        EXPECT_EQ(electrodes.times[100 + i].first, sourceB.times[i].first - 90 * kSecond);
        EXPECT_EQ(electrodes.times[100 + i].second, sourceB.times[i].second - 90 * kSecond);
    }

    // The sample readers see one time line: channel 1 by index across the
    // join, both channels by time around it, one sweep over everything.
    CQRVAStream& stream = *merged.GetStream(0);
    std::vector<uint16_t> channel(20), window(20);
    ASSERT_EQ(stream.ReadChannelRange(channel.data(), 1, 9990, 20), 20u);
    for (uint64_t i = 0; i < 20; ++i)
        EXPECT_EQ(channel[i], i < 10 ? MergeSample(100, 1, 9990 + i) : MergeSample(30000, 1, i - 10));
    const CQRVATimeStamp from(t0 + 9995 * kSecond / 1000, 0), to(t0 + 10005 * kSecond / 1000, 0);
    ASSERT_EQ(stream.ReadSamplesBetween(window.data(), 20, from, to), 20u);
    EXPECT_EQ(window, Joined(ExpectedValues(100, 2, 9995, 5), ExpectedValues(30000, 2, 0, 5)));
    EXPECT_EQ(merged.BuildIndex(), 1);
    EXPECT_EQ(merged.GetSweepEnd(0)->GetTicks(), t0 + 15 * kSecond);
}

TEST_F(MergeJoin, TriggeredRecordingsKeepTheirTimesAndEqualStartsTheirOrder) {
    MergeRecordingOptions a;
    a.spanSeconds = {2, 2};
    a.recordingMode = kModeTriggered;
    MergeRecordingOptions b = a;
    b.start += 60 * kSecond;
    b.spanSeconds = {1};
    b.sampleBase = 20000;
    MergeRecordingOptions c = b;  // starts with b, given after it: copied after it
    c.sampleBase = 40000;
    CQRVAStreamFile* fileA = Add("a.qrd", a);
    CQRVAStreamFile* fileB = Add("b.qrd", b);
    std::vector<CQRVAStreamFile*> files{fileB, Add("c.qrd", c), fileA};
    MergeAndOpen(files, "abc.qrd");

    EXPECT_EQ(merged.GetRecordingMode(), kModeTriggered);
    EXPECT_EQ(merged.GetTriggerStream(), 2);
    EXPECT_EQ(merged.GetStopTime()->GetTicks(), fileB->GetStopTime()->GetTicks());
    const StreamContents sourceA = ReadStreamContents(*fileA->GetStream(0));
    const StreamContents sourceB = ReadStreamContents(*fileB->GetStream(0));
    const StreamContents electrodes = ReadStreamContents(*merged.GetStream(0));
    EXPECT_EQ(electrodes.values, Joined(Joined(ExpectedValues(0, 2, 0, 4000), ExpectedValues(20000, 2, 0, 1000)),
                                        ExpectedValues(40000, 2, 0, 1000)));
    ASSERT_EQ(electrodes.times.size(), sourceA.times.size() + 2 * sourceB.times.size());
    for (size_t i = 0; i < sourceA.times.size(); ++i) EXPECT_EQ(electrodes.times[i], sourceA.times[i]);
    for (size_t i = 0; i < sourceB.times.size(); ++i)
        EXPECT_EQ(electrodes.times[sourceA.times.size() + i], sourceB.times[i]);
}

TEST_F(MergeJoin, SingleRecordingIsCopiedWholeAndGainsAnIndexTheReaderUses) {
    MergeRecordingOptions a;
    a.spanSeconds = {30};
    a.channelCount = 4;       // about 300 kB: two position entries
    a.triggerStream = false;  // the digital stream, present throughout, sets the sweeps
    CQRVAStreamFile* source = Add("a.qrd", a);
    ASSERT_EQ(source->GetIndexFlag(), 0u);
    std::vector<CQRVAStreamFile*> files{source};
    MergeAndOpen(files, "copy.qrd");

    EXPECT_EQ(merged.GetStopTime()->GetTicks(), source->GetStopTime()->GetTicks());
    for (uint32_t s = 0; s < 2; ++s) {
        const StreamContents original = ReadStreamContents(*source->GetStream(s));
        const StreamContents copied = ReadStreamContents(*merged.GetStream(s));
        EXPECT_EQ(copied.times, original.times) << "stream " << s;
        EXPECT_EQ(copied.values, original.values) << "stream " << s;
    }
    // Open read (and validated) the index block.
    EXPECT_EQ(merged.GetIndexFlag(), 1u);
    EXPECT_GT(merged.GetIndexOffset(), merged.GetDataStart());
    const std::vector<PositionEntry>& positions = merged.GetIndex().positions();
    ASSERT_EQ(positions.size(), 2u);
    EXPECT_EQ(positions.front().offset, merged.GetDataStart());
    EXPECT_EQ(merged.GetIndex().header().path, output);
    EXPECT_EQ(merged.BuildIndex(), 1);
    // A lookup late in the recording starts from the second entry.
    std::unique_ptr<CQRVAChunk> chunk = merged.GetStream(0)->ChunkAtTime(CQRVATimeStamp(a.start + 25500 * kSecond / 1000, 0));
    ASSERT_TRUE(chunk);
    EXPECT_EQ(chunk->GetStartTicks(), a.start + 25500 * kSecond / 1000);
}

TEST_F(MergeJoin, OldRecordingsAreRetaggedAndKeepTheirStartTime) {
    // Header version 4 tags electrode chunks "00001raw" although the stream
    // is "elec0001"; a version-10 file tags them with the stream tag.  A
    // stream whose name gives it no stream tag keeps its chunk tag as one.
    MergeRecordingOptions a;
    a.version = 4;
    MergeRecordingOptions b = a;
    b.start += 10 * kSecond;
    b.sampleBase = 5000;
    RecordingSpec specA = MergeRecording(a), specB = MergeRecording(b);
    specA.streams[1].name = specB.streams[1].name = "Digital In";
    std::vector<CQRVAStreamFile*> files{Add("a.qrd", specA), Add("b.qrd", specB)};
    ASSERT_STREQ(files[0]->GetStream(0)->GetChunkTag(), "00001raw");
    ASSERT_STREQ(files[0]->GetStream(1)->GetStreamTag(), "");
    MergeAndOpen(files, "ab.qrd");
    EXPECT_STREQ(merged.GetStream(0)->GetChunkTag(), "elec0001");
    EXPECT_STREQ(merged.GetStream(1)->GetStreamTag(), "00002raw");
    EXPECT_EQ(ReadStreamContents(*merged.GetStream(1)).values.size(), 2000u);
    EXPECT_EQ(ReadStreamContents(*merged.GetStream(0)).values,
              Joined(ExpectedValues(0, 2, 0, 1000), ExpectedValues(5000, 2, 0, 1000)));
    size_t owned = 0;
    for (uint32_t s = 0; s < merged.GetStreamCount(); ++s) owned += CountChunks(*merged.GetStream(s));
    EXPECT_EQ(owned, CountFileChunks(merged));

    // Version-2 recorders could stamp the start after the first data; the
    // reader moves the start back to the first chunk when it reads it, and
    // the copy must not shift the data by the difference.
    RecordingSpec old = MergeRecording(MergeRecordingOptions{});
    old.version = 2;
    old.startTime += 5000000;
    std::vector<CQRVAStreamFile*> single{Add("old.qrd", old)};
    merged.Close();
    MergeAndOpen(single, "old_copy.qrd");
    EXPECT_EQ(merged.GetStartTime()->GetTicks(), MergeEpoch());
    EXPECT_EQ(ReadStreamContents(*merged.GetStream(0)).times.front().first, MergeEpoch());
}

}  // namespace
}  // namespace qrd
