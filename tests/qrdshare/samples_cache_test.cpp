// Analog reads through the span cache give exactly what reads straight from
// the file give, in every reading order, with any budget, and on recordings
// with odd chunks or a file cut short after it was opened; and the cache
// keeps to its budget and decodes nothing for a host that reads one channel.
//
// Each case opens the same recording in two registries: one with the cache
// off (the reads straight from the file are the reference) and one with a
// budget.  Small spans make a small recording hold many of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

#include "api/entry_points.h"
#include "api/library_settings.h"
#include "api/registry.h"
#include "common/cache_budget.h"
#include "container/recording_writer.h"
#include "container/binary_file.h"
#include "container/payload_cache.h"
#include "container/sample_kernels.h"
#include "container/span_cache.h"
#include "container/stream_file.h"
#include "samples_test_recordings.h"
#include "support/temp_dir.h"

namespace {

using namespace qrd_test;
namespace entry = qrd::entry;

constexpr uint32_t kRate = 25000000;
constexpr uint64_t kChunkNs = 10000000;  // 250 instants
constexpr uint32_t kChannels = 6;
constexpr uint64_t kInstants = 25000;    // 1 s, 100 chunks
constexpr uint64_t kSpanBytes = 4 * 250 * kChannels * 2;  // four chunks
constexpr uint64_t kMiB = 1024 * 1024;

// A continuous recording with a six-channel electrode stream and a digital
// stream, their chunks interleaved.  `adjust` may change the chunks.
std::string WriteRecording(const TempDir& dir, const std::string& name,
                           const std::function<void(qrd::RecordingSpec&)>& adjust = nullptr) {
    qrd::RecordingSpec desc = ContinuousRecording(kRate, kChannels, kChunkNs, {{SamplesStart(), kInstants}});
    qrd::ContinuousStreamOptions digital = RawOptions(kRate, 1, kChunkNs, {{SamplesStart(), kInstants}});
    digital.id = 2;
    qrd::AddDigitalStream(desc, digital, [](uint64_t i) { return static_cast<uint16_t>(i * 3); });
    qrd::InterleaveChunks(desc);
    if (adjust) adjust(desc);
    return WriteSpecTo(dir, name, desc);
}

// One open recording in a registry of its own with the given budget.
class Opened {
public:
    Opened(const std::string& path, uint64_t budget) : registry_(Settings(budget)) {
        EXPECT_EQ(registry_.OpenFile(path.c_str(), &id_), ns_OK);
        if (id_ != 0) registry_.Hold(id_).File().GetSpanCache().SetSpanBytes(kSpanBytes);
    }
    std::vector<uint32_t> AnalogEntities() {
        std::vector<uint32_t> out;
        for (uint32_t e = 0; e < static_cast<uint32_t>(registry_.Hold(id_).Entities().Count()); ++e) {
            ns_ENTITYINFO info;
            entry::GetEntityInfo(registry_, id_, e, &info, sizeof info);
            if (info.dwEntityType == ns_ENTITY_ANALOG) out.push_back(e);
        }
        return out;
    }
    std::vector<double> Read(uint32_t entity, uint32_t first, uint32_t count, ns_RESULT* result = nullptr) {
        std::vector<double> out(count, -12345.0);
        uint32_t cont = 0;
        const ns_RESULT r = entry::GetAnalogData(registry_, id_, entity, first, count, &cont, out.data());
        if (result) *result = r;
        return out;
    }
    uint32_t EntityCount() { return static_cast<uint32_t>(registry_.Hold(id_).Entities().Count()); }
    struct Segment {
        ns_RESULT result;
        uint32_t count = 0, unit = 0;
        double time = 0;
        std::vector<double> data;
    };
    Segment ReadSegment(uint32_t entity, uint32_t index, uint32_t room) {
        Segment s;
        s.data.assign(room, -12345.0);
        s.result = entry::GetSegmentData(registry_, id_, entity, static_cast<int32_t>(index), &s.time, s.data.data(),
                                         room * sizeof(double), &s.count, &s.unit);
        return s;
    }
    bool Info(uint32_t entity, ns_ENTITYINFO& info) {
        return entry::GetEntityInfo(registry_, id_, entity, &info, sizeof info) == ns_OK;
    }
    qrd::SpanCache& Cache() { return registry_.Hold(id_).File().GetSpanCache(); }
    nscommon::CacheBudget& Budget() { return registry_.CacheBudget(); }
    void Reopen(const std::string& path) {
        registry_.CloseFile(id_);
        EXPECT_EQ(Budget().Used(), 0u) << "a closed file gives its cache back";
        EXPECT_EQ(registry_.OpenFile(path.c_str(), &id_), ns_OK);
        registry_.Hold(id_).File().GetSpanCache().SetSpanBytes(kSpanBytes);
    }

private:
    static qrd::LibrarySettings Settings(uint64_t budget) {
        qrd::LibrarySettings s;
        s.cacheBudgetBytes = budget;
        return s;
    }
    qrd::CQRD registry_;
    uint32_t id_ = 0;
};

struct Window {
    uint32_t first, count;
};

// Windows of every kind: random ones, ones that end on and straddle chunk
// and span boundaries, single samples, the last samples.
std::vector<Window> Windows(uint32_t items) {
    std::vector<Window> w = {{0, items}, {0, 1}, {249, 2}, {250, 250}, {999, 1002}, {items - 1, 1},
                             {items - 300, 300}, {items - 1000, 1000}};
    std::mt19937 rng(7);
    for (int i = 0; i < 40; ++i) {
        const uint32_t first = rng() % items;
        w.push_back({first, 1 + static_cast<uint32_t>(rng() % (items - first))});
    }
    return w;
}

// Reads every window of every analog entity in the given order through both
// and expects the same values.
void ExpectSameValues(Opened& cached, Opened& direct, bool windowFirst, const std::vector<Window>& windows) {
    const std::vector<uint32_t> entities = direct.AnalogEntities();
    ASSERT_EQ(cached.AnalogEntities(), entities);
    auto check = [&](uint32_t e, const Window& w) {
        ns_RESULT rc = ns_OK, rd = ns_OK;
        const std::vector<double> a = cached.Read(e, w.first, w.count, &rc);
        const std::vector<double> b = direct.Read(e, w.first, w.count, &rd);
        ASSERT_EQ(rc, rd);
        ASSERT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(double)))
            << "entity " << e << " window " << w.first << "+" << w.count;
    };
    if (windowFirst) {
        for (const Window& w : windows)
            for (uint32_t e : entities) check(e, w);
    } else {
        for (uint32_t e : entities)
            for (const Window& w : windows) check(e, w);
    }
}

// Every sweep segment of every channel, into a buffer that holds all of a
// sweep and into one that holds part of it.
void ExpectSameSweepSegments(Opened& cached, Opened& direct) {
    for (uint32_t e = 0; e < direct.EntityCount(); ++e) {
        ns_ENTITYINFO info;
        ASSERT_TRUE(direct.Info(e, info));
        if (info.dwEntityType != ns_ENTITY_SEGMENT) continue;
        for (uint32_t room : {4000u, 600u}) {
            for (uint32_t w = 0; w < info.dwItemCount; ++w) {
                const Opened::Segment a = cached.ReadSegment(e, w, room), b = direct.ReadSegment(e, w, room);
                ASSERT_EQ(a.result, b.result);
                ASSERT_EQ(a.count, b.count);
                EXPECT_EQ(a.time, b.time);
                ASSERT_EQ(0, std::memcmp(a.data.data(), b.data.data(), a.data.size() * sizeof(double)))
                    << "entity " << e << " sweep " << w;
            }
        }
    }
}

// ---- the vector loops against the portable ones ------------------------------

TEST(SampleKernels, SplitAndConvertMatchThePortableLoops) {
    std::mt19937 rng(3);
    for (uint32_t channels : {1u, 3u, 31u, 32u, 33u, 60u, 64u, 65u}) {
        for (size_t instants : {size_t{0}, size_t{1}, size_t{31}, size_t{33}, size_t{250}}) {
            std::vector<uint8_t> payload(instants * channels * 2);
            for (uint8_t& b : payload) b = static_cast<uint8_t>(rng());
            const size_t stride = instants + 7;
            std::vector<uint16_t> fast(stride * channels, 0xABCD), portable(stride * channels, 0xABCD);
            qrd::SplitChannels(payload.data(), instants, channels, fast.data(), stride);
            qrd::SplitChannelsPortable(payload.data(), instants, channels, portable.data(), stride);
            ASSERT_EQ(fast, portable) << channels << " channels, " << instants << " instants";
            if (instants > 0) {
                EXPECT_EQ(portable[(channels - 1) * stride + instants - 1],
                          qrd::GetU16(payload.data(), payload.size() - 2));
            }
        }
    }
    std::vector<uint16_t> raw = {0, 1, 32767, 32768, 32769, 65535};
    for (int i = 0; i < 100; ++i) raw.push_back(static_cast<uint16_t>(rng()));
    for (uint16_t zero : {uint16_t{0}, uint16_t{32768}, uint16_t{65535}}) {
        for (double step : {1.0, 1.0e-7, -3.3e-5}) {
            for (size_t n : {size_t{1}, size_t{15}, size_t{16}, size_t{17}, raw.size()}) {
                std::vector<double> fast(n), portable(n);
                qrd::ConvertSamples(raw.data(), n, zero, step, fast.data());
                qrd::ConvertSamplesPortable(raw.data(), n, zero, step, portable.data());
                ASSERT_EQ(0, std::memcmp(fast.data(), portable.data(), n * sizeof(double)));
            }
        }
    }
}

// ---- cached reads equal direct reads ------------------------------------------

TEST(SpanCache, EveryOrderAndBudgetReadsWhatTheFileHolds) {
    TempDir dir;
    const std::string path = WriteRecording(dir, "plain.qrd");
    ASSERT_FALSE(path.empty());
    const std::vector<Window> windows = Windows(kInstants);
    Opened direct(path, 0);
    for (uint64_t budget : {uint64_t{1024} * kMiB, 6 * kMiB, 2 * kMiB}) {
        for (bool windowFirst : {true, false}) {
            Opened cached(path, budget);
            ExpectSameValues(cached, direct, windowFirst, windows);
            EXPECT_GT(cached.Cache().SpansDecoded(), 0u);
            EXPECT_LE(cached.Budget().Used(), budget);
            EXPECT_EQ(cached.Budget().Used(), cached.Cache().BytesHeld());
            // Closed and opened again: the cache starts empty and reads the same.
            cached.Reopen(path);
            ExpectSameValues(cached, direct, windowFirst, {{0, kInstants}, {12345, 678}});
        }
    }
}

TEST(SpanCache, SweepsReadWhatTheFileHolds) {
    // Sweeps of whole chunks and of parts of chunks; at 30 kHz the sweep
    // windows computed from times do not fall on instants of the chunks, so
    // some runs cannot come from columns and are read from the file.
    for (uint32_t rate : {kRate, 30000000u}) {
        TempDir dir;
        std::vector<qrd::SampleSpan> sweeps;
        const uint64_t lengths[] = {1000, 1000, 1234, 250, 3000, 777};
        for (size_t w = 0; w < 6; ++w) sweeps.push_back({SamplesStart() + w * 200000000ull, lengths[w]});
        const std::string path = WriteSpecTo(dir, "sweeps.qrd", SweepRecording(rate, kChannels, kChunkNs, sweeps));
        ASSERT_FALSE(path.empty());
        Opened direct(path, 0);
        const std::vector<uint32_t> entities = direct.AnalogEntities();
        ASSERT_EQ(entities.size(), kChannels);
        ns_ENTITYINFO info;
        ASSERT_TRUE(direct.Info(entities[0], info));
        const uint32_t items = info.dwItemCount;
        std::vector<Window> windows = Windows(items);
        windows.push_back({999, 2});      // across the first sweep boundary
        windows.push_back({1990, 1500});  // into the third sweep and beyond
        for (uint64_t budget : {uint64_t{64} * kMiB, 2 * kMiB}) {
            Opened cached(path, budget);
            ExpectSameValues(cached, direct, true, windows);
            ExpectSameValues(cached, direct, false, windows);
            ExpectSameSweepSegments(cached, direct);
            if (rate == kRate) {
                EXPECT_GT(cached.Cache().SpansDecoded(), 0u);
            }
        }
    }
}

TEST(SpanCache, ChunksWithPartInstantsOrNoValuesReadLikeTheFile) {
    TempDir dir;
    // Chunk 11 (electrodes) holds two values more than whole instants, which
    // moves every later instant of the stream; chunk 31 is empty.
    const std::string path = WriteRecording(dir, "odd.qrd", [](qrd::RecordingSpec& desc) {
        int seen = 0;
        for (qrd::ChunkSpec& c : desc.chunks) {
            if (c.stream != 0) continue;
            if (seen == 11) {
                std::vector<uint8_t> bytes = c.Payload();
                bytes.push_back(0x34), bytes.push_back(0x12), bytes.push_back(0x78), bytes.push_back(0x56);
                c.generate = nullptr;
                c.payload = bytes;
            } else if (seen == 31) {
                c.generate = nullptr;
                c.payload.clear();
            }
            ++seen;
        }
    });
    ASSERT_FALSE(path.empty());
    Opened direct(path, 0), cached(path, 64 * kMiB);
    ExpectSameValues(cached, direct, true, Windows(kInstants - 500));
}

TEST(SpanCache, AFileCutAfterOpeningNeverCachesAPartSpan) {
    TempDir dir;
    const std::string path = WriteRecording(dir, "cut.qrd");
    ASSERT_FALSE(path.empty());
    Opened direct(path, 0), cached(path, 64 * kMiB);
    // The chunk lists are built by a first read, then the file loses its
    // second half: spans there cannot be read any more.
    direct.Read(0, 0, 1);
    cached.Read(0, 0, 1);
    std::filesystem::resize_file(path, std::filesystem::file_size(path) * 55 / 100);
    for (int pass = 0; pass < 2; ++pass) ExpectSameValues(cached, direct, pass == 0, Windows(kInstants));
    const std::vector<double> tail = cached.Read(0, kInstants - 100, 100);
    EXPECT_TRUE(std::all_of(tail.begin(), tail.end(), [](double v) { return v == 0.0; }));
}

// ---- what the cache keeps -------------------------------------------------------

TEST(SpanCache, KeepsToItsBudgetAndDecodesOnlyWhatChannelsShare) {
    TempDir dir;
    const std::string path = WriteRecording(dir, "budget.qrd");
    ASSERT_FALSE(path.empty());
    const uint32_t spans = static_cast<uint32_t>((kInstants * kChannels * 2 + kSpanBytes - 1) / kSpanBytes);

    {   // One channel alone: read straight from the file, nothing decoded.
        Opened cached(path, 64 * kMiB);
        for (uint32_t first = 0; first < kInstants; first += 2500) cached.Read(2, first, 2500);
        cached.Read(2, 0, kInstants);
        EXPECT_EQ(cached.Cache().SpansDecoded(), 0u);
        EXPECT_EQ(cached.Budget().Used(), 0u);
    }
    {   // Window after window with room for two entries: the entries are
        // used up by every channel and then taken over by the next spans.
        Opened cached(path, 4 * kMiB);
        const std::vector<uint32_t> entities = cached.AnalogEntities();
        for (uint32_t first = 0; first < kInstants; first += 500)
            for (uint32_t e : entities) cached.Read(e, first, 500);
        EXPECT_LE(cached.Cache().EntryCount(), 2u);
        EXPECT_LE(cached.Budget().Used(), 4 * kMiB);
        EXPECT_GE(cached.Cache().SpansDecoded(), spans);
        EXPECT_LE(cached.Cache().SpansDecoded(), spans + spans / 2);
    }
    {   // Channel after channel with room for three entries: the first spans
        // stay until every channel has read them, the others are read from
        // the file; no span is decoded twice.
        Opened cached(path, 6 * kMiB);
        for (uint32_t e : cached.AnalogEntities())
            for (uint32_t first = 0; first < kInstants; first += 2500) cached.Read(e, first, 2500);
        EXPECT_LE(cached.Cache().EntryCount(), 3u);
        EXPECT_LE(cached.Cache().SpansDecoded(), 3u + 3u);
    }
}

TEST(SpanCache, FilesShareOneBudget) {
    TempDir dir;
    const std::string path = WriteRecording(dir, "shared.qrd");
    ASSERT_FALSE(path.empty());
    qrd::LibrarySettings settings;
    settings.cacheBudgetBytes = 4 * kMiB;
    qrd::CQRD registry(settings);
    uint32_t a = 0, b = 0;
    ASSERT_EQ(registry.OpenFile(path.c_str(), &a), ns_OK);
    ASSERT_EQ(registry.OpenFile(path.c_str(), &b), ns_OK);
    std::vector<double> out(1000);
    uint32_t cont = 0;
    for (uint32_t id : {a, b}) {
        registry.Hold(id).File().GetSpanCache().SetSpanBytes(kSpanBytes);
        for (uint32_t e : {0u, 1u, 2u}) entry::GetAnalogData(registry, id, e, 0, 1000, &cont, out.data());
    }
    const uint64_t held =
        registry.Hold(a).File().GetSpanCache().BytesHeld() + registry.Hold(b).File().GetSpanCache().BytesHeld();
    EXPECT_EQ(held, registry.CacheBudget().Used());
    EXPECT_LE(held, 4 * kMiB);
    EXPECT_GT(registry.Hold(a).File().GetSpanCache().BytesHeld(), 0u);
    registry.CloseFile(a);
    registry.CloseFile(b);
    EXPECT_EQ(registry.CacheBudget().Used(), 0u);
}

// ---- chunk payloads for spike records --------------------------------------------

TEST(PayloadCache, KeepsPayloadsTwoReadersShareWithinItsBudget) {
    TempDir dir;
    std::string text(4096, '\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(i * 7);
    qrd::BinaryFile file;
    ASSERT_TRUE(file.OpenRead(dir.Write("payloads.bin", text)));
    nscommon::CacheBudget budget(2048);
    qrd::PayloadCache cache;
    cache.SetBudget(&budget);
    auto byteAt = [&](uint64_t payload, uint64_t offset, uint32_t uses) -> int {
        uint8_t b[4] = {0};
        return cache.Copy(file, payload, 1024, offset, 4, uses, b) ? b[0] : -1;
    };
    // One reader alone: nothing is kept.
    cache.BeginRead(1);
    EXPECT_EQ(byteAt(0, 5, 3), -1);
    EXPECT_EQ(cache.EntryCount(), 0u);
    // A second reader takes the payload in; its bytes are the file's.
    cache.BeginRead(2);
    EXPECT_EQ(byteAt(0, 5, 3), static_cast<uint8_t>(5 * 7));
    EXPECT_EQ(byteAt(1024, 1, 1), static_cast<uint8_t>(1025 * 7));  // used up at once
    EXPECT_EQ(budget.Used(), 2048u);
    // No room: the used-up payload makes it, the one with uses left stays.
    EXPECT_EQ(byteAt(2048, 0, 1), static_cast<uint8_t>(2048 * 7));
    EXPECT_EQ(cache.EntryCount(), 2u);
    EXPECT_EQ(byteAt(0, 6, 3), static_cast<uint8_t>(6 * 7));
    // Payload 2048 is used up and goes for 3072; payload 0 still has a use.
    EXPECT_EQ(byteAt(3072, 0, 2), static_cast<uint8_t>(3072 * 7));
    EXPECT_EQ(byteAt(1024, 0, 1), -1);  // nothing used up: no room
    EXPECT_EQ(byteAt(0, 7, 3), static_cast<uint8_t>(7 * 7));
    EXPECT_EQ(cache.EntryCount(), 2u);
    EXPECT_LE(budget.Used(), 2048u);
    // Ranges outside the payload and payloads beyond the file give nothing.
    uint8_t none[4];
    EXPECT_FALSE(cache.Copy(file, 0, 1024, 1022, 4, 1, none));
    EXPECT_FALSE(cache.Copy(file, 4000, 1024, 0, 4, 1, none));
    EXPECT_EQ(budget.Used(), cache.BytesHeld());
    cache.Clear();
    EXPECT_EQ(budget.Used(), 0u);
}

// ---- the setting ----------------------------------------------------------------

TEST(SpanCache, CacheSizeMBSetsTheBudget) {
    TempDir dir;
    auto budgetOf = [&](const std::string& text) {
        return qrd::ReadLibrarySettings(dir.Write("s.ini", text)).cacheBudgetBytes;
    };
    const uint64_t fallback = nscommon::DefaultCacheBudgetBytes();
    EXPECT_EQ(budgetOf("[Settings]\nCacheSizeMB=0\n"), 0u);
    EXPECT_EQ(budgetOf("[settings]\ncachesizemb = 16\n"), 16 * kMiB);
    EXPECT_EQ(budgetOf("[Settings]\nCacheSizeMB=12abc\n"), fallback);
    EXPECT_EQ(budgetOf("[Settings]\nBaseIsPressedStart=1\n"), fallback);
    EXPECT_EQ(qrd::LibrarySettings().cacheBudgetBytes, fallback);
}

}  // namespace
