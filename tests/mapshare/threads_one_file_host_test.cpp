// Many host threads on one open MAP file with a cache budget far smaller than
// the recording (MAPSHARE_CACHE_MB=1, set before the library is loaded): the
// same and different channels read at once, mixed with every other call and
// with index/time lookups, pieces given up while other threads read, and the
// file closed under the threads.  Every answer equals the one-thread answer.
#include "long_recording.h"

#include "../common/thread_stress.h"

#include "platform/environment.h"

#include <cstdio>

using namespace maptest;

namespace {

// The budget is read once, when the library is first used; this runs before
// any test loads it.
const bool kSmallBudget = nsplatform::SetEnvironmentText("MAPSHARE_CACHE_MB", "1");

}  // namespace

TEST(Threads, EightThreadsOnOneFileWithASmallCacheBudgetAnswerAsOneThread) {
    ASSERT_TRUE(kSmallBudget);
    TempDir dir;
    // 2800 rounds make some 8 MB, 130 pieces of the 64 KiB that a 1 MB budget gives.
    const std::string path = writeLongRecording(dir, "long.map", 2800);
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
