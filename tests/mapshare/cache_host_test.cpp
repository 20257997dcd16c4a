// Reading through the exports with a cache budget far smaller than the
// recordings (MAPSHARE_CACHE_MB=1, set before the library is loaded): every
// value read equals what was written, whatever the order, with several files
// open on the one budget, and after closing and opening again.
#include "long_recording.h"

#include "platform/environment.h"

using namespace maptest;

namespace {

// The budget is read once, when the library is first used; this runs before
// any test loads it.
const bool kSmallBudget = nsplatform::SetEnvironmentText("MAPSHARE_CACHE_MB", "1");

constexpr uint16_t kChannels = kLongChannels;
constexpr uint32_t kWindow = 2000;

// Reads count samples of entity from first on and checks every value.
void expectWindow(uint32_t file, uint32_t entity, uint32_t first, uint32_t count, uint32_t items) {
    std::vector<double> data(count);
    uint32_t got = 0;
    ASSERT_EQ(mapLib().GetAnalogData(file, entity, first, count, &got, data.data()), ns_OK) << mapLib().lastError();
    ASSERT_EQ(got, std::min(count, items - first));
    const auto channel = static_cast<uint16_t>(entity + 1);
    for (uint32_t i = 0; i < got; ++i)
        ASSERT_EQ(data[i], longValueAt(channel, uint64_t{first} + i)) << "entity " << entity << " sample " << first + i;
}

}  // namespace

TEST(SmallCacheBudget, EveryOrderReadsWhatWasWrittenWithFilesSharingTheBudget) {
    ASSERT_TRUE(kSmallBudget);
    TempDir dir;
    // More than 16 MiB: its block tables live in large pages.
    const std::string first = writeLongRecording(dir, "first.map", 6000);
    const std::string second = writeLongRecording(dir, "second.map", 2000);
    OpenRecording a(first), b(second), c(first);
    ASSERT_EQ(a.result(), ns_OK);
    ASSERT_EQ(b.result(), ns_OK);
    ASSERT_EQ(c.result(), ns_OK);
    const uint32_t itemsA = a.entity(0).dwItemCount;
    const uint32_t itemsB = b.entity(0).dwItemCount;

    // File a window after window, file b channel after channel, file c one
    // call per channel, taking turns.
    uint32_t windowA = 0, channelB = 0, firstB = 0;
    uint16_t channelC = 0;
    while (windowA < itemsA || channelB < kChannels || channelC < kChannels) {
        for (uint32_t e = 0; e < kChannels && windowA < itemsA; ++e)
            expectWindow(a.handle(), e, windowA, kWindow, a.entity(e).dwItemCount);
        windowA += kWindow;
        for (int step = 0; step < 3 && channelB < kChannels; ++step) {
            const uint32_t items = b.entity(channelB).dwItemCount;
            expectWindow(b.handle(), channelB, firstB, kWindow, items);
            firstB += kWindow;
            if (firstB >= items) {
                ++channelB;
                firstB = 0;
            }
        }
        if (windowA % (8 * kWindow) == 0 && channelC < kChannels) {
            expectWindow(c.handle(), channelC, 0, c.entity(channelC).dwItemCount, c.entity(channelC).dwItemCount);
            ++channelC;
        }
    }
    EXPECT_GT(itemsB, 0u);

    // Spikes, last to first.
    const uint32_t spikes = a.find("Spikes");
    ASSERT_NE(spikes, UINT32_MAX);
    std::vector<double> shape(24);
    for (uint32_t k = a.entity(spikes).dwItemCount; k-- > 0;) {
        double time = 0;
        uint32_t count = 0, unit = 0;
        ASSERT_EQ(mapLib().GetSegmentData(a.handle(), spikes, static_cast<int32_t>(k), &time, shape.data(),
                                          static_cast<uint32_t>(shape.size() * sizeof(double)), &count, &unit),
                  ns_OK);
        ASSERT_EQ(count, 24u);
        ASSERT_EQ(shape[23], longValueAt(20, k + 23)) << "spike " << k;
    }
}

TEST(SmallCacheBudget, AFileClosedAndOpenedAgainReadsTheSame) {
    TempDir dir;
    const std::string path = writeLongRecording(dir, "again.map", 1500);
    for (int round = 0; round < 3; ++round) {
        OpenRecording rec(path);
        ASSERT_EQ(rec.result(), ns_OK);
        // Windows out of order, near the end first.
        const uint32_t items = rec.entity(3).dwItemCount;
        for (uint32_t w = items / kWindow + 1; w-- > 0;) {
            for (uint32_t e = 0; e < kChannels; ++e) {
                const uint32_t n = rec.entity(e).dwItemCount;
                const uint32_t start = std::min(w * kWindow, n - 1);
                expectWindow(rec.handle(), e, start, kWindow, n);
            }
        }
    }
}
