// mapshare called from many threads through the exports: every call at once
// on shared and separate files while files are opened, refused and closed,
// and the last-error text of each thread kept apart from the others'.
#include "map_host.h"
#include "map_writer.h"

#include "../common/thread_stress.h"

#include <cstdio>
#include <filesystem>
#include <future>
#include <thread>

using namespace maptest;

namespace {

// Each recording in a folder of its own, next to its defaults file.
std::string sampleIn(const TempDir& dir, const std::string& name) {
    const std::string folder = dir.file(name);
    EXPECT_TRUE(std::filesystem::create_directory(folder));
    return writeSampleRecording(folder);
}

}  // namespace

TEST(Threads, EightHostThreadsMixEveryCallOnSharedAndSeparateFiles) {
    TempDir dir;
    nsstress::StressFiles files;
    files.shared = sampleIn(dir, "shared");
    files.separate = {sampleIn(dir, "own1"), sampleIn(dir, "own2")};
    files.churn = sampleIn(dir, "churn");
    // A MAP file that is parsed and refused: its reserved slot is given back.
    files.refused = dir.file("refused.map");
    MapWriter w;
    w.header60().continuous(1, 10.0f, "A").record(40, '5', {1, 2, 3});
    ASSERT_TRUE(w.writeTo(files.refused));
    uint32_t handle = 0;
    ASSERT_EQ(mapLib().OpenFile(files.refused.c_str(), &handle), ns_FILEERROR);

    const nsstress::StressReport report = nsstress::RunStress(mapLib(), files, 120);
    std::printf("%zu probes, %llu calls, %llu reads found the churned file closed\n", report.probes,
                static_cast<unsigned long long>(report.calls), static_cast<unsigned long long>(report.closedAnswers));
    EXPECT_EQ(report.mismatches, 0u) << report.firstMismatch;
    // Every entity kind of the sample was probed.
    EXPECT_GT(report.probes, 100u);

    // Nothing is left open: all 256 slots can be filled again.
    std::vector<uint32_t> handles;
    for (int k = 0; k < 256; ++k) {
        ASSERT_EQ(mapLib().OpenFile(files.shared.c_str(), &handle), ns_OK) << k << ": " << mapLib().lastError();
        handles.push_back(handle);
    }
    for (uint32_t h : handles) EXPECT_EQ(mapLib().CloseFile(h), ns_OK);
}

TEST(Threads, EachThreadReadsTheLastErrorTextOfItsOwnCalls) {
    TempDir dir;
    OpenRecording rec(sampleIn(dir, "rec"));
    ASSERT_EQ(rec.result(), ns_OK);
    const uint32_t file = rec.handle();
    const std::string missing = dir.file("missing.map");
    ASSERT_EQ(mapLib().GetFileInfo(file, nullptr, 0), ns_LIBERROR);  // this thread's text is set...
    mapLib().lastError();                                             // ... and read again

    // The steps run strictly one after the other, each thread waiting for
    // the step before it.
    std::promise<void> aFailed, bDone, aRead;
    std::string aText, bTextAfterSuccess, bTextAfterFailure;
    std::thread a([&] {
        double time = 0;
        EXPECT_EQ(mapLib().GetTimeByIndex(file, 9999, 0, &time), ns_BADENTITY);
        aFailed.set_value();
        bDone.get_future().wait();
        aText = mapLib().lastError();
        aRead.set_value();
    });
    std::thread b([&] {
        aFailed.get_future().wait();
        uint32_t handle = 0;
        // A failure of its own, then a success that empties only its text.
        EXPECT_EQ(mapLib().OpenFile(missing.c_str(), &handle), ns_FILEERROR);
        ns_FILEINFO info{};
        EXPECT_EQ(mapLib().GetFileInfo(file, &info, sizeof info), ns_OK);
        bTextAfterSuccess = mapLib().lastError();
        EXPECT_EQ(mapLib().OpenFile(missing.c_str(), &handle), ns_FILEERROR);
        bDone.set_value();
        aRead.get_future().wait();
        bTextAfterFailure = mapLib().lastError();
    });
    a.join();
    b.join();
    EXPECT_EQ(aText, "Invalid or inappropriate entity identifier specified");
    EXPECT_EQ(bTextAfterSuccess, "");
    EXPECT_EQ(bTextAfterFailure, "file not found");
    // The main thread's text was read before and is untouched by the others.
    EXPECT_EQ(mapLib().lastError(), "");
}
