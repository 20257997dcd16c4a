// Continuous samples read by time and by sample index: counts, windows at
// chunk starts, inside chunks, across gaps and at the end, destinations that
// are never overrun, and the chunk-table reads agreeing with a plain walk.
#include <gtest/gtest.h>

#include <random>

#include "container/file_header.h"
#include "samples_test_recordings.h"

namespace qrd {
namespace {

using qrd_test::RefBetween;
using qrd_test::RefChannelRange;
using qrd_test::SampleValue;
using qrd_test::SamplesStart;
using qrd_test::TempDir;

constexpr uint64_t kMs = 1000000;
constexpr uint16_t kCanary = 0xBEEF;

CQRVATimeStamp At(uint64_t ticks) { return CQRVATimeStamp(ticks, static_cast<int64_t>(SamplesStart())); }

std::vector<uint16_t> ReadBetween(CQRVAStream& stream, uint64_t t1, uint64_t t2, uint32_t capacity = 1u << 20) {
    std::vector<uint16_t> out(capacity);
    out.resize(stream.ReadSamplesBetween(out.data(), capacity, At(t1), At(t2)));
    return out;
}

std::vector<uint16_t> ReadRange(CQRVAStream& stream, uint32_t channel, uint32_t first, uint32_t count) {
    std::vector<uint16_t> out(count + 1, kCanary);
    const uint32_t n = stream.ReadChannelRange(out.data(), channel, first, count);
    EXPECT_EQ(out[count], kCanary) << "wrote past the count";
    out.resize(n);
    return out;
}

TEST(SampleCounts, WholePeriodsAndWholeMilliseconds) {
    TempDir dir;
    const uint64_t s = SamplesStart();
    // 2.5 kHz over 10 s: 25000 per channel, by either count.
    RecordingSpec slow = qrd_test::ContinuousRecording(2500000, 1, 100 * kMs, {{s, 2500}});
    slow.stopTime = s + 10000 * kMs;
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpecTo(dir, "slow.qrd", slow).c_str()), 0);
    EXPECT_EQ(file.GetStream(0)->TotalSampleCount(), 25000u);
    EXPECT_EQ(file.GetStream(0)->SampleCountBetween(At(s), At(s + 10000 * kMs)), 25000u);

    // 25 kHz over 10.0005 s counts whole milliseconds; 1 ms of 3 channels is 75 values.
    RecordingSpec fast = qrd_test::ContinuousRecording(25000000, 3, 10 * kMs, {{s, 2500}});
    fast.stopTime = s + 10000 * kMs + 500000;
    ASSERT_EQ(file.Open(qrd_test::WriteSpecTo(dir, "fast.qrd", fast).c_str()), 0);
    CQRVAStream& stream = *file.GetStream(0);
    EXPECT_EQ(stream.TotalSampleCount(), 250000u);
    EXPECT_EQ(stream.SampleCountBetween(At(s), At(s + kMs)), 75u);
    EXPECT_EQ(stream.SampleCountBetween(At(s + kMs), At(s)), 0u);
    // Spans far beyond 2^64 / rate nanoseconds do not wrap; the count saturates.
    EXPECT_EQ(stream.SampleCountBetween(At(0), At(UINT64_MAX)), UINT32_MAX);

    // Sweep counts belong to triggered recordings, totals to continuous ones.
    EXPECT_EQ(stream.SweepSampleCount(0), 0u);
    RecordingSpec swept = qrd_test::SweepRecording(25000000, 2, 10 * kMs, {{s, 500}, {s + 100 * kMs, 500}});
    ASSERT_EQ(file.Open(qrd_test::WriteSpecTo(dir, "swept.qrd", swept).c_str()), 0);
    ASSERT_EQ(file.BuildIndex(), 2);
    EXPECT_EQ(file.GetStream(1)->TotalSampleCount(), 0u);
    EXPECT_EQ(file.GetStream(1)->SweepSampleCount(1), 1000u);
    EXPECT_EQ(file.GetStream(1)->SweepSampleCount(2), 0u);
    // Event streams have no samples.
    EXPECT_EQ(file.GetStream(0)->SampleCountBetween(At(s), At(s + kMs)), 0u);
}

TEST(SampleCounts, StreamsWithoutChannelsOrRateHaveNoSamples) {
    TempDir dir;
    const uint64_t s = SamplesStart();
    for (int variant = 0; variant < 2; ++variant) {
        RecordingSpec desc = qrd_test::ContinuousRecording(25000000, 2, 10 * kMs, {{s, 1000}});
        if (variant == 0) desc.streams[0].sampleRate = 0;
        if (variant == 1) desc.streams[0].channels.clear();
        desc.stopTime = s + 40 * kMs;
        CQRVAStreamFile file;
        ASSERT_EQ(file.Open(qrd_test::WriteSpecTo(dir, "zero.qrd", desc).c_str()), 0);
        CQRVAStream& stream = *file.GetStream(0);
        std::vector<uint16_t> dst(4096, kCanary);
        EXPECT_EQ(stream.TotalSampleCount(), 0u) << variant;
        EXPECT_EQ(stream.SampleCountBetween(At(s), At(s + 40 * kMs)), 0u);
        EXPECT_EQ(stream.ReadSamplesBetween(dst.data(), 4096, At(s), At(s + 40 * kMs)), 0u);
        EXPECT_EQ(stream.ReadChannelRange(dst.data(), 0, 0, 100), 0u);
        EXPECT_EQ(stream.ReadChannel(dst.data(), 4096, 0), 0u);
        EXPECT_EQ(dst[0], kCanary);
    }
}

// 3 channels at 25 kHz in 10 ms chunks: 40 ms, a 20 ms gap, then 26 ms
// (the last chunk of each span partial).
RecordingSpec GappedRecording() {
    const uint64_t s = SamplesStart();
    return qrd_test::ContinuousRecording(25000000, 3, 10 * kMs, {{s, 1000}, {s + 60 * kMs, 650}});
}

TEST(SamplesBetween, WindowsAtChunkStartsInsideChunksAcrossGapsAndAtTheEnd) {
    TempDir dir;
    const uint64_t s = SamplesStart();
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpecTo(dir, "gap.qrd", GappedRecording()).c_str()), 0);
    CQRVAStream& stream = *file.GetStream(0);

    // A window starting exactly at a chunk start copies that chunk from its first value.
    std::vector<uint16_t> v = ReadBetween(stream, s + 10 * kMs, s + 20 * kMs);
    ASSERT_EQ(v.size(), 750u);
    EXPECT_EQ(v[0], SampleValue(0, 250));
    EXPECT_EQ(v[2], SampleValue(2, 250));
    EXPECT_EQ(v[749], SampleValue(2, 499));

    // Inside a chunk: starts at the sample t1 falls in.
    v = ReadBetween(stream, s + 10 * kMs + 400000, s + 10 * kMs + 800000);
    ASSERT_EQ(v.size(), 30u);
    EXPECT_EQ(v[0], SampleValue(0, 260));

    struct Window {
        uint64_t t1, t2;
    } windows[] = {
        {s, s + 100 * kMs},                       // everything, across the gap
        {s + 5 * kMs + 123, s + 35 * kMs + 7},    // head, whole chunks, tail
        {s + 38 * kMs, s + 65 * kMs},             // into the gap and out of it
        {s + 45 * kMs, s + 55 * kMs},             // only the gap
        {s + 80 * kMs, s + 86 * kMs},             // the partial last chunk, to its end
        {s + 84 * kMs, s + 500 * kMs},            // past the end
        {s + 86 * kMs, s + 90 * kMs},             // after the last chunk
        {s - 10 * kMs, s + 3 * kMs},              // from before the first chunk
        {s + 12 * kMs, s + 12 * kMs},             // empty
    };
    // In order, backwards and shuffled, so the kept cursor is moved both ways.
    std::vector<size_t> order;
    for (size_t i = 0; i < sizeof windows / sizeof windows[0]; ++i) order.push_back(i);
    std::vector<size_t> sequence = order;
    sequence.insert(sequence.end(), order.rbegin(), order.rend());
    std::mt19937 rng(7);
    std::shuffle(order.begin(), order.end(), rng);
    sequence.insert(sequence.end(), order.begin(), order.end());
    for (size_t i : sequence) {
        const Window& w = windows[i];
        EXPECT_EQ(ReadBetween(stream, w.t1, w.t2), RefBetween(stream, w.t1, w.t2)) << "window " << i;
    }

    // The end of a window before its start reads nothing.
    EXPECT_TRUE(ReadBetween(stream, s + 20 * kMs, s + 10 * kMs).empty());
}

TEST(SamplesBetween, TheCapacityIsNeverExceeded) {
    TempDir dir;
    const uint64_t s = SamplesStart();
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpecTo(dir, "cap.qrd", GappedRecording()).c_str()), 0);
    CQRVAStream& stream = *file.GetStream(0);
    const std::vector<uint16_t> all = RefBetween(stream, s + 3 * kMs, s + 90 * kMs);
    for (uint32_t capacity : {0u, 1u, 100u, 650u, 750u, 1000u, 2999u}) {
        std::vector<uint16_t> dst(capacity + 8, kCanary);
        const uint32_t n = stream.ReadSamplesBetween(dst.data(), capacity, At(s + 3 * kMs), At(s + 90 * kMs));
        ASSERT_EQ(n, std::min<size_t>(capacity, all.size()));
        EXPECT_TRUE(std::equal(dst.begin(), dst.begin() + n, all.begin()));
        for (size_t i = capacity; i < dst.size(); ++i) ASSERT_EQ(dst[i], kCanary) << "capacity " << capacity;
    }
}

TEST(ChannelRange, AgreesWithAPlainWalkEverywhere) {
    TempDir dir;
    const uint64_t s = SamplesStart();
    // 30 kHz (no whole microsecond per sample), partial chunks at each span's end.
    RecordingSpec desc = qrd_test::ContinuousRecording(30000000, 3, 7 * kMs, {{s, 1000}, {s + 60 * kMs, 777}});
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpecTo(dir, "range.qrd", desc).c_str()), 0);
    CQRVAStream& stream = *file.GetStream(0);
    const uint32_t total = 1777;
    // Chunk boundaries lie every 210 instants and at 1000.
    const uint32_t firsts[] = {0, 1, 209, 210, 211, 419, 999, 1000, 1001, 1500, 1776};
    const uint32_t counts[] = {1, 2, 210, 211, 500, 5000};
    for (uint32_t channel = 0; channel < 3; ++channel) {
        for (uint32_t first : firsts) {
            for (uint32_t count : counts) {
                ASSERT_EQ(ReadRange(stream, channel, first, count), RefChannelRange(stream, channel, first, count))
                    << "channel " << channel << " first " << first << " count " << count;
            }
        }
    }
    // A random walk of windows, as a host scrolling through the recording.
    std::mt19937 rng(11);
    for (int i = 0; i < 200; ++i) {
        const uint32_t first = rng() % (total + 10), count = 1 + rng() % 400, channel = rng() % 3;
        ASSERT_EQ(ReadRange(stream, channel, first, count), RefChannelRange(stream, channel, first, count));
    }
    // Beyond the end and outside the channels there is nothing.
    EXPECT_TRUE(ReadRange(stream, 0, total, 10).empty());
    EXPECT_TRUE(ReadRange(stream, 0, UINT32_MAX, 10).empty());
    EXPECT_TRUE(ReadRange(stream, 3, 0, 10).empty());
    EXPECT_TRUE(ReadRange(stream, 1, 0, 0).empty());
}

TEST(ChannelRange, ReadChannelStopsAtItsCapacity) {
    TempDir dir;
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(qrd_test::WriteSpecTo(dir, "whole.qrd", GappedRecording()).c_str()), 0);
    CQRVAStream& stream = *file.GetStream(0);
    const std::vector<uint16_t> all = RefChannelRange(stream, 2, 0, UINT32_MAX);
    ASSERT_EQ(all.size(), 1650u);
    for (uint32_t capacity : {0u, 1u, 249u, 1650u, 4000u}) {
        std::vector<uint16_t> dst(capacity + 4, kCanary);
        const uint32_t n = stream.ReadChannel(dst.data(), capacity, 2);
        ASSERT_EQ(n, std::min<size_t>(capacity, all.size()));
        EXPECT_TRUE(std::equal(dst.begin(), dst.begin() + n, all.begin()));
        for (size_t i = n; i < dst.size(); ++i) ASSERT_EQ(dst[i], kCanary) << "capacity " << capacity;
    }
    EXPECT_EQ(stream.ReadChannel(nullptr, 10, 0), 0u);
}

TEST(ChannelRange, OddChunksAndDamagedChunksEndReadsCleanly) {
    TempDir dir;
    const uint64_t s = SamplesStart();
    // Payloads that are not whole instants: 7 values of 3 channels are 2 instants.
    RecordingSpec desc = qrd_test::ContinuousRecording(25000000, 3, 10 * kMs, {{s, 500}});
    std::vector<uint8_t> odd(14);
    for (size_t i = 0; i < 7; ++i) PutU16(odd.data(), 2 * i, static_cast<uint16_t>(9000 + i));
    ChunkSpec extra;
    extra.stream = 0;
    extra.start = s + 20 * kMs;
    extra.end = s + 20 * kMs + 80000;
    extra.payload = odd;
    desc.chunks.insert(desc.chunks.begin() + 1, extra);
    // And an odd byte count in the next chunk.
    desc.chunks[2].payloadSize += 1;
    RecordingPlan plan;
    const std::string path = qrd_test::WriteSpecTo(dir, "odd.qrd", desc, &plan);
    CQRVAStreamFile file;
    ASSERT_EQ(file.Open(path.c_str()), 0);
    CQRVAStream& stream = *file.GetStream(0);
    for (uint32_t channel = 0; channel < 3; ++channel)
        for (uint32_t first : {0u, 249u, 250u, 251u, 252u, 253u})
            EXPECT_EQ(ReadRange(stream, channel, first, 300), RefChannelRange(stream, channel, first, 300));
    EXPECT_EQ(ReadBetween(stream, s, s + 50 * kMs), RefBetween(stream, s, s + 50 * kMs));

    // A chunk length reaching beyond the file, or below the 16 bytes of its
    // times, ends the stream at that chunk.
    std::vector<uint8_t> bytes = RecordingBytes(desc, &plan);
    for (uint64_t length : {uint64_t(1) << 40, uint64_t(3)}) {
        std::vector<uint8_t> damaged = bytes;
        PutU64(damaged.data(), plan.chunkOffsets[1] + 8, length);
        ASSERT_EQ(file.Open(dir.Write("damaged.qrd", std::string(damaged.begin(), damaged.end())).c_str()), 0);
        CQRVAStream& cut = *file.GetStream(0);
        EXPECT_EQ(ReadRange(cut, 1, 0, 1000).size(), 250u);
        EXPECT_EQ(ReadRange(cut, 1, 0, 1000), RefChannelRange(cut, 1, 0, 1000));
        EXPECT_EQ(ReadBetween(cut, s, s + 50 * kMs).size(), 750u);
    }
}

}  // namespace
}  // namespace qrd
