// Many host threads on one open MAP file with a cache budget far smaller than
// the recording (MAPSHARE_CACHE_MB=1, set before the library is loaded): the
// same and different channels read at once, mixed with every other call and
// with index/time lookups, pieces given up while other threads read, and the
// file closed under the threads.  Every answer equals the one-thread answer.
#include "map_host.h"
#include "map_writer.h"

#include "../common/thread_stress.h"

#include "platform/environment.h"

#include <cstdio>

using namespace maptest;

namespace {

// The budget is read once, when the library is first used; this runs before
// any test loads it.
const bool kSmallBudget = nsplatform::SetEnvironmentText("MAPSHARE_CACHE_MB", "1");

int16_t valueAt(uint16_t channel, uint64_t tick) { return static_cast<int16_t>(tick * 3 + channel * 1031); }

// Eight continuous channels at 20 kHz in blocks of 100 to 250 samples and a
// Level channel with a spike every round: about 3 KB a round, so `rounds`
// 2800 make some 8 MB, 130 pieces of the 64 KiB that a 1 MB budget gives.
std::string writeRecording(const TempDir& dir, uint32_t rounds) {
    constexpr uint16_t kChannels = 8;
    MapWriter w;
    w.header60();
    for (uint16_t c = 1; c <= kChannels; ++c) w.continuous(c, 20.0f, "A" + std::to_string(c));
    w.analog(AnalogMode::Level, 20, 20.0f, "Spikes");
    std::vector<uint64_t> tick(kChannels + 1, 0);
    for (uint32_t b = 0; b < rounds; ++b) {
        for (uint16_t c = 1; c <= kChannels; ++c) {
            std::vector<int16_t> samples(100 + (b * 29 + c * 13) % 151);
            for (size_t i = 0; i < samples.size(); ++i) samples[i] = valueAt(c, tick[c] + i);
            w.samples(c, static_cast<uint32_t>(tick[c]), samples);
            tick[c] += samples.size();
        }
        std::vector<int16_t> spike(24);
        for (size_t i = 0; i < spike.size(); ++i) spike[i] = valueAt(20, b + i);
        w.samples(20, 200 * b + 40, spike);
    }
    const std::string path = dir.file("long.map");
    EXPECT_TRUE(w.writeTo(path));
    return path;
}

}  // namespace

TEST(Threads, EightThreadsOnOneFileWithASmallCacheBudgetAnswerAsOneThread) {
    ASSERT_TRUE(kSmallBudget);
    TempDir dir;
    const std::string path = writeRecording(dir, 2800);
    const nsstress::OneFileReport report = nsstress::RunOneFileStress(mapLib(), path, 8, 150, 12, 6000);
    std::printf("%zu probes, %llu calls, %llu after the close, %llu found the file closed\n", report.probes,
                static_cast<unsigned long long>(report.calls), static_cast<unsigned long long>(report.callsAfterClose),
                static_cast<unsigned long long>(report.closedAnswers));
    EXPECT_EQ(report.mismatches, 0u) << report.firstMismatch;
    EXPECT_GT(report.callsAfterClose, 0u);
    EXPECT_GT(report.closedAnswers, 0u);
    EXPECT_GT(report.probes, 150u);
}

TEST(Threads, EightThreadsOnOneSampleFileAnswerAsOneThread) {
    TempDir dir;
    const std::string path = writeSampleRecording(dir.path());
    const nsstress::OneFileReport report = nsstress::RunOneFileStress(mapLib(), path, 8, 400, 4, 500);
    EXPECT_EQ(report.mismatches, 0u) << report.firstMismatch;
    EXPECT_GT(report.callsAfterClose, 0u);
}
