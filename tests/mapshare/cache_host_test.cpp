// Reading through the exports with a cache budget far smaller than the
// recordings (MAPSHARE_CACHE_MB=1, set before the library is loaded): every
// value read equals what was written, whatever the order, with several files
// open on the one budget, and after closing and opening again.
#include "map_host.h"
#include "map_writer.h"

#include "platform/environment.h"

using namespace maptest;

namespace {

// The budget is read once, when the library is first used; this runs before
// any test loads it.
const bool kSmallBudget = nsplatform::SetEnvironmentText("MAPSHARE_CACHE_MB", "1");

constexpr uint16_t kChannels = 8;
constexpr uint32_t kWindow = 2000;

int16_t valueAt(uint16_t channel, uint64_t tick) { return static_cast<int16_t>(tick * 5 + channel * 4099); }

// Eight continuous channels at 20 kHz in blocks of 100 to 250 samples, and
// a Level channel with a spike every round: about 3 KB a round.
std::string writeRecording(const TempDir& dir, const std::string& name, uint32_t rounds) {
    MapWriter w;
    w.header60();
    for (uint16_t c = 1; c <= kChannels; ++c) w.continuous(c, 20.0f, "A" + std::to_string(c));
    w.analog(AnalogMode::Level, 20, 20.0f, "Spikes");
    std::vector<uint64_t> tick(kChannels + 1, 0);
    for (uint32_t b = 0; b < rounds; ++b) {
        for (uint16_t c = 1; c <= kChannels; ++c) {
            std::vector<int16_t> samples(100 + (b * 31 + c * 17) % 151);
            for (size_t i = 0; i < samples.size(); ++i) samples[i] = valueAt(c, tick[c] + i);
            w.samples(c, static_cast<uint32_t>(tick[c]), samples);
            tick[c] += samples.size();
        }
        std::vector<int16_t> spike(24);
        for (size_t i = 0; i < spike.size(); ++i) spike[i] = valueAt(20, b + i);
        w.samples(20, 200 * b + 40, spike);
    }
    const std::string path = dir.file(name);
    EXPECT_TRUE(w.writeTo(path));
    return path;
}

// Reads count samples of entity from first on and checks every value.
void expectWindow(uint32_t file, uint32_t entity, uint32_t first, uint32_t count, uint32_t items) {
    std::vector<double> data(count);
    uint32_t got = 0;
    ASSERT_EQ(mapLib().GetAnalogData(file, entity, first, count, &got, data.data()), ns_OK) << mapLib().lastError();
    ASSERT_EQ(got, std::min(count, items - first));
    const auto channel = static_cast<uint16_t>(entity + 1);
    for (uint32_t i = 0; i < got; ++i)
        ASSERT_EQ(data[i], valueAt(channel, uint64_t{first} + i)) << "entity " << entity << " sample " << first + i;
}

}  // namespace

TEST(SmallCacheBudget, EveryOrderReadsWhatWasWrittenWithFilesSharingTheBudget) {
    ASSERT_TRUE(kSmallBudget);
    TempDir dir;
    // More than 16 MiB: its block tables live in large pages.
    const std::string first = writeRecording(dir, "first.map", 6000);
    const std::string second = writeRecording(dir, "second.map", 2000);
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
        ASSERT_EQ(shape[23], valueAt(20, k + 23)) << "spike " << k;
    }
}

TEST(SmallCacheBudget, AFileClosedAndOpenedAgainReadsTheSame) {
    TempDir dir;
    const std::string path = writeRecording(dir, "again.map", 1500);
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
