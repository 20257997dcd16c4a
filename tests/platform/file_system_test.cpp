// Paths, folders, the running module and local time, as the platform layer
// reports them.
#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/module_path.h"
#include "temporary_folder_test.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

const bool kWindowsPaths = nsplatform::PathSeparator() == '\\';

TEST(Paths, FileNameStartsAfterTheLastSeparator) {
    using nsplatform::FileNameStart;
    EXPECT_EQ(FileNameStart("rec.map"), 0u);
    EXPECT_EQ(FileNameStart("data/rec.map"), 5u);
    EXPECT_EQ(FileNameStart("/data/sub/rec.map"), 10u);
    EXPECT_EQ(FileNameStart("data/"), 5u);
    if (kWindowsPaths) {
        EXPECT_EQ(FileNameStart("C:\\data\\rec.map"), 8u);
        EXPECT_EQ(FileNameStart("C:rec.map"), 2u);  // drive-relative
        EXPECT_EQ(FileNameStart("C:\\data/sub\\rec.map"), 12u);
        EXPECT_TRUE(nsplatform::HasDrive("c:\\rec.map"));
        EXPECT_FALSE(nsplatform::HasDrive("\\\\server\\share\\rec.map"));
    } else {
        EXPECT_EQ(FileNameStart("odd\\name.map"), 0u);  // a backslash is part of a name
        EXPECT_FALSE(nsplatform::HasDrive("C:rec.map"));
    }
    EXPECT_FALSE(nsplatform::HasDrive("1:rec.map"));
}

class Folder : public TemporaryFolderTest {
protected:
    Folder() : TemporaryFolderTest("nsfs-") {}
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
        return Path(name);
    }
};

TEST_F(Folder, TellsFilesFoldersAndMissingPathsApart) {
    const std::string file = Write("seven.bin", "1234567");
    uint64_t size = 0;
    EXPECT_TRUE(nsplatform::IsRegularFile(file, &size));
    EXPECT_EQ(size, 7u);
    EXPECT_TRUE(nsplatform::IsRegularFile(file));
    EXPECT_FALSE(nsplatform::IsRegularFile(dir, &size));
    EXPECT_FALSE(nsplatform::IsRegularFile(Path("missing")));
    EXPECT_TRUE(nsplatform::PathExists(file));
    EXPECT_TRUE(nsplatform::PathExists(dir));
    EXPECT_FALSE(nsplatform::PathExists(Path("missing")));
}

TEST_F(Folder, SameFileSeesThroughOtherSpellingsOfAPath) {
    const std::string a = Write("a.bin", "a");
    const std::string b = Write("b.bin", "a");  // same contents, other file
    const char sep = nsplatform::PathSeparator();
    EXPECT_TRUE(nsplatform::SameFile(a, a));
    EXPECT_TRUE(nsplatform::SameFile(a, dir + sep + "." + sep + "a.bin"));
    EXPECT_FALSE(nsplatform::SameFile(a, b));
    EXPECT_FALSE(nsplatform::SameFile(a, Path("missing")));
    EXPECT_FALSE(nsplatform::SameFile(Path("missing"), Path("missing")));
}

TEST_F(Folder, TemporaryFoldersAreNewEachTime) {
    const std::string other = nsplatform::CreateTemporaryFolder("nsfs-");
    ASSERT_FALSE(other.empty());
    EXPECT_NE(other, dir);
    EXPECT_TRUE(std::filesystem::is_directory(other));
    EXPECT_TRUE(std::filesystem::is_empty(other));
    EXPECT_EQ(std::filesystem::path(other).filename().string().rfind("nsfs-", 0), 0u);
    std::filesystem::remove(other);
}

TEST(Process, KnowsItsFolderAndItsProgram) {
    EXPECT_TRUE(nsplatform::SameFile(nsplatform::CurrentDirectory(), std::filesystem::current_path().string()));
    const std::string program = nsplatform::ProgramPath();
    ASSERT_FALSE(program.empty());
    EXPECT_TRUE(nsplatform::IsRegularFile(program));
    // This test's own code lies in the program itself.
    const std::string module = nsplatform::ModulePathOf(reinterpret_cast<const void*>(&nsplatform::ProgramPath));
    EXPECT_TRUE(nsplatform::SameFile(module, program)) << module << " vs " << program;
}

// Days since 1970-01-01 of a Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

TEST(LocalTime, FieldsDescribeTheSameInstantShiftedByTheZone) {
    // Whatever the machine's zone, local time differs from UTC by whole
    // quarter hours and at most 14 hours, and the weekday matches the date.
    // Field mix-ups (month from 0 or 1, years from 1900, weekday) break this.
    for (int64_t t : {int64_t{0}, int64_t{951782400} /* 2000-02-29 */, int64_t{1719835200} /* 2024-07-01 12:00 */,
                      int64_t{-2208988800} /* 1900-01-01 */, int64_t{4102444799} /* 2099-12-31 23:59:59 */}) {
        std::tm local{};
        if (!nsplatform::ToLocalTime(t, local)) {
            // Only a C library with a 32-bit time_t (1901 to 2038) may refuse.
            EXPECT_LT(sizeof(std::time_t), 8u) << t;
            EXPECT_TRUE(t < INT32_MIN || t > INT32_MAX) << t;
            continue;
        }
        const int64_t days = DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
        const int64_t asUtc = days * 86400 + local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
        const int64_t offset = asUtc - t;
        EXPECT_LE(std::llabs(offset), 14 * 3600) << t;
        EXPECT_EQ(offset % 900, 0) << t;
        EXPECT_EQ(local.tm_wday, static_cast<int>(((days % 7) + 11) % 7)) << t;  // 1970-01-01 was a Thursday
    }
}

}  // namespace
