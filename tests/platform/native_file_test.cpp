// The platform's file class: positional reads and writes with 64-bit
// offsets, and which paths it agrees to open.
#include "platform/file_system.h"
#include "platform/native_file.h"
#include "temporary_folder_test.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace {

using nsplatform::NativeFile;

class NativeFileTest : public TemporaryFolderTest {
protected:
    NativeFileTest() : TemporaryFolderTest("nsfile-") {}
};

TEST_F(NativeFileTest, WritesAndReadsAtAbsoluteOffsets) {
    NativeFile out;
    ASSERT_TRUE(out.Create(Path("data.bin")));
    ASSERT_TRUE(out.WriteAt(10, "xyz", 3));  // beyond the end: the gap reads as zeros
    ASSERT_TRUE(out.WriteAt(0, "abc", 3));
    uint64_t size = 0;
    ASSERT_TRUE(out.QuerySize(size));
    EXPECT_EQ(size, 13u);
    char back[13];
    ASSERT_EQ(out.ReadAt(0, back, sizeof back), 13);  // a file made for writing reads too
    EXPECT_EQ(std::string(back, 13), std::string("abc\0\0\0\0\0\0\0xyz", 13));
    ASSERT_TRUE(out.Close());

    NativeFile in;
    ASSERT_TRUE(in.OpenRead(Path("data.bin")));
    char tail[8];
    std::memset(tail, '-', sizeof tail);
    EXPECT_EQ(in.ReadAt(11, tail, sizeof tail), 2);  // short at the end
    EXPECT_EQ(std::string(tail, 3), "yz-");
    EXPECT_EQ(in.ReadAt(13, tail, 1), 0);
    EXPECT_EQ(in.ReadAt(1000, tail, 1), 0);
    // Offsets above 4 GiB keep their high half: a dropped high half would
    // read "c" at offset 2 here.
    EXPECT_EQ(in.ReadAt((1ull << 32) + 2, tail, 1), 0);
    EXPECT_LE(in.ReadAt((1ull << 63) - 1, tail, 1), 0);  // nothing there, or refused
    EXPECT_EQ(in.ReadAt(1ull << 63, tail, 1), -1);      // no such offset
    EXPECT_FALSE(in.WriteAt(0, "q", 1));  // opened for reading only
    EXPECT_EQ(in.ReadAt(0, back, 3), 3);
    EXPECT_EQ(std::string(back, 3), "abc");
}

TEST_F(NativeFileTest, CreateEmptiesAnExistingFile) {
    NativeFile file;
    ASSERT_TRUE(file.Create(Path("again.bin")));
    ASSERT_TRUE(file.WriteAt(0, "0123456789", 10));
    ASSERT_TRUE(file.Create(Path("again.bin")));  // closes the first handle
    uint64_t size = 99;
    ASSERT_TRUE(file.QuerySize(size));
    EXPECT_EQ(size, 0u);
}

TEST_F(NativeFileTest, OnlyRegularFilesOpenForReading) {
    NativeFile file;
    EXPECT_FALSE(file.OpenRead(dir));  // a folder
    EXPECT_FALSE(file.OpenRead(Path("missing.bin")));
    EXPECT_FALSE(file.Create(Path("no-such-folder") + nsplatform::PathSeparator() + "x.bin"));
    const std::string device = nsplatform::PathSeparator() == '\\' ? "NUL" : "/dev/null";
    EXPECT_FALSE(file.OpenRead(device));
    EXPECT_FALSE(file.IsOpen());
}

TEST_F(NativeFileTest, AClosedFileRefusesEveryOperation) {
    NativeFile file;
    char byte = 0;
    uint64_t size = 0;
    EXPECT_EQ(file.ReadAt(0, &byte, 1), -1);
    EXPECT_FALSE(file.WriteAt(0, &byte, 1));
    EXPECT_FALSE(file.QuerySize(size));
    EXPECT_TRUE(file.Close());
    ASSERT_TRUE(file.Create(Path("closed.bin")));
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(file.ReadAt(0, &byte, 1), -1);
}

}  // namespace
