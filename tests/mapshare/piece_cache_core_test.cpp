// The piece cache behind the sample queries, through the static core: every
// answer read through the cache equals the answer of the direct reader (one
// file read per request), whatever the budget and the reading order, and the
// cache keeps what it promises to keep.  Also the sample decoders, the budget
// setting and the arena of the block tables.
#include "platform/environment.h"
#include "last_error.h"
#include "map_channel.h"
#include "map_file.h"
#include "map_parser.h"
#include "map_queries.h"
#include "map_writer.h"
#include "piece_cache.h"
#include "sample_cache_budget.h"
#include "sample_decoder.h"
#include "table_arena.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>

using namespace mapshare;
using maptest::MapWriter;
using maptest::MultiplexWords;
using maptest::TempDir;

namespace {

constexpr size_t kPiece = 64u << 10;

int16_t valueAt(uint16_t channel, uint64_t tick) {
    return static_cast<int16_t>(((channel * 1000 + tick * 3) & 0x7FFF) - 0x4000);
}

std::vector<int16_t> run(uint16_t channel, uint64_t tick, size_t count) {
    std::vector<int16_t> v(count);
    for (size_t i = 0; i < count; ++i) v[i] = valueAt(channel, tick + i);
    return v;
}

// Four continuous channels in '5' blocks of varying length, channel 1 also in
// '7' sub-records, channel 3 with a gap in time, channel 4 with blocks
// without samples, a Level channel with two units and a digital channel.  A
// record of odd length early on puts most blocks at odd file positions.
std::string writeMixedRecording(const TempDir& dir, size_t rounds) {
    MapWriter w;
    w.header60().continuous(1, 10.0f, "C1", 12).continuous(2, 10.0f, "C2").continuous(3, 10.0f, "C3");
    w.continuous(4, 10.0f, "C4").analog(maptest::AnalogMode::Level, 5, 10.0f, "L5", 0.3f).digital(9, 10.0f, "D9");
    uint64_t tick[5] = {};
    std::vector<uint8_t> odd = {2, 0};   // channel 2, three samples, a stray byte, the time stamp
    for (int16_t s : run(2, 0, 3)) odd.insert(odd.end(), {static_cast<uint8_t>(s), static_cast<uint8_t>(s >> 8)});
    odd.insert(odd.end(), {0xEE, 0, 0, 0, 0});
    w.record(static_cast<uint16_t>(4 + odd.size()), '5', odd);
    tick[2] = 3;
    for (size_t b = 0; b < rounds; ++b) {
        for (uint16_t c = 1; c <= 4; ++c) {
            if (c == 3 && b == rounds / 3) tick[c] += 500;   // not contiguous from here on
            if (c == 4 && b % 17 == 5) {
                w.samples(4, static_cast<uint32_t>(tick[4]), {});
                continue;
            }
            const size_t n = 20 + (b * 13 + c * 7) % 180;
            w.samples(c, static_cast<uint32_t>(tick[c]), run(c, tick[c], n));
            tick[c] += n;
        }
        if (b % 10 == 3) {
            MultiplexWords mux;
            mux.analog(1, run(1, tick[1], 10), static_cast<uint32_t>(tick[1])).marker(-666, 0);
            w.multiplexed(mux);
            tick[1] += 10;
        }
        if (b % 5 == 0) w.samples(5, static_cast<uint32_t>(100 * b + 50), run(5, b, 32), static_cast<int8_t>(b % 2));
        if (b % 7 == 0) w.digitalEvent(9, static_cast<uint32_t>(100 * b), static_cast<uint16_t>(b));
    }
    const std::string path = dir.file("mixed.map");
    EXPECT_TRUE(w.writeTo(path));
    return path;
}

std::unique_ptr<MapFile> openParsed(const std::string& path) {
    auto file = std::make_unique<MapFile>(path);
    EXPECT_TRUE(file->file().open(path));
    clearLastError();
    EXPECT_TRUE(parseMapFile(*file)) << lastErrorText();
    return file;
}

// One query and what it answered.
struct Query {
    size_t entity;
    uint64_t first;
    uint32_t count;
};

struct Answer {
    bool ok = false;
    uint32_t copied = 0;
    uint32_t unit = 0;
    double time = 0.0;
    std::vector<double> values;
    std::string message;
    bool operator==(const Answer& o) const {
        return ok == o.ok && copied == o.copied && unit == o.unit && time == o.time && values == o.values &&
               message == o.message;
    }
};

std::ostream& operator<<(std::ostream& out, const Answer& a) {
    return out << (a.ok ? "ok" : "failed") << " copied " << a.copied << " '" << a.message << "'";
}

// Analog entities are read with readSamples; segment entities with
// readSegment, taking count as the buffer capacity and first as the index.
Answer ask(SampleReader& reader, const MapFile& file, const Query& q) {
    const MapChannel& channel = *file.channel(q.entity);
    Answer a;
    std::vector<double> buffer(q.count + 1, -99999.0);
    clearLastError();
    if (channel.entityType() == 3) {
        a.ok = readSegment(reader, channel, static_cast<int32_t>(q.first), &a.time, buffer.data(), q.count, &a.copied,
                           &a.unit);
    } else {
        a.ok = readSamples(reader, channel, q.first, q.count, buffer.data(), &a.time, &a.copied);
    }
    a.values.assign(buffer.begin(), buffer.begin() + a.copied);
    a.message = lastErrorText();
    return a;
}

std::vector<size_t> entitiesOfType(const MapFile& file, uint32_t type) {
    std::vector<size_t> found;
    for (size_t e = 0; e < file.channelCount(); ++e)
        if (file.channel(e)->entityType() == type) found.push_back(e);
    return found;
}

// The reading orders of hosts, as query lists.
enum class Order { Windows, ChannelAfterChannel, WholeChannels, Random, Segments };

std::vector<Query> queriesFor(const MapFile& file, Order order) {
    constexpr uint32_t kWindow = 1000;
    const std::vector<size_t> analog = entitiesOfType(file, 2);
    uint64_t longest = 0;
    for (size_t e : analog) longest = std::max(longest, file.channel(e)->itemCount());
    std::vector<Query> queries;
    switch (order) {
        case Order::Windows:
            for (uint64_t first = 0; first < longest; first += kWindow)
                for (size_t e : analog) queries.push_back({e, first, kWindow});
            break;
        case Order::ChannelAfterChannel:
            for (size_t e : analog)
                for (uint64_t first = 0; first < file.channel(e)->itemCount(); first += kWindow)
                    queries.push_back({e, first, kWindow});
            break;
        case Order::WholeChannels:
            for (size_t e : analog)
                queries.push_back({e, 0, static_cast<uint32_t>(file.channel(e)->itemCount())});
            break;
        case Order::Random: {
            std::mt19937 random(7);
            for (int i = 0; i < 600; ++i) {
                const size_t e = analog[random() % analog.size()];
                const uint64_t items = file.channel(e)->itemCount();
                // Now and then the last samples, past the end, or nothing.
                const uint64_t first = i % 50 == 0 ? items - 1 : i % 61 == 0 ? items : random() % items;
                queries.push_back({e, first, i % 97 == 0 ? 0u : static_cast<uint32_t>(random() % 3000)});
            }
            break;
        }
        case Order::Segments: {
            std::mt19937 random(11);
            for (size_t e : entitiesOfType(file, 3)) {
                const auto blocks = file.channel(e)->blocks().size();
                for (size_t i = 0; i < 3 * blocks; ++i)
                    queries.push_back({e, random() % (blocks + 1), static_cast<uint32_t>(random() % 40)});
            }
            break;
        }
    }
    return queries;
}

std::vector<Answer> answers(SampleReader& reader, const MapFile& file, const std::vector<Query>& queries) {
    std::vector<Answer> out;
    for (const Query& q : queries) out.push_back(ask(reader, file, q));
    return out;
}

void expectSameAnswers(const std::vector<Answer>& direct, const std::vector<Answer>& cached, const char* what) {
    ASSERT_EQ(direct.size(), cached.size());
    for (size_t i = 0; i < direct.size(); ++i) ASSERT_EQ(direct[i], cached[i]) << what << ", query " << i;
}

class PieceCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = writeMixedRecording(dir, 1500);
        file = openParsed(path);
        pieces = static_cast<size_t>((file->file().size() - 1) / kPiece + 1);
        ASSERT_GE(pieces, 20u) << "the recording must span many pieces";
    }
    TempDir dir;
    std::string path;
    std::unique_ptr<MapFile> file;
    size_t pieces = 0;
};

}  // namespace

TEST(SampleDecoder, EveryVersionMatchesThePortableLoop) {
    std::mt19937 random(3);
    std::vector<uint8_t> bytes(2 * 300 + 3);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    bytes[1] = 0x80;   // -32768 and 32767 among the samples
    bytes[0] = 0x00;
    bytes[3] = 0x7F;
    bytes[2] = 0xFF;
    for (size_t offset = 0; offset < 3; ++offset) {
        for (size_t count = 0; count <= 300; count += (count < 40 ? 1 : 37)) {
            std::vector<double> expected(count + 1, 0.5), got(count + 1, 0.5);
            decodeSamplesPortable(bytes.data() + offset, count, expected.data());
            decodeSamples(bytes.data() + offset, count, got.data());
            ASSERT_EQ(expected, got) << sampleDecoderName() << ", offset " << offset << ", count " << count;
        }
    }
    std::vector<double> extremes(2);
    decodeSamples(bytes.data(), 2, extremes.data());
    EXPECT_EQ(extremes[0], -32768.0);
    EXPECT_EQ(extremes[1], 32767.0);
}

TEST_F(PieceCacheTest, CachedAnswersEqualDirectAnswersForEveryBudgetAndOrder) {
    const uint64_t budgets[] = {0, 2 * kPiece, (pieces / 3) * kPiece, 4 * pieces * kPiece};
    for (Order order : {Order::Windows, Order::ChannelAfterChannel, Order::WholeChannels, Order::Random,
                        Order::Segments}) {
        const std::vector<Query> queries = queriesFor(*file, order);
        DirectSampleReader direct(file->file());
        const std::vector<Answer> expected = answers(direct, *file, queries);
        for (uint64_t capacity : budgets) {
            SCOPED_TRACE("order " + std::to_string(static_cast<int>(order)) + ", budget " + std::to_string(capacity));
            nscommon::CacheBudget budget(capacity);
            {
                PieceCache cache(file->file(), file->channels(), budget, kPiece);
                expectSameAnswers(expected, answers(cache, *file, queries), "first pass");
                // Asked again, now partly from kept pieces.
                expectSameAnswers(expected, answers(cache, *file, queries), "second pass");
                EXPECT_LE(budget.Used(), capacity);
                EXPECT_EQ(budget.Used(), cache.bytesReserved());
                if (capacity == 0) {
                    EXPECT_EQ(cache.piecesHeld(), 0u);
                }
            }
            EXPECT_EQ(budget.Used(), 0u) << "closing the file gives its memory back";
        }
    }
}

TEST_F(PieceCacheTest, AnswersAgreeOnAFileCutShortOrUnreadableAfterOpening) {
    const std::vector<Query> queries = queriesFor(*file, Order::Random);
    const std::vector<Query> segments = queriesFor(*file, Order::Segments);
    std::filesystem::resize_file(path, file->file().size() / 2);
    nscommon::CacheBudget budget(4 * pieces * kPiece);
    DirectSampleReader direct(file->file());
    PieceCache cache(file->file(), file->channels(), budget, kPiece);
    const std::vector<Answer> cut = answers(direct, *file, queries);
    expectSameAnswers(cut, answers(cache, *file, queries), "cut file");
    expectSameAnswers(answers(direct, *file, segments), answers(cache, *file, segments), "cut file, segments");
    EXPECT_TRUE(std::any_of(cut.begin(), cut.end(), [](const Answer& a) { return a.ok && a.copied == 0; }))
        << "some reads find the file ended";
    for (size_t p = (file->file().size() / 2) / kPiece; p < pieces; ++p) EXPECT_FALSE(cache.holds(p)) << p;

    // A file that can no longer be read fails every read the same way.
    file->file().close();
    PieceCache fresh(file->file(), file->channels(), budget, kPiece);
    const std::vector<Answer> failed = answers(direct, *file, queries);
    expectSameAnswers(failed, answers(fresh, *file, queries), "unreadable file");
    EXPECT_TRUE(std::any_of(failed.begin(), failed.end(), [](const Answer& a) {
        return !a.ok && a.message == "Error while reading from file";
    }));
}

TEST_F(PieceCacheTest, ReadingChannelAfterChannelNeverGivesUpAPieceOthersStillNeed) {
    // Room for half the file.  Once the second channel shows that the host
    // reads channel after channel, the pieces kept stay until every channel
    // has read them, and the rest of the file goes through the span.
    nscommon::CacheBudget budget((pieces / 2) * kPiece);
    PieceCache cache(file->file(), file->channels(), budget, kPiece);
    DirectSampleReader direct(file->file());
    const std::vector<size_t> analog = entitiesOfType(*file, 2);
    std::set<size_t> kept;
    for (size_t e : analog) {
        std::vector<Query> queries;
        for (uint64_t first = 0; first < file->channel(e)->itemCount(); first += 700) queries.push_back({e, first, 700});
        expectSameAnswers(answers(direct, *file, queries), answers(cache, *file, queries), "channel");
        for (size_t p : kept) {
            if (!cache.finished(p)) {
                EXPECT_TRUE(cache.holds(p)) << "piece " << p << " given up after entity " << e;
            }
        }
        if (e == analog.front()) {
            EXPECT_LE(cache.piecesHeld(), 10u) << "one channel read alone keeps a few pieces";
            continue;
        }
        EXPECT_TRUE(cache.keepsDormantPieces());
        kept.clear();
        for (size_t p = 0; p < pieces; ++p)
            if (cache.holds(p)) kept.insert(p);
        EXPECT_GE(kept.size(), pieces / 2 - 1) << "the budget is used";
        EXPECT_LE(budget.Used(), budget.Capacity());
    }
    // The first channel reads every piece, the second keeps what fits, and
    // no piece is read into memory again after that (giving up kept pieces
    // for others would read most of the file again for every channel).
    EXPECT_LE(cache.counters().pieceReads, pieces + pieces / 2);
}

TEST_F(PieceCacheTest, WindowAfterWindowReadsEachPieceOnceAndKeepsFew) {
    // The segment channel is never read here: its pieces must not stay.
    nscommon::CacheBudget budget(4 * pieces * kPiece);
    PieceCache cache(file->file(), file->channels(), budget, kPiece);
    DirectSampleReader direct(file->file());
    const std::vector<Query> queries = queriesFor(*file, Order::Windows);
    expectSameAnswers(answers(direct, *file, queries), answers(cache, *file, queries), "windows");
    EXPECT_LE(cache.counters().pieceReads, pieces) << "no piece read twice";
    // A few: the dormant ones kept, and those between the channels' windows
    // (channel 1 has more samples, so its windows run ahead in the file).
    EXPECT_LE(cache.piecesHeld(), 12u);
    EXPECT_FALSE(cache.keepsDormantPieces());
}

TEST(SampleCacheBudget, ComesFromTheEnvironmentOnceAndSetsThePieceSize) {
    // The budget is made at its first use, which in this program is here.
    ASSERT_TRUE(nsplatform::SetEnvironmentText(kCacheBudgetVariable, "3"));
    EXPECT_EQ(sampleCacheBudget().Capacity(), 3u << 20);
    ASSERT_TRUE(nsplatform::SetEnvironmentText(kCacheBudgetVariable, "5"));
    EXPECT_EQ(sampleCacheBudget().Capacity(), 3u << 20) << "read once";
    nsplatform::ClearEnvironmentText(kCacheBudgetVariable);

    EXPECT_EQ(pieceBytesFor(0), 64u << 10);
    EXPECT_EQ(pieceBytesFor(1u << 20), 64u << 10);
    EXPECT_EQ(pieceBytesFor(uint64_t{4} << 30), pieceBytesFor(uint64_t{1} << 30));
    EXPECT_GE(pieceBytesFor(uint64_t{1} << 30), 64u << 10);
}

TEST(TableArena, HandsOutAlignedMemoryThatTablesCanGrowIn) {
    TableArena arena;
    // Tables growing side by side, as the channels of a file do while it is
    // parsed, keep their contents.
    Table<MapBlock> blocks{TableAllocator<MapBlock>(&arena)};
    Table<uint32_t> items{TableAllocator<uint32_t>(&arena)};
    for (uint32_t i = 0; i < 300000; ++i) {
        blocks.push_back(MapBlock{i, 2 * i, static_cast<uint16_t>(i), static_cast<int16_t>(-i), 0});
        items.push_back(3 * i);
    }
    for (uint32_t i = 0; i < 300000; i += 997) {
        ASSERT_EQ(blocks[i].position, 2 * i);
        ASSERT_EQ(items[i], 3 * i);
    }
    EXPECT_EQ(reinterpret_cast<uintptr_t>(blocks.data()) % alignof(MapBlock), 0u);
    // Memory handed out last is taken back and handed out again.
    void* last = arena.allocate(100, 8);
    arena.release(last, 100);
    EXPECT_EQ(arena.allocate(64, 8), last);
    void* odd = arena.allocate(3, 1);
    void* aligned = arena.allocate(8, 8);
    EXPECT_NE(odd, aligned);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(aligned) % 8, 0u);
    // A table larger than a slab gets memory of its own.
    auto* large = static_cast<uint8_t*>(arena.allocate(5u << 20, 8));
    large[0] = 1;
    large[(5u << 20) - 1] = 2;
    EXPECT_EQ(large[(5u << 20) - 1], 2);
}
