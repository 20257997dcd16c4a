// The buffered file under every QRD read and write: small reads across the
// buffer's edges, large reads past it, positional reads, writes that jump
// back, and reading a file while it is being written.
#include "container/binary_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qrd {
namespace {

// Bytes that differ from their neighbours, so a read from the wrong offset
// shows.
std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
    std::vector<uint8_t> bytes(n);
    uint32_t x = seed;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t n) {
    return std::vector<uint8_t>(v.begin() + static_cast<std::ptrdiff_t>(from),
                                v.begin() + static_cast<std::ptrdiff_t>(from + n));
}

class BinaryFileTest : public ::testing::Test {
protected:
    // 700 KiB: several buffer fills.
    const std::vector<uint8_t> data = Pattern(700 * 1024, 7);
    qrd_test::TempDir dir;
    std::string path = dir.File("file.bin");

    void WriteData() {
        BinaryFile out;
        ASSERT_TRUE(out.OpenWrite(path));
        // Small writes, one larger than the buffer, small writes again.
        size_t at = 0;
        for (size_t piece : {size_t{3}, size_t{4093}, size_t{300 * 1024}, size_t{1}, size_t{8000}}) {
            ASSERT_TRUE(out.Write(data.data() + at, piece));
            at += piece;
        }
        while (at < data.size()) {
            const size_t piece = std::min<size_t>(5000, data.size() - at);
            ASSERT_TRUE(out.Write(data.data() + at, piece));
            at += piece;
        }
        EXPECT_EQ(out.Size(), data.size());
        EXPECT_TRUE(out.Close());
    }
};

TEST_F(BinaryFileTest, SmallAndLargeReadsSeeTheBytesOfTheirOffsets) {
    WriteData();
    BinaryFile in;
    ASSERT_TRUE(in.OpenRead(path));
    EXPECT_EQ(in.Size(), data.size());

    // Odd-sized sequential reads cross the buffer's edge many times.
    std::vector<uint8_t> got(613);
    for (size_t at = 0; at + got.size() <= 400 * 1024; at += got.size()) {
        ASSERT_TRUE(in.Read(got.data(), got.size())) << at;
        ASSERT_EQ(got, Slice(data, at, got.size())) << at;
    }
    // A read larger than the buffer that starts inside the buffered bytes.
    const uint64_t at = in.Tell();
    std::vector<uint8_t> big(280 * 1024);
    ASSERT_TRUE(in.Read(big.data(), big.size()));
    EXPECT_EQ(big, Slice(data, static_cast<size_t>(at), big.size()));
    EXPECT_EQ(in.Tell(), at + big.size());

    // Positional reads leave the position alone, backwards too.
    std::vector<uint8_t> back(100);
    ASSERT_TRUE(in.ReadAt(10, back.data(), back.size()));
    EXPECT_EQ(back, Slice(data, 10, back.size()));
    EXPECT_EQ(in.Tell(), at + big.size());
    ASSERT_TRUE(in.Seek(5));
    ASSERT_TRUE(in.Read(back.data(), back.size()));
    EXPECT_EQ(back, Slice(data, 5, back.size()));
    // Reads larger than a first fill but smaller than a direct read, after jumps.
    std::vector<uint8_t> mid(20000);
    for (uint64_t at2 : {uint64_t{500000}, uint64_t{7}, uint64_t{data.size() - 20000}}) {
        ASSERT_TRUE(in.ReadAt(at2, mid.data(), mid.size())) << at2;
        EXPECT_EQ(mid, Slice(data, static_cast<size_t>(at2), mid.size())) << at2;
    }
}

TEST_F(BinaryFileTest, ReadsAreAllOrNothingAtTheEnd) {
    WriteData();
    BinaryFile in;
    ASSERT_TRUE(in.OpenRead(path));
    std::vector<uint8_t> got(16);
    ASSERT_TRUE(in.Seek(data.size() - 8));
    EXPECT_EQ(in.Remaining(), 8u);
    EXPECT_FALSE(in.Read(got.data(), got.size()));
    EXPECT_FALSE(in.ReadAt(data.size() - 8, got.data(), 300 * 1024));  // large and short
    EXPECT_TRUE(in.ReadAt(data.size() - 8, got.data(), 8));
    ASSERT_TRUE(in.Seek(data.size() + 100));  // beyond the end: nothing to read
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_FALSE(in.Read(got.data(), 1));
    uint64_t value = 0;
    ASSERT_TRUE(in.Seek(data.size() - 4));
    EXPECT_FALSE(in.ReadU64(value));
}

TEST_F(BinaryFileTest, SmallFilesGetASmallBufferAndStillReadWhole) {
    // Files smaller than the buffer get a buffer of their own size; reads
    // that ask for more than such a buffer holds go through it piece by
    // piece, and reads past the end still fail without touching memory
    // beyond the buffer.
    for (size_t size : {size_t{10}, size_t{4096}, size_t{6000}, size_t{70 * 1024}}) {
        const std::vector<uint8_t> small = Pattern(size, static_cast<uint32_t>(size));
        const std::string smallPath = dir.File("small" + std::to_string(size) + ".bin");
        {
            BinaryFile out;
            ASSERT_TRUE(out.OpenWrite(smallPath));
            ASSERT_TRUE(out.Write(small.data(), small.size()));
            ASSERT_TRUE(out.Close());
        }
        BinaryFile in;
        ASSERT_TRUE(in.OpenRead(smallPath));
        std::vector<uint8_t> got(size);
        ASSERT_TRUE(in.Read(got.data(), 1)) << size;
        ASSERT_TRUE(in.Read(got.data() + 1, size - 1)) << size;
        EXPECT_EQ(got, small) << size;
        std::vector<uint8_t> more(size + 5000);
        EXPECT_FALSE(in.ReadAt(0, more.data(), more.size())) << size;
        if (size > 8) {
            ASSERT_TRUE(in.ReadAt(size - 8, more.data(), 8)) << size;
            EXPECT_EQ(Slice(more, 0, 8), Slice(small, size - 8, 8)) << size;
        }
    }
}

TEST_F(BinaryFileTest, WritesThatJumpBackAndReadsWhileWriting) {
    BinaryFile out;
    ASSERT_TRUE(out.OpenWrite(path));
    ASSERT_TRUE(out.Write(data.data(), 1000));
    ASSERT_TRUE(out.WriteU64(0));  // a placeholder, patched below
    ASSERT_TRUE(out.Write(data.data() + 1008, 2000));
    EXPECT_EQ(out.Size(), 3008u);
    // Read back what is still in the buffer.
    std::vector<uint8_t> got(3000);
    ASSERT_TRUE(out.ReadAt(8, got.data(), got.size()));
    EXPECT_EQ(Slice(got, 0, 992), Slice(data, 8, 992));
    // Patch the placeholder, then go on at the end.
    ASSERT_TRUE(out.Seek(1000));
    ASSERT_TRUE(out.WriteU64(0x1122334455667788ull));
    ASSERT_TRUE(out.Seek(3008));
    ASSERT_TRUE(out.Write(data.data(), 10));
    EXPECT_EQ(out.Size(), 3018u);
    EXPECT_EQ(out.Tell(), 3018u);
    ASSERT_TRUE(out.Flush());
    ASSERT_TRUE(out.Close());

    BinaryFile in;
    ASSERT_TRUE(in.OpenRead(path));
    EXPECT_EQ(in.Size(), 3018u);
    uint64_t patched = 0;
    ASSERT_TRUE(in.Seek(1000));
    ASSERT_TRUE(in.ReadU64(patched));
    EXPECT_EQ(patched, 0x1122334455667788ull);
    std::vector<uint8_t> tail(10);
    ASSERT_TRUE(in.ReadAt(3008, tail.data(), tail.size()));
    EXPECT_EQ(tail, Slice(data, 0, 10));
}

TEST_F(BinaryFileTest, WriteFailuresAreStickyAndFoldersAreRefused) {
    WriteData();
    BinaryFile in;
    ASSERT_TRUE(in.OpenRead(path));
    EXPECT_FALSE(in.Write("x", 1));  // opened for reading
    EXPECT_TRUE(in.WriteFailed());
    EXPECT_FALSE(in.Flush());
    EXPECT_FALSE(in.Write("x", 1));

    BinaryFile folder;
    EXPECT_FALSE(folder.OpenRead(dir.path()));
    EXPECT_FALSE(folder.IsOpen());
    EXPECT_EQ(folder.Size(), 0u);
    EXPECT_FALSE(folder.OpenWrite(dir.File("missing-folder/x.bin")));
    EXPECT_FALSE(folder.Write("x", 1));
    EXPECT_TRUE(folder.Close());  // nothing open, nothing lost
}

}  // namespace
}  // namespace qrd
