// Trigger streams and the effective recording mode decided at open, the
// probes for recordings of early recorder versions, and the first-chunk rule
// of old headers.
#include <gtest/gtest.h>

#include "container/file_header.h"
#include "open_test_recordings.h"

namespace qrd {
namespace {

using qrd_test::TempDir;

StreamSpec TriggerStream(int n, uint16_t id) {
    StreamSpec s;
    s.typeName = "trigger";
    s.name = "Trigger " + std::to_string(n);
    s.tag = "trig000" + std::to_string(n);
    s.id = id;
    return s;
}

TEST(OpenTriggers, TriggerTagsDecideStreamsAndMode) {
    TempDir dir;
    CQRVAStreamFile file;
    RecordingSpec desc = qrd_test::SmallRecording(10);
    AddEventStream(desc, TriggerStream(2, 4), {});
    desc.recordingMode = kModeTriggered;
    desc.sweepLength = 250.7f;
    desc.triggerTag1 = "trig0001";
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "m1.qrd", desc).c_str()), 0);
    EXPECT_EQ(file.GetTriggerStream(), 2);
    EXPECT_EQ(file.GetStopTriggerStream(), -1);
    EXPECT_EQ(file.GetRecordingMode(), 1);
    EXPECT_EQ(file.GetSweepLength(), 250);

    desc.recordingMode = kModeStartStopTrigger;
    desc.triggerTag2 = "trig0002";
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "m2.qrd", desc).c_str()), 0);
    EXPECT_EQ(file.GetTriggerStream(), 2);
    EXPECT_EQ(file.GetStopTriggerStream(), 3);
    EXPECT_EQ(file.GetRecordingMode(), 2);

    // A stop tag naming no stream leaves a one-trigger recording.
    desc.triggerTag2 = "gone0009";
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "m2b.qrd", desc).c_str()), 0);
    EXPECT_EQ(file.GetStopTriggerStream(), -1);
    EXPECT_EQ(file.GetRecordingMode(), 1);

    // A trigger tag naming no stream makes the recording continuous.
    desc.recordingMode = kModeTriggered;
    desc.triggerTag1 = "nope0001";
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "none.qrd", desc).c_str()), 0);
    EXPECT_EQ(file.GetTriggerStream(), -1);
    EXPECT_EQ(file.GetRecordingMode(), 0);
    EXPECT_EQ(file.GetSweepLength(), -1);
}

TEST(OpenTriggers, OldHeadersNameTheTriggerStreamById) {
    TempDir dir;
    CQRVAStreamFile file;
    RecordingSpec desc = qrd_test::SmallRecording(4);
    AddEventStream(desc, TriggerStream(2, 4), {});
    desc.recordingMode = kModeTriggered;
    desc.triggerStreamId = 4;
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "v4.qrd", desc).c_str()), 0);
    EXPECT_STREQ(file.GetHeader()->triggerTag1(), "trig0002");
    EXPECT_EQ(file.GetTriggerStream(), 3);
    EXPECT_EQ(file.GetRecordingMode(), 1);
}

// A version-0 recording: an electrode stream in sweeps of sweepMs separated
// by 10 ms gaps (no gaps with sweeps = 1), and the given number of trigger streams.
RecordingSpec OldRecording(uint16_t appMinor, int sweeps, int triggers, uint64_t chunkNs = 10000000,
                           uint64_t sweepMs = 40) {
    RecordingSpec desc;
    desc.version = 0;
    desc.appVersion = (1u << 16) | appMinor;
    desc.startTime = qrd_test::SmallRecordingStart();
    ContinuousStreamOptions raw;
    raw.chunkDuration = chunkNs;
    raw.format.word18 = 2000;
    for (int s = 0; s < sweeps; ++s)
        raw.spans.push_back({desc.startTime + static_cast<uint64_t>(s) * (sweepMs + 10) * 1000000, sweepMs * 25});
    AddContinuousStream(desc, raw, [](uint32_t, uint64_t i) { return static_cast<uint16_t>(i); });
    for (int t = 0; t < triggers; ++t) {
        std::vector<uint8_t> payload;
        AppendTriggerRecord(payload, 0, desc.startTime, 1);
        AddEventStream(desc, TriggerStream(t + 1, static_cast<uint16_t>(2 + t)),
                       {{desc.startTime, desc.startTime + 1000000, payload}});
    }
    InterleaveChunks(desc);
    return desc;
}

TEST(OpenOldRecordings, ProbesFindTriggeredRecordingsAndTheirSweepLength) {
    TempDir dir;
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "a.qrd", OldRecording(20, 3, 1)).c_str()), 0);
    EXPECT_EQ(file.GetRecordingMode(), 1);
    EXPECT_EQ(file.GetTriggerStream(), 1);
    EXPECT_EQ(file.GetSweepLength(), 40);
    EXPECT_FALSE(file.HasLongChunks());
    EXPECT_TRUE(file.HasOnlyPlainStreams());

    // Two trigger streams: none can be chosen, so the recording is continuous.
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "b.qrd", OldRecording(20, 3, 2)).c_str()), 0);
    EXPECT_EQ(file.GetRecordingMode(), 0);
    EXPECT_LT(file.GetTriggerStream(), 0);

    // No gaps: continuous.
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "c.qrd", OldRecording(20, 1, 1)).c_str()), 0);
    EXPECT_EQ(file.GetRecordingMode(), 0);

    // Recorders from 1.34 on are trusted: a version-0 header stores no mode.
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "d.qrd", OldRecording(34, 3, 1)).c_str()), 0);
    EXPECT_EQ(file.GetRecordingMode(), 0);

    // Chunks longer than 128 ms in a recording of plain streams drop the position index.
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "e.qrd", OldRecording(20, 2, 1, 200000000, 400)).c_str()), 0);
    EXPECT_EQ(file.GetRecordingMode(), 1);
    EXPECT_TRUE(file.HasLongChunks());
    EXPECT_TRUE(file.DropsPositionIndex());
    EXPECT_EQ(file.GetSweepLength(), 400);
}

TEST(OpenFirstChunk, OldHeadersMoveTheStartBackToTheFirstChunk) {
    TempDir dir;
    for (uint16_t v : {2, 3}) {
        RecordingSpec desc = qrd_test::SmallRecording(v);
        const uint64_t dataStart = desc.startTime;
        desc.startTime = dataStart + 3000000;  // stamped 3 ms after the data began
        desc.fileTime = desc.startTime;
        CQRVAStreamFile file;
        ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "fc.qrd", desc).c_str()), 0);
        EXPECT_EQ(file.GetStartTime()->GetTicks(), desc.startTime);
        std::unique_ptr<CQRVAChunk> chunk = file.GetStream(0)->FirstChunk();
        ASSERT_TRUE(chunk);
        EXPECT_EQ(file.GetFirstDataTime(), dataStart);
        const uint64_t expected = v < 3 ? dataStart : desc.startTime;
        EXPECT_EQ(file.GetStartTime()->GetTicks(), expected) << "version " << v;
        EXPECT_EQ(file.GetHeader()->startTime(), expected);
        EXPECT_EQ(file.GetFileTime()->GetOrigin(), static_cast<int64_t>(expected));
        EXPECT_EQ(file.GetStopTime()->GetOrigin(), static_cast<int64_t>(expected));
        EXPECT_EQ(chunk->Start().GetOrigin(), static_cast<int64_t>(expected));
    }
}

TEST(OpenFirstChunk, MissingStartTimeComesFromTheEarliestFirstChunk) {
    TempDir dir;
    RecordingSpec desc = qrd_test::SmallRecording(6);
    const uint64_t dataStart = desc.startTime;
    desc.startTime = 0;
    desc.fileTime = 1;
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpec(dir, "nostart.qrd", desc).c_str()), 0);
    EXPECT_EQ(file.GetStartTime()->GetTicks(), dataStart);
    EXPECT_EQ(file.GetStopTime()->GetOrigin(), static_cast<int64_t>(dataStart));
}

}  // namespace
}  // namespace qrd
