// The registry of open MAP files when a call is in progress: a file being
// parsed cannot be reached yet, and a close waits for the call that holds
// the file, which keeps every byte of it until it lets go.
#include "file_registry.h"
#include "last_error.h"
#include "map_file.h"
#include "map_parser.h"
#include "map_queries.h"
#include "map_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <numeric>
#include <thread>

using namespace mapshare;
using maptest::MapWriter;
using maptest::TempDir;

TEST(Threads, AFileIsReachableOnlyOnceParsedAndCloseWaitsForTheCallHoldingIt) {
    TempDir dir;
    const std::string path = dir.file("r.map");
    std::vector<int16_t> ramp(100);
    std::iota(ramp.begin(), ramp.end(), int16_t{0});
    MapWriter w;
    w.header60().continuous(1, 10.0f, "A").samples(1, 0, ramp);
    ASSERT_TRUE(w.writeTo(path));

    auto owned = std::make_unique<MapFile>(path);
    ASSERT_TRUE(owned->file().open(path));
    MapFile* parsing = owned.get();
    const uint32_t handle = registry().add(std::move(owned));
    ASSERT_NE(handle, 0u);
    // Registered but not parsed: no call finds it, no close removes it.
    clearLastError();
    EXPECT_FALSE(registry().hold(handle));
    EXPECT_FALSE(registry().remove(handle));
    EXPECT_STREQ(lastErrorText(), "file not found to remove");
    ASSERT_TRUE(parseMapFile(*parsing));
    registry().publish(handle);

    HeldMapFile call = registry().hold(handle);
    ASSERT_TRUE(call);
    std::atomic<bool> removed{false};
    std::thread closer([&] {
        EXPECT_TRUE(registry().remove(handle));
        removed = true;
    });
    // The close takes the file out of the registry first, so no new call
    // can reach it; then it waits for the call.
    while (registry().contains(handle)) std::this_thread::yield();
    // The call still reads the file, and the close has not come through.
    ASSERT_EQ(call->channelCount(), 1u);
    std::vector<double> values(100);
    double time = 0;
    uint32_t copied = 0;
    ASSERT_TRUE(readSamples(call->sampleReader(), *call->channel(0), 0, 100, values.data(), &time, &copied));
    EXPECT_EQ(copied, 100u);
    EXPECT_EQ(values[99], 99.0);
    EXPECT_FALSE(removed.load());

    call = HeldMapFile();
    closer.join();
    EXPECT_TRUE(removed.load());
    EXPECT_FALSE(registry().hold(handle));
}
