// Reading and writing the "LAYOUT  " block of configured-layout recordings.
// Blocks are composed here with LeWriter and go through a real temporary file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "container/binary_file.h"
#include "container/le_codec.h"
#include "layout/qr_layout.h"

namespace qrd {
namespace {

// A file holding the given bytes, opened for reading; removed afterwards.
class TempRecording {
public:
    explicit TempRecording(const std::vector<uint8_t>& bytes) {
        static int counter = 0;
        path_ = ::testing::TempDir() + "qrd_layout_block_" + std::to_string(getpid()) + "_" +
                std::to_string(counter++) + ".bin";
        BinaryFile out;
        EXPECT_TRUE(out.OpenWrite(path_));
        EXPECT_TRUE(out.Write(bytes.data(), bytes.size()));
        EXPECT_TRUE(out.Close());
        EXPECT_TRUE(file.OpenRead(path_));
    }
    ~TempRecording() {
        file.Close();
        std::remove(path_.c_str());
    }
    BinaryFile file;

private:
    std::string path_;
};

struct BlockSpec {
    std::string tag = "LAYOUT  ";
    int32_t version = 3;
    int32_t sourceType = 3;
    int32_t counts[4] = {2, 1, 1, 0};
    std::optional<int32_t> declaredEntries;  // unset: the number of entries given
    std::vector<CChannelEntry> entries;
};

size_t EntrySize(int32_t version) {
    return version == 1 ? 844 : version == 2 ? 1360 : 1368;
}

std::vector<uint8_t> ComposeBlock(const BlockSpec& desc) {
    std::vector<uint8_t> out;
    LeWriter w(out);
    w.Bytes(desc.tag.data(), 8);
    const size_t e = EntrySize(desc.version);
    w.U64(32 + e * desc.entries.size());
    w.I32(desc.version);
    w.I32(desc.sourceType);
    for (int32_t c : desc.counts) w.I32(c);
    w.I32(0x55AA);  // reserved: readers skip it
    w.I32(desc.declaredEntries.value_or(static_cast<int32_t>(desc.entries.size())));
    for (const CChannelEntry& entry : desc.entries) w.Bytes(entry.bytes(), e);
    return out;
}

CChannelEntry NamedEntry(int32_t hwid, const std::string& name) {
    CChannelEntry e;
    e.setHwid(hwid);
    e.setSubtype(0);
    e.setName(name);
    e.setLabel(name + "-label");
    e.setPosX(100 * hwid);
    e.setDyextend(77);  // the last field a version-1 entry stores
    e.setAltName("stored-alt");
    e.setCatalogue("stored-catalogue");
    e.setMapIndex(500 + hwid);
    e.setMapCondition(3);
    return e;
}

TEST(LayoutBlock, VersionOneEntriesCompleteTheFieldsTheyLack) {
    BlockSpec desc;
    desc.version = 1;
    desc.entries = {NamedEntry(4, "e4"), NamedEntry(9, "e9")};
    std::vector<uint8_t> bytes = ComposeBlock(desc);
    ASSERT_EQ(bytes.size(), 48u + 2 * 844);
    bytes.push_back(0xEE);  // whatever follows the block stays unread

    TempRecording rec(bytes);
    CQRLayout layout;
    layout.reserved = 42;
    ASSERT_TRUE(ReadLayoutBlock(layout, rec.file));
    EXPECT_EQ(rec.file.Tell(), 48u + 2 * 844);
    EXPECT_EQ(layout.totalCount, 2);
    EXPECT_EQ(layout.analogCount, 1);
    EXPECT_EQ(layout.reserved, 42);  // the block's reserved word is dropped
    ASSERT_EQ(layout.entries.size(), 2u);
    const CChannelEntry& e = layout.entries[1];
    EXPECT_EQ(e.label(), "e9-label");
    EXPECT_EQ(e.dyextend(), 77);
    EXPECT_EQ(e.altName(), "e9");
    EXPECT_EQ(e.catalogue(), "");
    EXPECT_EQ(e.mapIndex(), 9);
    EXPECT_EQ(e.mapCondition(), 0);
    EXPECT_EQ(layout.entries[0].mapIndex(), 4);
}

TEST(LayoutBlock, VersionTwoAndThreeKeepWhatTheyStore) {
    BlockSpec desc;
    desc.version = 2;
    desc.entries = {NamedEntry(1, "x")};
    {
        TempRecording rec(ComposeBlock(desc));
        CQRLayout layout;
        ASSERT_TRUE(ReadLayoutBlock(layout, rec.file));
        const CChannelEntry& e = layout.entries.at(0);
        EXPECT_EQ(e.altName(), "stored-alt");
        EXPECT_EQ(e.catalogue(), "stored-catalogue");
        EXPECT_EQ(e.mapIndex(), 1);  // recomputed for version 2
        EXPECT_EQ(e.mapCondition(), 0);
    }
    desc.version = 3;
    {
        TempRecording rec(ComposeBlock(desc));
        CQRLayout layout;
        ASSERT_TRUE(ReadLayoutBlock(layout, rec.file));
        EXPECT_EQ(layout.entries.at(0), desc.entries[0]);  // byte for byte
    }
}

TEST(LayoutBlock, WrongTagsAndVersionsAreRejectedAndLeaveTheLayoutAlone) {
    CQRLayout original;
    BuildStandardLayout(original, 1, 64, 60, 3, 1, 0);

    std::vector<BlockSpec> bad(6);
    bad[0].tag = "LAYOUTxx";
    bad[1].tag = std::string("LAYOUT\0\0", 8);
    bad[2].tag = "layout  ";
    bad[3].version = 4;
    bad[4].version = 0;
    bad[5].version = -1;
    for (BlockSpec& desc : bad) {
        desc.entries = {NamedEntry(0, "n")};
        TempRecording rec(ComposeBlock(desc));
        CQRLayout layout = original;
        EXPECT_FALSE(ReadLayoutBlock(layout, rec.file)) << desc.tag << " v" << desc.version;
        EXPECT_EQ(layout.sourceType, 1);
        ASSERT_EQ(layout.entries.size(), 64u);
        EXPECT_EQ(layout.entries[0].name(), "47");
    }
}

TEST(LayoutBlock, EntryCountsTheFileCannotHoldAreRejected) {
    BlockSpec desc;
    desc.version = 1;
    desc.entries = {NamedEntry(0, "a"), NamedEntry(1, "b")};

    desc.declaredEntries = 3;  // one more than the file holds
    {
        TempRecording rec(ComposeBlock(desc));
        CQRLayout layout;
        EXPECT_FALSE(ReadLayoutBlock(layout, rec.file));
        EXPECT_TRUE(layout.entries.empty());
        EXPECT_EQ(rec.file.Tell(), 48u);  // refused before reading any entry
    }
    for (int32_t count : {-1, INT32_MIN, INT32_MAX, kMaxLayoutEntries + 1}) {
        desc.declaredEntries = count;
        TempRecording rec(ComposeBlock(desc));
        CQRLayout layout;
        EXPECT_FALSE(ReadLayoutBlock(layout, rec.file)) << count;
    }
    // Exactly enough bytes is fine, and so is an empty layout.
    desc.declaredEntries = 2;
    {
        TempRecording rec(ComposeBlock(desc));
        CQRLayout layout;
        EXPECT_TRUE(ReadLayoutBlock(layout, rec.file));
    }
    desc.entries.clear();
    desc.declaredEntries = 0;
    {
        TempRecording rec(ComposeBlock(desc));
        CQRLayout layout;
        BuildStandardLayout(layout, 0, 3, 3, 0, 0, 0);
        EXPECT_TRUE(ReadLayoutBlock(layout, rec.file));
        EXPECT_TRUE(layout.entries.empty());
    }
}

TEST(LayoutBlock, TruncatedBlocksFail) {
    BlockSpec desc;
    desc.entries = {NamedEntry(0, "a")};
    const std::vector<uint8_t> full = ComposeBlock(desc);
    for (size_t keep : {size_t{0}, size_t{7}, size_t{16}, size_t{47}}) {
        TempRecording rec(std::vector<uint8_t>(full.begin(), full.begin() + keep));
        CQRLayout layout;
        EXPECT_FALSE(ReadLayoutBlock(layout, rec.file)) << keep;
    }
}

TEST(LayoutBlock, AnOldBlockIsWrittenBackAsVersionThree) {
    BlockSpec desc;
    desc.version = 1;
    desc.sourceType = 3;
    desc.counts[0] = 3;
    desc.entries = {NamedEntry(0, "a"), NamedEntry(1, "b"), NamedEntry(2, "c")};
    TempRecording rec(ComposeBlock(desc));
    CQRLayout layout;
    ASSERT_TRUE(ReadLayoutBlock(layout, rec.file));
    layout.reserved = 12345;  // never written: the block's word is 0

    std::vector<uint8_t> out = {0xAB};  // appended, not replaced
    WriteLayoutBlock(layout, out);
    ASSERT_EQ(out.size(), 1u + 48 + 3 * 1368);
    LeReader r(out.data() + 1, out.size() - 1);
    char tag[8];
    r.Bytes(tag, 8);
    EXPECT_EQ(std::string(tag, 8), "LAYOUT  ");
    EXPECT_EQ(r.U64(), 32u + 1368 * 3);
    EXPECT_EQ(r.I32(), 3);
    EXPECT_EQ(r.I32(), 3);  // source type
    EXPECT_EQ(r.I32(), 3);  // total
    r.Skip(12);
    EXPECT_EQ(r.I32(), 0);  // reserved
    EXPECT_EQ(r.I32(), 3);

    // Written through a file, the block reads back to the same layout.
    const std::string path = ::testing::TempDir() + "qrd_layout_roundtrip_" +
                             std::to_string(getpid()) + ".bin";
    {
        BinaryFile f;
        ASSERT_TRUE(f.OpenWrite(path));
        ASSERT_TRUE(WriteLayoutBlock(layout, f));
        ASSERT_TRUE(f.Close());
    }
    BinaryFile f;
    ASSERT_TRUE(f.OpenRead(path));
    CQRLayout back;
    ASSERT_TRUE(ReadLayoutBlock(back, f));
    EXPECT_EQ(f.Remaining(), 0u);
    EXPECT_EQ(back.totalCount, 3);
    EXPECT_TRUE(back.entries == layout.entries);
    EXPECT_EQ(back.entries.at(2).altName(), "c");
    f.Close();
    std::remove(path.c_str());
}

}  // namespace
}  // namespace qrd
