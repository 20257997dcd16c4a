// Sweeps of a triggered recording: whole sweeps, one channel of a sweep, and
// slices that start exactly at the sample asked for at any rate.
#include <gtest/gtest.h>

#include "container/file_header.h"
#include "samples_test_recordings.h"

namespace qrd {
namespace {

using qrd_test::SamplesStart;
using qrd_test::TempDir;

constexpr uint64_t kMs = 1000000;
constexpr uint16_t kCanary = 0xBEEF;

struct SweptFile {
    TempDir dir;
    CQRVAStreamFile file;
    CQRVAStream* raw = nullptr;
    std::vector<std::vector<uint16_t>> sweeps;  // interleaved values of each sweep, by a plain walk
};

// Three sweeps of 1000, 1000 and 333 samples, 2 channels, 10 ms chunks.
void OpenSwept(SweptFile& f, uint32_t rate) {
    const uint64_t s = SamplesStart();
    const RecordingSpec desc =
        qrd_test::SweepRecording(rate, 2, 10 * kMs, {{s, 1000}, {s + 200 * kMs, 1000}, {s + 500 * kMs, 333}});
    ASSERT_EQ(f.file.Open(qrd_test::WriteSpecTo(f.dir, "swept.qrd", desc).c_str()), 0);
    ASSERT_EQ(f.file.GetRecordingMode(), 1);
    ASSERT_EQ(f.file.BuildIndex(), 3);
    f.raw = f.file.GetStream(1);
    for (uint32_t w = 0; w < 3; ++w) {
        f.sweeps.push_back(
            qrd_test::RefBetween(*f.raw, f.file.GetSweepStartTicks(w), f.file.GetSweepEnd(w)->GetTicks()));
    }
}

std::vector<uint16_t> Slice(const std::vector<uint16_t>& values, uint64_t from, uint64_t n) {
    from = std::min<uint64_t>(from, values.size());
    n = std::min<uint64_t>(n, values.size() - from);
    return std::vector<uint16_t>(values.begin() + static_cast<long>(from), values.begin() + static_cast<long>(from + n));
}

class SweepReads : public ::testing::TestWithParam<uint32_t> {};

TEST_P(SweepReads, SlicesStartAtTheirFirstSampleAndHoldWhatWasAsked) {
    SweptFile f;
    OpenSwept(f, GetParam());
    // Each sweep holds exactly the samples written for it, counted from the
    // stream's first sample.
    ASSERT_EQ(f.sweeps[1].size(), 2000u);
    EXPECT_EQ(f.sweeps[1][0], qrd_test::SampleValue(0, 1000));
    ASSERT_EQ(f.sweeps[2].size(), 666u);

    for (uint32_t w = 0; w < 3; ++w) {
        const std::vector<uint16_t>& sweep = f.sweeps[w];
        for (uint32_t first : {0u, 1u, 17u, 299u, 300u, 301u, 332u, 999u}) {
            for (uint32_t count : {1u, 3u, 250u, 700u}) {
                std::vector<uint16_t> dst(2 * count + 2, kCanary);
                const uint32_t n = f.raw->ReadSweepSlice(dst.data(), 2 * count, w, first, count);
                const std::vector<uint16_t> expected = Slice(sweep, 2 * uint64_t(first), 2 * uint64_t(count));
                ASSERT_EQ(std::vector<uint16_t>(dst.begin(), dst.begin() + n), expected)
                    << "rate " << GetParam() << " sweep " << w << " first " << first << " count " << count;
                EXPECT_EQ(dst[2 * count], kCanary);
                for (uint32_t channel = 0; channel < 2; ++channel) {
                    std::vector<uint16_t> one(count + 1, kCanary);
                    const uint32_t m = f.raw->ReadSweepSliceChannel(one.data(), count, w, channel, first, count);
                    ASSERT_EQ(std::vector<uint16_t>(one.begin(), one.begin() + m),
                              qrd_test::Column(expected, channel, 2));
                    EXPECT_EQ(one[count], kCanary);
                }
            }
        }
    }
}

TEST_P(SweepReads, WholeSweepsAndChannelsOfSweeps) {
    SweptFile f;
    OpenSwept(f, GetParam());
    for (uint32_t w = 0; w < 3; ++w) {
        std::vector<uint16_t> all(4000, kCanary);
        const uint32_t n = f.raw->ReadSweep(all.data(), 4000, w);
        EXPECT_EQ(std::vector<uint16_t>(all.begin(), all.begin() + n), f.sweeps[w]);
        // A channel of a sweep holds the instants its times count (the
        // sweep's sample count), no more.
        const uint32_t length = f.raw->SweepSampleCount(w) / 2;
        for (uint32_t channel = 0; channel < 2; ++channel) {
            std::vector<uint16_t> one(length + 1, kCanary);
            const uint32_t m = f.raw->ReadSweepChannel(one.data(), length, w, channel);
            const std::vector<uint16_t> expected = Slice(qrd_test::Column(f.sweeps[w], channel, 2), 0, length);
            EXPECT_EQ(std::vector<uint16_t>(one.begin(), one.begin() + m), expected);
            EXPECT_EQ(one[length], kCanary);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, SweepReads, ::testing::Values(25000000u, 30000000u));

TEST(SweepReadLimits, ReadsOutsideASweepOrItsChannelsReturnNothing) {
    SweptFile f;
    OpenSwept(f, 25000000);
    std::vector<uint16_t> dst(5000, kCanary);
    // A slice running past the sweep's end stops there, not in the next sweep.
    EXPECT_EQ(f.raw->ReadSweepSlice(dst.data(), 5000, 0, 900, 500), 200u);
    EXPECT_EQ(f.raw->ReadSweepSlice(dst.data(), 5000, 0, 1000, 5), 0u);
    EXPECT_EQ(f.raw->ReadSweep(dst.data(), 5000, 3), 0u);
    // A column at or beyond the channel count reads no other channel.
    EXPECT_EQ(f.raw->ReadSweepChannel(dst.data(), 5000, 0, 2), 0u);
    EXPECT_EQ(f.raw->ReadSweepSliceChannel(dst.data(), 5000, 0, 7, 0, 10), 0u);
    EXPECT_EQ(f.raw->ReadSweep(nullptr, 5000, 0), 0u);
    // Sweep reads are for triggered recordings; reads by index for continuous ones.
    std::vector<uint16_t> untouched(10, kCanary);
    EXPECT_EQ(f.raw->ReadChannelRange(untouched.data(), 0, 0, 10), 0u);
    EXPECT_EQ(untouched[0], kCanary);
}

}  // namespace
}  // namespace qrd
