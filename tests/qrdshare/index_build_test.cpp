// Building the chunk index: sweeps found by the scan, position entries, the
// stop time taken from the data, the index cache file, recordings that keep
// no position entries, and progress reports with cancelling.
#include <gtest/gtest.h>

#include <filesystem>

#include "container/binary_file.h"
#include "container/chunk_index.h"
#include "container/file_header.h"
#include "samples_test_recordings.h"

namespace qrd {
namespace {

using qrd_test::SamplesStart;
using qrd_test::TempDir;

constexpr uint64_t kMs = 1000000;

// An "analog" stream whose chunks span the given millisecond pairs.
void AddTimedStream(RecordingSpec& desc, const std::string& tag, uint16_t id,
                    const std::vector<std::pair<uint64_t, uint64_t>>& ms) {
    StreamSpec st;
    st.typeName = "analog";
    st.name = "Electrode Raw Data";
    st.tag = tag;
    st.id = id;
    ChannelSpec channel;
    channel.number = 1;
    st.channels.push_back(channel);
    std::vector<EventChunk> chunks;
    for (const auto& p : ms) chunks.push_back({SamplesStart() + p.first * kMs, SamplesStart() + p.second * kMs, {1, 0, 2, 0}});
    AddEventStream(desc, st, chunks);
}

RecordingSpec EmptySpec() {
    RecordingSpec desc;
    desc.startTime = SamplesStart();
    return desc;
}

std::vector<SweepEntry> SweepsOf(const CQRVAStreamFile& file) {
    std::vector<SweepEntry> out;
    for (uint32_t w = 0; w < file.GetIndex().SweepCount(); ++w)
        out.push_back({file.GetSweepStartTicks(w), file.GetSweepEnd(w)->GetTicks()});
    return out;
}

SweepEntry Sweep(uint64_t fromMs, uint64_t toMs) { return {SamplesStart() + fromMs * kMs, SamplesStart() + toMs * kMs}; }

TEST(IndexScan, GapsInTheReferenceStreamMakeSweeps) {
    TempDir dir;
    CQRVAStreamFile file;
    // The reference is the last stream with data; the first stream's chunks do not matter.
    RecordingSpec desc = EmptySpec();
    AddTimedStream(desc, "elec0001", 1, {{0, 5}, {50, 60}});
    AddTimedStream(desc, "elec0002", 2, {{0, 10}, {10, 20}, {30, 40}});
    AddTimedStream(desc, "elec0003", 3, {});
    InterleaveChunks(desc);
    ASSERT_EQ(file.Open(qrd_test::WriteSpecTo(dir, "gaps.qrd", desc).c_str()), 0);
    EXPECT_EQ(file.GetSweepStart(0), nullptr);  // nothing before the index is built
    ASSERT_EQ(file.BuildIndex(), 2);
    EXPECT_EQ(SweepsOf(file), (std::vector<SweepEntry>{Sweep(0, 20), Sweep(30, 40)}));
    EXPECT_EQ(file.GetStopTime()->GetTicks(), SamplesStart() + 40 * kMs);
    ASSERT_EQ(file.GetIndex().positions().size(), 1u);
    EXPECT_EQ(file.GetIndex().positions()[0].time, SamplesStart());
    EXPECT_EQ(file.GetIndex().positions()[0].offset, file.GetDataStart());
    EXPECT_EQ(file.BuildIndex(), 2);

    // Without any chunk: no sweeps, and the recording stops where it starts.
    desc = EmptySpec();
    AddTimedStream(desc, "elec0001", 1, {});
    desc.stopTime = SamplesStart() + 1000 * kMs;
    ASSERT_EQ(file.Open(qrd_test::WriteSpecTo(dir, "none.qrd", desc).c_str()), 0);
    EXPECT_EQ(file.BuildIndex(), 0);
    EXPECT_EQ(file.GetSweepStart(0), nullptr);
    EXPECT_TRUE(file.GetIndex().positions().empty());
    EXPECT_EQ(file.GetStopTime()->GetTicks(), SamplesStart());
}

TEST(IndexScan, AShortTriggerStreamDoesNotCutTheSweepsShort) {
    TempDir dir;
    const uint64_t s = SamplesStart();
    RecordingSpec desc = qrd_test::SweepRecording(25000000, 8, 100 * kMs,
                                                  {{s, 25000}, {s + 2000 * kMs, 25000}, {s + 4000 * kMs, 12500}});
    // The trigger stream's only chunk comes first and early.
    desc.chunks.erase(std::remove_if(desc.chunks.begin(), desc.chunks.end(),
                                     [&](const ChunkSpec& c) { return c.stream == 0 && c.start != s; }),
                      desc.chunks.end());
    RecordingPlan plan;
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpecTo(dir, "short.qrd", desc, &plan).c_str()), 0);
    ASSERT_EQ(file.BuildIndex(), 3);
    EXPECT_EQ(SweepsOf(file), (std::vector<SweepEntry>{Sweep(0, 1000), Sweep(2000, 3000), Sweep(4000, 4500)}));
    EXPECT_EQ(SweepsOf(file), DeriveSweeps(desc));
    EXPECT_EQ(file.GetStopTime()->GetTicks(), s + 4500 * kMs);

    // Position entries: ordered, about 250000 bytes apart, each at the tag of
    // a chunk that starts at the entry's time, all through the recording.
    const std::vector<PositionEntry>& positions = file.GetIndex().positions();
    ASSERT_GE(positions.size(), 3u);
    EXPECT_TRUE(PositionsAreOrdered(positions));
    EXPECT_GT(positions.back().offset, plan.fileSize - 350000);
    BinaryFile raw;
    ASSERT_TRUE(raw.OpenRead(dir.File("short.qrd")));
    for (size_t i = 0; i < positions.size(); ++i) {
        if (i > 0) {
            EXPECT_GT(positions[i].offset - positions[i - 1].offset, 200000u);
        }
        EXPECT_NE(std::find(plan.chunkOffsets.begin(), plan.chunkOffsets.end(), positions[i].offset),
                  plan.chunkOffsets.end());
        uint64_t start = 0;
        ASSERT_TRUE(raw.Seek(positions[i].offset + 16) && raw.ReadU64(start));
        EXPECT_EQ(start, positions[i].time);
    }
}

TEST(IndexScan, TheStopTimeComesFromTheDataWhenTheHeaderHasNone) {
    TempDir dir;
    const uint64_t s = SamplesStart();
    // Version 0 stores no stop time.
    RecordingSpec v0 = qrd_test::ContinuousRecording(25000000, 2, 100 * kMs, {{s, 25000}}, 0);
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpecTo(dir, "v0.qrd", v0).c_str()), 0);
    EXPECT_EQ(file.GetStopTime()->GetTicks(), s + 1000 * kMs);
    EXPECT_EQ(file.GetStream(0)->TotalSampleCount(), 25000u);

    // A stop time before the start is no stop time either.
    RecordingSpec early = qrd_test::ContinuousRecording(25000000, 2, 100 * kMs, {{s, 2500}});
    early.stopTime = s - 1;
    ASSERT_EQ(file.Open(qrd_test::WriteSpecTo(dir, "early.qrd", early).c_str()), 0);
    EXPECT_EQ(file.GetStopTime()->GetTicks(), s + 100 * kMs);
    EXPECT_EQ(file.GetStream(0)->TotalSampleCount(), 2500u);
}

std::vector<std::string> FolderEntries(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void WriteCache(const std::string& path, CQRVAChunkIndex index) {
    BinaryFile out;
    ASSERT_TRUE(out.OpenWrite(path));
    ASSERT_TRUE(index.WriteIndexHeader(out, "elsewhere.qrd", 7));
    index.WriteIndexLists(out);
    ASSERT_TRUE(out.Close());
}

TEST(IndexCache, WrittenByTheScanReusedAndDiscardedWhenItDoesNotFit) {
    TempDir dir;
    const uint64_t s = SamplesStart();
    const RecordingSpec desc = qrd_test::SweepRecording(25000000, 4, 100 * kMs, {{s, 12500}, {s + 1000 * kMs, 12500}});
    const std::string path = qrd_test::WriteSpecTo(dir, "rec.qrd", desc);
    const std::string cachePath = dir.File("qrvidx" + std::to_string(s));

    // No cache folder: nothing is written, every open scans.
    {
        CQRVAStreamFile file;
        ASSERT_EQ(file.Open(path.c_str()), 0);
        ASSERT_EQ(file.BuildIndex(), 2);
        EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"rec.qrd"});
    }

    // The folder is set before Open, as the library's settings set it; the
    // scan writes the index block as a file of its own.
    CQRVAChunkIndex scanned;
    {
        CQRVAStreamFile file;
        file.SetCacheDirectory(dir.path() + "/");
        ASSERT_EQ(file.Open(path.c_str()), 0);
        ASSERT_EQ(file.BuildIndex(), 2);
        scanned = file.GetIndex();
        BinaryFile cache;
        ASSERT_TRUE(cache.OpenRead(cachePath));
        CQRVAChunkIndex read;
        ASSERT_TRUE(read.ReadIndexHeader(cache));
        ASSERT_TRUE(read.ReadIndexLists(cache));
        EXPECT_EQ(cache.Remaining(), 0u);
        EXPECT_EQ(read.positions(), scanned.positions());
        EXPECT_EQ(*read.sweepStarts(), *scanned.sweepStarts());
        EXPECT_EQ(*read.sweepEnds(), *scanned.sweepEnds());
        EXPECT_EQ(read.header().path, path);
        EXPECT_EQ(read.header().streamCount, 2u);
    }

    // A cache file that fits is used as it is (these sweeps are not the
    // recording's, so only the cache can have given them).
    CQRVAChunkIndex planted = scanned;
    planted.SetSweeps({s + 5 * kMs}, {s + 7 * kMs});
    WriteCache(cachePath, planted);
    {
        CQRVAStreamFile file;
        file.SetCacheDirectory(dir.path() + "/");
        ASSERT_EQ(file.Open(path.c_str()), 0);
        ASSERT_EQ(file.BuildIndex(), 1);
        EXPECT_EQ(file.GetSweepStartTicks(0), s + 5 * kMs);
        EXPECT_EQ(file.GetStopTime()->GetTicks(), s + 7 * kMs);
    }

    // One whose last entry points at a chunk of another start time is
    // discarded: the recording is scanned and the cache written anew.
    std::vector<PositionEntry> moved = scanned.positions();
    CQRVAChunkIndex stale;
    for (size_t i = 0; i < moved.size(); ++i)
        stale.AddPosition(moved[i].time + (i + 1 == moved.size() ? 1 : 0), moved[i].offset);
    stale.SetSweeps({s + 5 * kMs}, {s + 7 * kMs});
    WriteCache(cachePath, stale);
    {
        CQRVAStreamFile file;
        file.SetCacheDirectory(dir.path() + "/");
        ASSERT_EQ(file.Open(path.c_str()), 0);
        ASSERT_EQ(file.BuildIndex(), 2);
        EXPECT_EQ(SweepsOf(file), DeriveSweeps(desc));
    }
}

TEST(IndexScan, OldRecordingsWithLongChunksKeepSweepsButNoPositions) {
    TempDir dir;
    const uint64_t s = SamplesStart();
    // Version 0 by recorder 1.20, 200 ms chunks with gaps and one trigger
    // stream: the open decides to keep no position entries.
    RecordingSpec desc;
    desc.version = 0;
    desc.appVersion = (1u << 16) | 20u;
    desc.startTime = s;
    desc.recordingMode = kModeTriggered;
    qrd::AddContinuousStream(desc, qrd_test::RawOptions(25000000, 2, 200 * kMs, {{s, 10000}, {s + 1000 * kMs, 10000}}),
                             qrd_test::SampleValue);
    StreamSpec trigger = qrd_test::TriggerStreamSpec();
    AddEventStream(desc, trigger, {{s, s + 400 * kMs, {}}, {s + 1000 * kMs, s + 1400 * kMs, {}}});
    InterleaveChunks(desc);
    const std::string path = qrd_test::WriteSpecTo(dir, "old.qrd", desc);
    CQRVAStreamFile file;
    file.SetCacheDirectory(dir.path() + "/");
    ASSERT_EQ(file.Open(path.c_str()), 0);
    ASSERT_TRUE(file.DropsPositionIndex());
    ASSERT_EQ(file.GetRecordingMode(), 1);
    ASSERT_EQ(file.BuildIndex(), 2);
    EXPECT_EQ(SweepsOf(file), (std::vector<SweepEntry>{Sweep(0, 400), Sweep(1000, 1400)}));
    EXPECT_TRUE(file.GetIndex().positions().empty());
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"old.qrd"});
    EXPECT_EQ(file.BuildIndex(), 2);
    // Time lookups walk from the first chunk.
    std::unique_ptr<CQRVAChunk> chunk = file.GetStream(0)->ChunkAtTime(CQRVATimeStamp(s + 1250 * kMs, 0));
    ASSERT_TRUE(chunk);
    EXPECT_EQ(chunk->GetStartTicks(), s + 1200 * kMs);
}

TEST(IndexScan, ProgressIsReportedAndACancelledScanLeavesNothing) {
    TempDir dir;
    const uint64_t s = SamplesStart();
    const RecordingSpec desc = qrd_test::SweepRecording(25000000, 4, 100 * kMs, {{s, 12500}, {s + 1000 * kMs, 12500}});
    const std::string path = qrd_test::WriteSpecTo(dir, "p.qrd", desc);

    CQRVAStreamFile file;
    std::vector<std::pair<std::string, uint32_t>> reports;
    file.SetProgressCallback([&](const char* text, uint32_t percent) {
        reports.emplace_back(text, percent);
        return 0;
    });
    ASSERT_EQ(file.Open(path.c_str()), 0);
    ASSERT_EQ(file.BuildIndex(), 2);
    ASSERT_FALSE(reports.empty());
    for (size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].first, "Generating index");
        EXPECT_LE(reports[i].second, 100u);
        if (i > 0) {
            EXPECT_GE(reports[i].second, reports[i - 1].second);
        }
    }
    EXPECT_EQ(reports.back().second, 100u);

    // Cancelled at the first report: no sweeps, no entries, and the next
    // call scans again.
    file.SetProgressCallback([](const char*, uint32_t) { return 1; });
    ASSERT_EQ(file.Open(path.c_str()), 0);
    EXPECT_EQ(file.BuildIndex(), 0);
    EXPECT_EQ(file.GetSweepStart(0), nullptr);
    EXPECT_TRUE(file.GetIndex().positions().empty());
    EXPECT_EQ(file.GetStopTime()->GetTicks(), s);
    file.SetProgressCallback(nullptr);
    EXPECT_EQ(file.BuildIndex(), 2);
    EXPECT_EQ(file.GetStopTime()->GetTicks(), s + 1500 * kMs);
}

}  // namespace
}  // namespace qrd
