// qrdshare called from many threads: every export at once on shared and
// separate files while files are opened and closed; opens racing for slots;
// a close while a call is in progress; index cache files written by several
// opens at once.
#include "api/entry_points.h"
#include "api/registry.h"
#include "container/binary_file.h"
#include "container/stream_file.h"
#include "entities_test_recordings.h"
#include "samples_test_recordings.h"

#include "../common/thread_stress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>
#include <vector>

namespace qrd {
namespace {

using namespace qrd_test;

// Every entity kind of the library: four electrodes and a digital channel
// (analog entities and 16 bit-event entities), a trigger stream and spikes
// of two channels.
RecordingSpec MixedRecording() {
    RecordingSpec desc = ElectrodeAndDigital(4);
    AddTriggerEvents(desc, TriggerStream(3, true), {{1 * kMs, 0x0101}, {30 * kMs, 0x0202}, {60 * kMs, 0x0303}});
    const StreamSpec spikes = SpikeStream({0, 1}, {0, 0});
    std::vector<Spike> list;
    for (uint16_t k = 0; k < 24; ++k)
        list.push_back({(2 + 3 * k) * kMs, static_cast<uint16_t>(k % 2), static_cast<uint16_t>(k % 3),
                        std::vector<uint16_t>(3 + k % 4, static_cast<uint16_t>(32768 + 10 * k))});
    AddSpikes(desc, spikes, list);
    InterleaveChunks(desc);
    return desc;
}

TEST(Threads, EightHostThreadsMixEveryCallOnSharedAndSeparateFiles) {
    FreshQrdshare lib;
    ASSERT_TRUE(lib->ok()) << lib->error();
    TempDir dir;
    const RecordingSpec desc = MixedRecording();
    nsstress::StressFiles files;
    files.shared = WriteRecordingTo(dir, "shared.qrd", desc);
    files.separate = {WriteRecordingTo(dir, "own1.qrd", desc), WriteRecordingTo(dir, "own2.qrd", desc)};
    files.churn = WriteRecordingTo(dir, "churn.qrd", desc);
    files.refused = dir.Write("refused.qrd", "QRVSTRM but nothing after it");

    const nsstress::StressReport report = nsstress::RunStress(*lib, files, 120);
    std::printf("%zu probes, %llu calls, %llu reads found the churned file closed\n", report.probes,
                static_cast<unsigned long long>(report.calls), static_cast<unsigned long long>(report.closedAnswers));
    EXPECT_EQ(report.mismatches, 0u) << report.firstMismatch;
    // Every entity kind was probed: 25 entities with their info and data calls.
    EXPECT_GT(report.probes, 250u);
    // Every file was closed again: the lowest identifier is free.
    uint32_t id = 0;
    ASSERT_EQ(lib->OpenFile(files.shared.c_str(), &id), ns_OK);
    EXPECT_EQ(id, 1u);
    EXPECT_EQ(lib->CloseFile(id), ns_OK);
}

TEST(Threads, OpensRacingForTheLastSlotsTakeEachSlotOnce) {
    FreshQrdshare lib;
    ASSERT_TRUE(lib->ok()) << lib->error();
    TempDir dir;
    const std::string path = WriteRecordingTo(dir, "r.qrd", ElectrodeAndDigital(1, 100));
    const std::string refused = dir.Write("refused.qrd", "not a recording");

    // 8 threads x 40 opens for 256 slots, with refused opens in between.
    constexpr int kThreads = 8, kOpens = 40;
    std::vector<std::vector<uint32_t>> ids(kThreads);
    std::atomic<int> full{0}, wrong{0};
    nsstress::StartLine start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            start.Arrive();
            for (int k = 0; k < kOpens; ++k) {
                uint32_t id = 99;
                if (k % 5 == 0) {
                    // Refused for what it is, or for want of a free slot.
                    const ns_RESULT r = lib->OpenFile(refused.c_str(), &id);
                    if ((r != ns_TYPEERROR && r != ns_FILEERROR) || id != 0) ++wrong;
                }
                const ns_RESULT r = lib->OpenFile(path.c_str(), &id);
                if (r == ns_OK) {
                    ids[static_cast<size_t>(t)].push_back(id);
                } else if (r == ns_FILEERROR && id == 0) {
                    ++full;
                } else {
                    ++wrong;
                }
            }
        });
    for (std::thread& t : threads) t.join();

    std::set<uint32_t> taken;
    for (const auto& list : ids) taken.insert(list.begin(), list.end());
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(full.load(), kThreads * kOpens - 256);
    ASSERT_EQ(taken.size(), 256u);
    EXPECT_EQ(*taken.begin(), 1u);
    EXPECT_EQ(*taken.rbegin(), 256u);

    // Closing from many threads at once frees every slot exactly once.
    std::atomic<int> closed{0}, refusedCloses{0};
    threads.clear();
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (uint32_t id = 1; id <= 256; ++id) {
                if ((id + static_cast<uint32_t>(t)) % 2 != 0) continue;  // every id by four threads
                (lib->CloseFile(id) == ns_OK ? closed : refusedCloses)++;
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(closed.load(), 256);
    EXPECT_EQ(refusedCloses.load(), 256 * 3);
    uint32_t id = 0;
    ASSERT_EQ(lib->OpenFile(path.c_str(), &id), ns_OK);
    EXPECT_EQ(id, 1u);
    EXPECT_EQ(lib->CloseFile(id), ns_OK);
}

// A call in progress is played by a HeldFile, which is what every export
// holds while it works on a file.
TEST(Threads, CloseWaitsForACallInProgressWhichNeverSeesTheNextFileInItsSlot) {
    TempDir dir;
    const std::string first = WriteRecordingTo(dir, "first.qrd", ElectrodeAndDigital(3));
    const std::string second = WriteRecordingTo(dir, "second.qrd", ElectrodeAndDigital(1));
    CQRD registry;
    uint32_t id = 0;
    ASSERT_EQ(registry.OpenFile(first.c_str(), &id), ns_OK);
    ASSERT_EQ(id, 1u);

    HeldFile call = registry.Hold(id);
    ASSERT_TRUE(call);
    const size_t firstEntities = call.Entities().Count();

    std::atomic<bool> closeReturned{false};
    ns_RESULT closeResult = ns_LIBERROR;
    std::thread closer([&] {
        closeResult = registry.CloseFile(id);
        closeReturned = true;
    });
    // The slot is emptied before the close waits for the file ...
    while (registry.IsOpen(id)) std::this_thread::yield();
    // ... so another file can take identifier 1 at once, while the call on
    // the first file goes on with that file's data.
    uint32_t next = 0;
    ASSERT_EQ(entry::OpenFile(registry, second.c_str(), &next), ns_OK);
    EXPECT_EQ(next, 1u);
    std::vector<double> samples(100);
    uint32_t count = 0;
    EXPECT_EQ(entry::GetAnalogData(registry, next, 0, 0, 100, &count, samples.data()), ns_OK);
    EXPECT_EQ(call.Entities().Count(), firstEntities);
    EXPECT_NE(registry.Hold(next).Entities().Count(), firstEntities);
    EXPECT_EQ(call.File().GetPath(), first);
    // The close cannot finish while the call holds the file.
    EXPECT_FALSE(closeReturned.load());

    { HeldFile done = std::move(call); }
    closer.join();
    EXPECT_EQ(closeResult, ns_OK);
    EXPECT_EQ(entry::CloseFile(registry, next), ns_OK);
    EXPECT_FALSE(registry.Hold(next));
}

// ---- many threads on one open file ----------------------------------------------

void ExpectCleanOneFileRun(const nsstress::OneFileReport& report) {
    std::printf("%zu probes, %llu calls, %llu after the close, %llu found the file closed\n", report.probes,
                static_cast<unsigned long long>(report.calls), static_cast<unsigned long long>(report.callsAfterClose),
                static_cast<unsigned long long>(report.closedAnswers));
    EXPECT_EQ(report.mismatches, 0u) << report.firstMismatch;
    EXPECT_GT(report.callsAfterClose, 0u);
    EXPECT_GT(report.closedAnswers, 0u);
}

// Every kind of entity (events, spikes read out of order through the record
// block and payload caches, analog windows) read by eight threads at once.
TEST(Threads, EightThreadsOnOneFileAnswerAsOneThreadWithEveryEntityKind) {
    FreshQrdshare lib;
    ASSERT_TRUE(lib->ok()) << lib->error();
    TempDir dir;
    const std::string path = WriteRecordingTo(dir, "mixed.qrd", MixedRecording());
    ExpectCleanOneFileRun(nsstress::RunOneFileStress(*lib, path, 8, 400, 4, 500));
}

// 16 channels over 20 s (16 MB of samples, spans of about 4 MB) with room
// for two decoded spans: threads reading different channels at different
// places make the span cache give entries up while others read from them.
TEST(Threads, EightThreadsOnOneFileWithASmallCacheBudgetAnswerAsOneThread) {
    FreshQrdshare lib("[Settings]\nCacheSizeMB=9\n");
    ASSERT_TRUE(lib->ok()) << lib->error();
    TempDir dir;
    const uint32_t rate = 25000, seconds = 20;
    const std::string path = WriteSpecTo(
        dir, "long.qrd", ContinuousRecording(rate, 16, 100 * kMs, {{SamplesStart(), uint64_t{rate} * seconds}}));
    ASSERT_FALSE(path.empty());
    ExpectCleanOneFileRun(nsstress::RunOneFileStress(*lib, path, 8, 60, 8, 4096));
}

// ---- index cache files --------------------------------------------------------

std::string ReadWhole(const std::string& path, bool* present) {
    std::ifstream in(path, std::ios::binary);
    *present = static_cast<bool>(in);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Threads, OpensWritingTheSameIndexCacheNeverLeaveATornFile) {
    TempDir dir;
    const uint64_t s = SamplesStart();
    // Many sweeps make a cache file of several pages.
    std::vector<SampleSpan> sweeps;
    for (uint64_t w = 0; w < 600; ++w) sweeps.push_back({s + w * 20 * kMs, 50});
    const std::string path = WriteSpecTo(dir, "rec.qrd", qrd_test::SweepRecording(25000000, 1, 10 * kMs, sweeps));
    ASSERT_FALSE(path.empty());
    const std::string cacheDir = dir.path() + "/cache/";
    std::filesystem::create_directory(cacheDir);
    const std::string cachePath = cacheDir + "qrvidx" + std::to_string(s);

    // The complete cache, as one open writes it.
    {
        CQRVAStreamFile file;
        file.SetCacheDirectory(cacheDir);
        ASSERT_EQ(file.Open(path.c_str()), 0);
        ASSERT_EQ(file.BuildIndex(), 600);
    }
    bool present = false;
    const std::string complete = ReadWhole(cachePath, &present);
    ASSERT_TRUE(present);
    ASSERT_GT(complete.size(), 600u * 16);

    // Writers remove the cache and scan again, so that it is written over
    // and over; a reader looks at it all the while.
    constexpr int kWriters = 4, kOpens = 25;
    std::atomic<int> writersDone{0}, badSweeps{0}, torn{0}, reads{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kWriters; ++t)
        threads.emplace_back([&] {
            for (int k = 0; k < kOpens; ++k) {
                if (k % 2 == 0) std::remove(cachePath.c_str());
                CQRVAStreamFile file;
                file.SetCacheDirectory(cacheDir);
                if (file.Open(path.c_str()) != 0 || file.BuildIndex() != 600) ++badSweeps;
            }
            ++writersDone;
        });
    threads.emplace_back([&] {
        while (writersDone.load() < kWriters) {
            bool found = false;
            const std::string seen = ReadWhole(cachePath, &found);
            ++reads;
            if (found && seen != complete) ++torn;
        }
    });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(badSweeps.load(), 0);
    EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
    // No temporary file is left behind.
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(cacheDir)) names.push_back(e.path().filename().string());
    EXPECT_LE(names.size(), 1u);
    for (const std::string& name : names) EXPECT_EQ(name, "qrvidx" + std::to_string(s));
}

}  // namespace
}  // namespace qrd
