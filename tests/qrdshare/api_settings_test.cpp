// The settings file beside the library: where it is looked for and how its
// values are read.
#include "api/library_settings.h"
#include "platform/file_system.h"
#include "platform/module_path.h"
#include "support/fresh_library.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>

namespace qrd {
namespace {

using qrd_test::TempDir;

TEST(SettingsPath, ReplacesTheExtensionOfTheLibraryFileName) {
    EXPECT_EQ(SettingsPathForLibrary("/opt/ns/lib/libqrdshare.so"), "/opt/ns/lib/libqrdshare.ini");
    EXPECT_EQ(SettingsPathForLibrary("/opt/v1.2/libqrdshare"), "/opt/v1.2/libqrdshare.ini");  // dot in a folder
    EXPECT_EQ(SettingsPathForLibrary("/x/libqrdshare.so.3"), "/x/libqrdshare.so.ini");
    EXPECT_EQ(SettingsPathForLibrary("libqrdshare.so"), "libqrdshare.ini");
    EXPECT_EQ(SettingsPathForLibrary(""), "");
    EXPECT_EQ(SettingsPathForLibrary("C:\\ns\\qrdshare.dll"), "C:\\ns\\qrdshare.ini");
    if (nsplatform::PathSeparator() == '\\') {  // folders named in Windows spelling
        EXPECT_EQ(SettingsPathForLibrary("C:\\v1.2\\qrdshare"), "C:\\v1.2\\qrdshare.ini");
        EXPECT_EQ(SettingsPathForLibrary("C:qrdshare"), "C:qrdshare.ini");
    }
}

TEST(SettingsPath, PathsBeyond259CharactersAreNotUsed) {
    // "/" + name + ".ini": 259 characters is the longest accepted.
    const std::string fits = "/" + std::string(254, 'a');
    EXPECT_EQ(SettingsPathForLibrary(fits + ".so").size(), 259u);
    EXPECT_EQ(SettingsPathForLibrary(fits + "a.so"), "");
}

class SettingsFile : public ::testing::Test {
protected:
    LibrarySettings Read(const std::string& iniText) { return ReadLibrarySettings(dir.Write("s.ini", iniText)); }
    int32_t Base(const std::string& value) {
        return Read("[Settings]\nBaseIsPressedStart=" + value + "\n").baseIsPressedStart;
    }
    TempDir dir;
};

TEST_F(SettingsFile, IntegerValuesAreReadAsHexOrSignedDecimal) {
    EXPECT_EQ(Base("0x10"), 16);
    EXPECT_EQ(Base("0X1f"), 31);
    EXPECT_EQ(Base("-3"), -3);
    EXPECT_EQ(Base("1"), 1);
    EXPECT_EQ(Base("  42  "), 42);  // surrounding blanks are not part of the value
    EXPECT_EQ(Base("007"), 7);
}

TEST_F(SettingsFile, MalformedValuesGiveZero) {
    EXPECT_EQ(Base("12abc"), 0);
    EXPECT_EQ(Base(""), 0);
    EXPECT_EQ(Base("0x"), 0);
    EXPECT_EQ(Base("0x1g"), 0);
    EXPECT_EQ(Base("-0x10"), 0);
    EXPECT_EQ(Base("1.5"), 0);
    EXPECT_EQ(Base("yes"), 0);
    // 63 characters are still a number, 64 are not.
    EXPECT_EQ(Base(std::string(61, '0') + "12"), 12);
    EXPECT_EQ(Base(std::string(62, '0') + "12"), 0);
}

TEST_F(SettingsFile, OutOfRangeValuesSaturateInsteadOfWrappingToZero) {
    EXPECT_EQ(Base("0x100000000"), INT32_MAX);  // would wrap to 0 in 32 bits
    EXPECT_EQ(Base("99999999999"), INT32_MAX);
    EXPECT_EQ(Base("-99999999999"), INT32_MIN);
    EXPECT_EQ(Base("0x7fffffff"), INT32_MAX);
}

TEST_F(SettingsFile, SectionAndKeyMatchRegardlessOfCase) {
    EXPECT_EQ(Read("[SETTINGS]\nbaseispressedstart=5\n").baseIsPressedStart, 5);
    EXPECT_EQ(Read("[settings]\nBASEISPRESSEDSTART=6\n").baseIsPressedStart, 6);
    EXPECT_EQ(Read("[Other]\nBaseIsPressedStart=7\n").baseIsPressedStart, 0);
    EXPECT_EQ(Read("[Settings]\nBaseIsPressed=7\n").baseIsPressedStart, 0);
    EXPECT_EQ(Read("BaseIsPressedStart=7\n").baseIsPressedStart, 0);  // outside any section
}

TEST_F(SettingsFile, IndexCacheDirectoryIsKeptAsText) {
    const LibrarySettings s = Read("[Settings]\nindexcachedirectory = /var/cache/qrd \nBaseIsPressedStart=1\n");
    EXPECT_EQ(s.indexCacheDirectory, "/var/cache/qrd");
    EXPECT_EQ(s.baseIsPressedStart, 1);
    EXPECT_EQ(Read("[Settings]\nBaseIsPressedStart=1\n").indexCacheDirectory, "");
}

TEST_F(SettingsFile, MissingOrUnreadableFilesGiveDefaults) {
    EXPECT_EQ(ReadLibrarySettings(dir.File("absent.ini")).baseIsPressedStart, 0);
    EXPECT_EQ(ReadLibrarySettings(dir.path()).baseIsPressedStart, 0);  // a folder
    EXPECT_EQ(ReadLibrarySettings("").baseIsPressedStart, 0);
    EXPECT_EQ(Read(std::string("\0\xff\xfe[Settings]\n\0\0", 16)).baseIsPressedStart, 0);
    // Far larger than any settings file: not read at all.
    EXPECT_EQ(Read("[Settings]\nBaseIsPressedStart=4\n;" + std::string(2 << 20, 'x') + "\n").baseIsPressedStart, 0);
}

TEST_F(SettingsFile, ASettingsFileBehindAnOverlongLibraryPathIsIgnored) {
    // A real settings file that would be found if the length limit were not
    // applied: folders nest the path beyond 260 characters.
    std::string folder = dir.path();
    while (folder.size() < 250) folder += "/" + std::string(40, 'd');
    std::filesystem::create_directories(folder);
    const std::string library = folder + "/libqrdshare.so";
    const std::string ini = folder + "/libqrdshare.ini";
    {
        TempDir scratch;  // write through the helper, then move into place
        std::filesystem::copy_file(scratch.Write("s.ini", "[Settings]\nBaseIsPressedStart=9\n"), ini);
    }
    ASSERT_GT(ini.size(), kMaxSettingsPathLength);
    // Windows itself opens no path this long through its narrow-string calls,
    // so there the system's limit and ours coincide and nothing is left to show.
    if (!nsplatform::IsRegularFile(ini)) GTEST_SKIP() << "the system opens no path of " << ini.size() << " characters";
    EXPECT_EQ(ReadLibrarySettings(ini).baseIsPressedStart, 9);  // the file itself is fine
    EXPECT_EQ(ReadLibrarySettings(SettingsPathForLibrary(library)).baseIsPressedStart, 0);
}

TEST(OwnModule, NamesTheFileThatHoldsTheCode) {
    // Inside a test program the code is part of the program itself.
    const std::string own = OwnModulePath();
    ASSERT_FALSE(own.empty());
    EXPECT_TRUE(std::filesystem::equivalent(own, nsplatform::ProgramPath())) << own;
}

TEST(LoadedLibrary, LoadsAndAnswersWithSettingsFilesOfAnyContent) {
    for (const std::string& ini :
         {std::string("[Settings]\nBaseIsPressedStart=0x10\nIndexCacheDirectory=/nonexistent/cache\n"),
          std::string("[SETTINGS]\nbaseispressedstart=-3\n"), std::string("[Settings]\nBaseIsPressedStart=12abc\n"),
          std::string("\xff\xfe garbage [[[ = = \n\0\0", 22)}) {
        qrd_test::FreshQrdshare lib(ini);
        ASSERT_TRUE(lib->ok()) << lib->error();
        ASSERT_TRUE(std::filesystem::exists(lib.settingsPath()));
        ns_LIBRARYINFO info;
        EXPECT_EQ(lib->GetLibraryInfo(&info, sizeof info), ns_OK);
        EXPECT_EQ(info.dwMaxFiles, 256u);
        uint32_t id = 7;
        EXPECT_EQ(lib->OpenFile(lib.dir().File("missing.qrd").c_str(), &id), ns_FILEERROR);
        EXPECT_EQ(id, 0u);
    }
}

}  // namespace
}  // namespace qrd
