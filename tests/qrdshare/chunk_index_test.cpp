// The chunk index: reading and writing the index block with its invariants,
// the last-entry check against the recording, and joining indexes.
#include <gtest/gtest.h>

#include <string>

#include "container/binary_file.h"
#include "container/block_tags.h"
#include "container/chunk_index.h"
#include "container/le_codec.h"
#include "container/recording_writer.h"
#include "support/temp_dir.h"

namespace qrd {
namespace {

using qrd_test::TempDir;

// An index block written field by field, so tests can state any damage.
struct RawIndex {
    uint32_t headerEntries = 0;
    uint32_t headerSweeps = 0;
    std::vector<PositionEntry> positions;
    std::vector<SweepEntry> sweeps;
    int64_t positionLengthDelta = 0;  // added to 16 x positions.size()
    int64_t sweepLengthDelta = 0;
    const char* positionTag = kTagIndexPositions;

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> out;
        LeWriter w(out);
        w.Tag(kTagIndexHeader);
        w.U64(IndexHeader::kSize);
        IndexHeader h;
        h.version = 1;
        h.path = "raw";
        h.entryCount = headerEntries;
        h.sweepCount = headerSweeps;
        uint8_t bytes[IndexHeader::kSize] = {};
        h.Serialize(bytes);
        w.Bytes(bytes, sizeof bytes);
        w.Tag(positionTag);
        w.U64(static_cast<uint64_t>(static_cast<int64_t>(16 * positions.size()) + positionLengthDelta));
        for (const PositionEntry& p : positions) {
            w.U64(p.time);
            w.U64(p.offset);
        }
        w.Tag(kTagIndexSweeps);
        w.U64(static_cast<uint64_t>(static_cast<int64_t>(16 * sweeps.size()) + sweepLengthDelta));
        for (const SweepEntry& s : sweeps) {
            w.U64(s.start);
            w.U64(s.end);
        }
        return out;
    }
};

RawIndex ValidRaw() {
    RawIndex r;
    r.positions = {{100, 1000}, {150, 5000}, {150, 9000}};
    r.sweeps = {{100, 200}, {200, 300}, {450, 460}};
    r.headerEntries = 3;
    r.headerSweeps = 3;
    return r;
}

// Reads header and lists from bytes; the index keeps what it had on failure.
bool ReadBlock(const TempDir& dir, const std::vector<uint8_t>& bytes, CQRVAChunkIndex& index) {
    BinaryFile file;
    if (!file.OpenRead(dir.Write("index.bin", std::string(bytes.begin(), bytes.end())))) return false;
    return index.ReadIndexHeader(file) && index.ReadIndexLists(file);
}

TEST(ChunkIndexLists, WrittenIndexReadsBackEqual) {
    TempDir dir;
    CQRVAChunkIndex index;
    index.AddPosition(10, 200);
    index.AddPosition(20, 300000);
    index.SetSweeps({10, 40}, {30, 90});
    const std::string longPath(300, 'p');
    BinaryFile out;
    ASSERT_TRUE(out.OpenWrite(dir.File("written.idx")));
    ASSERT_TRUE(index.WriteIndexHeader(out, longPath, 4));
    EXPECT_EQ(index.WriteIndexLists(out), 2u);
    ASSERT_TRUE(out.Close());
    EXPECT_EQ(index.header().path.size(), 256u);  // cut to the field

    BinaryFile in;
    ASSERT_TRUE(in.OpenRead(dir.File("written.idx")));
    EXPECT_EQ(in.Size(), 16u + 303 + 16 + 32 + 16 + 32);
    CQRVAChunkIndex back;
    ASSERT_TRUE(back.ReadIndexHeader(in));
    ASSERT_TRUE(back.ReadIndexLists(in));
    EXPECT_EQ(in.Remaining(), 0u);
    const IndexHeader& h = back.header();
    EXPECT_EQ(h.version, 1);
    EXPECT_EQ(h.path, std::string(256, 'p'));
    EXPECT_EQ(h.streamCount, 4u);
    EXPECT_EQ(h.entryCount, 2u);
    EXPECT_EQ(h.firstEntryTime, 10u);
    EXPECT_EQ(h.lastEntryTime, 20u);
    EXPECT_EQ(h.sweepCount, 2u);
    EXPECT_EQ(h.firstSweepStart, 10u);
    EXPECT_EQ(h.lastSweepEnd, 90u);
    EXPECT_EQ(back.positions(), index.positions());
    ASSERT_NE(back.sweepStarts(), nullptr);
    EXPECT_EQ(*back.sweepStarts(), (std::vector<uint64_t>{10, 40}));
    EXPECT_EQ(*back.sweepEnds(), (std::vector<uint64_t>{30, 90}));

    // An empty index writes zero times and empty sections.
    CQRVAChunkIndex empty;
    std::vector<uint8_t> bytes;
    empty.AppendIndexHeader(bytes, "x", 0);
    EXPECT_EQ(empty.AppendIndexLists(bytes), 0u);
    CQRVAChunkIndex emptyBack;
    ASSERT_TRUE(ReadBlock(dir, bytes, emptyBack));
    EXPECT_EQ(emptyBack.header().firstEntryTime, 0u);
    EXPECT_EQ(emptyBack.header().lastSweepEnd, 0u);
    ASSERT_NE(emptyBack.sweepStarts(), nullptr);  // present but empty
    EXPECT_FALSE(emptyBack.HasSweepList());
}

TEST(ChunkIndexLists, DamagedBlocksAreRejectedWholeAndLeaveTheIndexAlone) {
    TempDir dir;
    CQRVAChunkIndex valid;
    ASSERT_TRUE(ReadBlock(dir, ValidRaw().Bytes(), valid));
    EXPECT_EQ(valid.positions().size(), 3u);
    EXPECT_EQ(valid.SweepCount(), 3u);

    struct Case {
        const char* what;
        RawIndex raw;
    };
    std::vector<Case> cases;
    auto add = [&cases](const char* what, auto change) {
        RawIndex r = ValidRaw();
        change(r);
        cases.push_back({what, r});
    };
    add("header counts more entries", [](RawIndex& r) { r.headerEntries = 4; });
    add("header counts fewer sweeps", [](RawIndex& r) { r.headerSweeps = 2; });
    add("position length not a multiple of 16", [](RawIndex& r) { r.positionLengthDelta = 5; });
    add("sweep length one entry short", [](RawIndex& r) { r.sweepLengthDelta = -16; });
    add("position length wraps the 32-bit count", [](RawIndex& r) {
        r.positionLengthDelta = int64_t{16} << 32;
    });
    add("huge counts the file cannot hold", [](RawIndex& r) {
        r.headerEntries = 0x0FFFFFFF;
        r.positionLengthDelta = int64_t{16} * 0x0FFFFFFF - 48;
    });
    add("position time decreases", [](RawIndex& r) { r.positions[2].time = 149; });
    add("position offset decreases", [](RawIndex& r) { r.positions[1].offset = 999; });
    add("sweep starts before the previous end", [](RawIndex& r) {
        r.sweeps = {{100, 200}, {150, 300}};
        r.headerSweeps = 2;
    });
    add("sweep ends before its start", [](RawIndex& r) { r.sweeps[2] = {460, 450}; });
    add("position tag in lower case", [](RawIndex& r) { r.positionTag = "idxidx  "; });

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CQRVAChunkIndex index;
        index.AddPosition(1, 2);
        EXPECT_FALSE(ReadBlock(dir, c.raw.Bytes(), index));
        ASSERT_EQ(index.positions().size(), 1u);  // untouched
        EXPECT_EQ(index.sweepStarts(), nullptr);
    }

    // Every cut of a valid block fails cleanly.
    const std::vector<uint8_t> whole = ValidRaw().Bytes();
    for (size_t n = 0; n < whole.size(); n += 7) {
        CQRVAChunkIndex index;
        EXPECT_FALSE(ReadBlock(dir, std::vector<uint8_t>(whole.begin(), whole.begin() + n), index)) << n;
    }
    RawIndex wrongHeader = ValidRaw();
    std::vector<uint8_t> bytes = wrongHeader.Bytes();
    bytes[7] = 'v';  // "IDX1QRV" + lower-case
    CQRVAChunkIndex index;
    EXPECT_FALSE(ReadBlock(dir, bytes, index));
}

TEST(ChunkIndexValidate, LastEntryMustPointAtAChunkWithThatStart) {
    TempDir dir;
    RecordingSpec desc;
    ContinuousStreamOptions o;
    o.channelCount = 2;
    o.spans = {{UtcTicks(2026, 1, 1), 25000}};  // one second in ten chunks
    AddContinuousStream(desc, o, [](uint32_t c, uint64_t i) { return static_cast<uint16_t>(c + i); });
    RecordingPlan plan;
    ASSERT_TRUE(WriteRecording(desc, dir.File("rec.qrd"), nullptr, &plan));
    BinaryFile rec;
    ASSERT_TRUE(rec.OpenRead(dir.File("rec.qrd")));
    ASSERT_TRUE(rec.Seek(123));

    CQRVAChunkIndex index;
    EXPECT_TRUE(index.Validate(rec));  // no entries
    index.AddPosition(desc.chunks[0].start, plan.chunkOffsets[0]);
    index.AddPosition(desc.chunks[7].start, plan.chunkOffsets[7]);
    EXPECT_TRUE(index.Validate(rec));
    EXPECT_EQ(rec.Tell(), 123u);  // position restored

    CQRVAChunkIndex wrongTime;
    wrongTime.AddPosition(desc.chunks[7].start + 1, plan.chunkOffsets[7]);
    EXPECT_FALSE(wrongTime.Validate(rec));
    CQRVAChunkIndex wrongChunk;
    wrongChunk.AddPosition(desc.chunks[7].start, plan.chunkOffsets[6]);
    EXPECT_FALSE(wrongChunk.Validate(rec));
    CQRVAChunkIndex beyond;
    beyond.AddPosition(0, plan.fileSize - 20);
    EXPECT_FALSE(beyond.Validate(rec));
    CQRVAChunkIndex wraps;
    wraps.AddPosition(0, ~uint64_t{0} - 3);
    EXPECT_FALSE(wraps.Validate(rec));
    EXPECT_EQ(rec.Tell(), 123u);
}

TEST(ChunkIndexState, ClearDropsTheSweepListsAndTheyCanBeEmptyButPresent) {
    CQRVAChunkIndex index;
    EXPECT_EQ(index.sweepStarts(), nullptr);
    EXPECT_FALSE(index.HasSweepList());
    index.SetSweeps({}, {});
    EXPECT_NE(index.sweepStarts(), nullptr);
    EXPECT_FALSE(index.HasSweepList());
    index.SetSweeps({1, 5, 9}, {2, 6});  // mismatched lengths use the shorter
    EXPECT_EQ(index.SweepCount(), 2u);
    EXPECT_TRUE(index.HasSweepList());
    index.AddPosition(1, 2);
    index.ClearPositions();
    EXPECT_TRUE(index.positions().empty());
    EXPECT_TRUE(index.HasSweepList());
    index.Clear();
    EXPECT_EQ(index.sweepStarts(), nullptr);
    EXPECT_EQ(index.sweepEnds(), nullptr);
}

TEST(ChunkIndexAppend, ShiftsJoinsTouchingSweepsAndRefusesDisorder) {
    CQRVAChunkIndex first;
    first.AddPosition(0, 100);
    first.AddPosition(50, 400);
    first.SetSweeps({0}, {100});
    CQRVAChunkIndex second;
    second.AddPosition(1000, 100);
    second.SetSweeps({1000, 1300}, {1200, 1400});

    // Continuous join: the second recording moves back so it starts at 100.
    CQRVAChunkIndex joined = first;
    ASSERT_TRUE(joined.Append(second, -900, 500));
    EXPECT_EQ(joined.positions(), (std::vector<PositionEntry>{{0, 100}, {50, 400}, {100, 600}}));
    EXPECT_EQ(*joined.sweepStarts(), (std::vector<uint64_t>{0, 400}));
    EXPECT_EQ(*joined.sweepEnds(), (std::vector<uint64_t>{300, 500}));

    // Unshifted (triggered) join keeps the sweeps apart.
    CQRVAChunkIndex apart = first;
    ASSERT_TRUE(apart.Append(second, 0, 500));
    EXPECT_EQ(apart.SweepCount(), 3u);
    EXPECT_EQ(apart.positions().back(), (PositionEntry{1000, 600}));

    // Results that would break the ordering, or leave the tick range, are refused.
    CQRVAChunkIndex refused = first;
    EXPECT_FALSE(refused.Append(second, -990, 500));  // sweep 10..210 starts before 100
    EXPECT_FALSE(refused.Append(second, 0, 0));       // offset 100 after 400
    EXPECT_FALSE(refused.Append(second, -2000, 500)); // before 1601
    EXPECT_EQ(refused.positions().size(), 2u);
    EXPECT_EQ(refused.SweepCount(), 1u);

    // Appending to an index without sweep lists creates them.
    CQRVAChunkIndex none;
    ASSERT_TRUE(none.Append(second, 0, 0));
    EXPECT_EQ(none.SweepCount(), 2u);
}

}  // namespace
}  // namespace qrd
