// nsdump as a scientist uses it: the entity list with each entity's info
// record, and one entity's items as CSV (by index window or by time).
#include "entities_test_recordings.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace qrd {
namespace {

using namespace qrd_test;

std::string NsdumpPath() {
    const std::filesystem::path lib(QrdshareLibraryPath());
    return (lib.parent_path().parent_path().parent_path() / "bin" / "nsdump").string();
}

struct NsdumpRun {
    int status = -1;
    std::string out;  // standard output only
};

NsdumpRun Nsdump(const std::string& args) {
    NsdumpRun r;
    FILE* pipe = popen((NsdumpPath() + " " + args + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return r;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
    const int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class NsdumpTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(NsdumpPath())) GTEST_SKIP() << "nsdump not built at " << NsdumpPath();
        RecordingSpec desc = ElectrodeAndDigital(2);
        AddTriggerEvents(desc, TriggerStream(3, true), {{1 * kMs, 0x0101}, {60 * kMs, 0x0202}});
        const StreamSpec spikes = SpikeStream({0}, {0});
        AddSpikes(desc, spikes, {{2 * kMs, 0, 1, {32768, 32778}}});
        InterleaveChunks(desc);
        path_ = "'" + WriteRecordingTo(dir_, "mixed.qrd", desc) + "'";
    }
    TempDir dir_;
    std::string path_;
};

TEST_F(NsdumpTest, ListsEveryEntityWithTheInfoOfItsType) {
    const NsdumpRun r = Nsdump(path_);
    ASSERT_EQ(r.status, 0) << r.out;
    for (const char* expected :
         {"entities     21", "entity     0  analog        2500 items  elec0001 0001 0000       E1",
          "25000 Hz, -0.0032768 to 0.0032768 V, resolution 1e-07 V", "entity     3  event          249 items",
          "byte, 1 to 1 bytes", "65536 raw", "entity    19  event            2 items  trig0001 0000 0000 trig0001",
          "word, 4 to 4 bytes", "entity    20  segment          1 items  spks0001 0001 0000",
          "2 to 2 samples, 1 source(s), units V",
          "source 0: "}) {
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
    }
}

TEST_F(NsdumpTest, ExportsAnAnalogWindowAsCsv) {
    const NsdumpRun r = Nsdump("--entity 1 --start 100 --count 3 " + path_);
    ASSERT_EQ(r.status, 0) << r.out;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    EXPECT_EQ(lines[0], "index,time_s,value");
    char expected[96];
    std::snprintf(expected, sizeof expected, "101,%.9f,%.10g", 101 * kPeriod25k,
                  (static_cast<int32_t>(ElectrodeSample(1, 101)) - 32768) * 1.0e-7);
    EXPECT_EQ(lines[2], expected);

    // By time: the samples from 1 ms to 1.09 ms are 25, 26 and 27.
    const NsdumpRun byTime = Nsdump("--entity 1 --from 0.001 --to 0.00109 " + path_);
    const auto timed = Lines(byTime.out);
    ASSERT_EQ(timed.size(), 4u) << byTime.out;
    EXPECT_EQ(timed[1].substr(0, 3), "25,");
    EXPECT_EQ(timed[3].substr(0, 3), "27,");
}

TEST_F(NsdumpTest, ExportsEventsAndSegmentsAsCsv) {
    const NsdumpRun trig = Nsdump("--entity 19 " + path_);
    ASSERT_EQ(trig.status, 0) << trig.out;
    EXPECT_EQ(trig.out, "index,time_s,value\n0,0.001000000,3 257\n1,0.060000000,3 514\n");
    const NsdumpRun edges = Nsdump("--entity 3 --count 2 " + path_);
    EXPECT_EQ(edges.out, "index,time_s,value\n0,0.000400000,1\n1,0.000800000,255\n");
    const NsdumpRun spike = Nsdump("--entity 20 " + path_);
    EXPECT_EQ(spike.out, "index,time_s,unit,sample_count,samples\n0,0.002000000,1,2,0,2e-06\n");
}

TEST_F(NsdumpTest, EntitiesAndTimeRangesWithoutItemsGiveTheHeaderAlone) {
    // Bit 1 of the digital channel never changes: an entity without items.
    const NsdumpRun bit = Nsdump("--entity 4 --from 0 --to 0.5 " + path_);
    EXPECT_EQ(bit.status, 0);
    EXPECT_EQ(bit.out, "index,time_s,value\n");
    EXPECT_EQ(Nsdump("--entity 4 " + path_).out, "index,time_s,value\n");
    // Trigger events at 1 ms and 60 ms: none between 2 and 50 ms, none
    // before 0.5 ms, none after 70 ms.
    for (const char* window : {"--from 0.002 --to 0.05", "--to 0.0005", "--from 0.07", "--from 0.05 --to 0.002"}) {
        const NsdumpRun r = Nsdump("--entity 19 " + std::string(window) + " " + path_);
        EXPECT_EQ(r.status, 0) << window;
        EXPECT_EQ(r.out, "index,time_s,value\n") << window;
    }
    // Samples past the end of the recording.
    const NsdumpRun late = Nsdump("--entity 1 --from 5 " + path_);
    EXPECT_EQ(late.status, 0);
    EXPECT_EQ(late.out, "index,time_s,value\n");
    // A window around one event finds exactly that one.
    EXPECT_EQ(Nsdump("--entity 19 --from 0.0005 --to 0.002 " + path_).out, "index,time_s,value\n0,0.001000000,3 257\n");
}

TEST_F(NsdumpTest, FailuresAreReportedAndLeaveNoCsv) {
    EXPECT_EQ(Nsdump("--entity 99 " + path_).status, 1);
    EXPECT_EQ(Nsdump("--entity 1 --start 2600 " + path_).status, 1);
    EXPECT_EQ(Nsdump("--start 3 " + path_).status, 2);  // a window without an entity
    EXPECT_EQ(Nsdump("--entity x " + path_).status, 2);
}

}  // namespace
}  // namespace qrd
