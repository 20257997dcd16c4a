// What ns_GetFileInfo reports: the rules of the file type text and of every
// field, first on a stand-in stream file whose answers the test chooses, then
// byte for byte through the loaded library on recordings our writer made.
#include "api/file_info.h"
#include "container/recording_writer.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"
#include "support/fresh_library.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace qrd {
namespace {

// ---- stand-ins: a stream file that answers what the test sets ------------

class NamedStream : public CQRVAStream {
public:
    NamedStream(CQRVAStreamFile* file, const char* name) : CQRVAStream(file), name_(name) {}
    const char* GetName() const override { return name_; }

private:
    const char* name_;
};

class FakeStreamFile : public CQRVAStreamFile {
public:
    uint16_t sourceType = 1;
    int32_t mode = 0;
    uint32_t sampleRate = 25000000;
    uint32_t appVersion = 0, appBuild = 0;
    const char* comment = nullptr;
    uint16_t calendar[7] = {2026, 12, 8, 4, 41, 38, 123};
    CQRVATimeStamp start{0, 0}, stop{0, 0};
    std::vector<std::unique_ptr<CQRVAStream>> streams;
    uint32_t streamCountOverride = 0;  // a count larger than the stream list

    void AddStreams(std::initializer_list<const char*> names) {
        for (const char* n : names) streams.push_back(std::make_unique<NamedStream>(this, n));
    }
    uint16_t GetSourceType() const override { return sourceType; }
    int32_t GetRecordingMode() const override { return mode; }
    uint32_t GetStreamCount() const override {
        return streamCountOverride ? streamCountOverride : static_cast<uint32_t>(streams.size());
    }
    CQRVAStream* GetStream(uint32_t i) const override { return i < streams.size() ? streams[i].get() : nullptr; }
    uint32_t GetSampleRate() const override { return sampleRate; }
    uint32_t GetAppVersion() const override { return appVersion; }
    uint32_t GetAppBuild() const override { return appBuild; }
    const char* GetComment() const override { return comment; }
    uint16_t GetStartYear() const override { return calendar[0]; }
    uint16_t GetStartMonth() const override { return calendar[1]; }
    uint16_t GetStartDay() const override { return calendar[2]; }
    uint16_t GetStartHour() const override { return calendar[3]; }
    uint16_t GetStartMinute() const override { return calendar[4]; }
    uint16_t GetStartSecond() const override { return calendar[5]; }
    uint16_t GetStartMillisecond() const override { return calendar[6]; }
    CQRVATimeStamp* GetStartTime() const override { return const_cast<CQRVATimeStamp*>(&start); }
    CQRVATimeStamp* GetStopTime() const override { return const_cast<CQRVATimeStamp*>(&stop); }
};

TEST(FileTypeText, LayoutPrefixAndModeWordWithoutStreams) {
    FakeStreamFile f;
    const struct {
        uint16_t source;
        int32_t mode;
        const char* text;
    } cases[] = {{0, 0, "LIN cont"},  {1, 1, "MEA trig"},    {2, 2, "DMEA trig_ss"},
                 {3, 3, "Conf xxx"},  {4, -1, "XXX xxx"},    {0xFFFF, 0, "XXX cont"}};
    for (const auto& c : cases) {
        f.sourceType = c.source;
        f.mode = c.mode;
        EXPECT_EQ(FileTypeText(f), c.text);
    }
}

TEST(FileTypeText, StreamNamesGiveTwoCharactersEachWithoutTrailingComma) {
    FakeStreamFile f;
    f.AddStreams({"Electrode Raw Data", "Digital Raw Data"});
    EXPECT_EQ(FileTypeText(f), "MEA cont El,Di");
}

TEST(FileTypeText, ThirtyOneCharactersFitOneMoreStreamIsCutToThreeDots) {
    // "DMEA trig_ss " (13) + six streams (18) = 31: only the last comma goes.
    FakeStreamFile g;
    g.sourceType = 2;
    g.mode = 2;
    g.AddStreams({"Aa", "Bb", "Cc", "Dd", "Ee", "Ff"});
    EXPECT_EQ(FileTypeText(g), "DMEA trig_ss Aa,Bb,Cc,Dd,Ee,Ff");
    g.AddStreams({"Gg"});  // 34 characters: the first 28 and "..."
    EXPECT_EQ(FileTypeText(g), "DMEA trig_ss Aa,Bb,Cc,Dd,Ee,...");
}

TEST(FileTypeText, ShortOrMissingNamesEndTheVisibleText) {
    FakeStreamFile f;
    f.AddStreams({"Electrode", "X", "Digital"});
    EXPECT_EQ(FileTypeText(f), "MEA cont El,X");

    FakeStreamFile g;
    g.AddStreams({"An", ""});
    EXPECT_EQ(FileTypeText(g), "MEA cont An,");

    // A stream count beyond the stream list (no stream object) reads as an
    // empty name rather than failing.
    FakeStreamFile h;
    h.AddStreams({"Tr"});
    h.streamCountOverride = 3;
    EXPECT_EQ(FileTypeText(h), "MEA cont Tr,");
}

TEST(FileInfo, NumbersDateAndApplicationName) {
    FakeStreamFile f;
    f.appVersion = (3u << 16) | 6u;
    f.appBuild = (65535u << 16) | 14u;
    f.start = CQRVATimeStamp(5000000000ull, 5000000000);
    f.stop = CQRVATimeStamp(5000000000ull + 1234567890ull, 5000000000);
    ns_FILEINFO info;
    std::memset(&info, 0x5A, sizeof info);
    FillFileInfo(f, 17, info);
    EXPECT_EQ(info.dwEntityCount, 17u);
    // Packed doubles are copied out before comparing (no reference to them).
    const double resolution = info.dTimeStampResolution, span = info.dTimeSpan;
    EXPECT_DOUBLE_EQ(resolution, 1.0 / 25000);
    EXPECT_EQ(span, 1.234);  // whole milliseconds
    EXPECT_STREQ(info.szAppName, "Vantrel 3.6.65535.14");
    EXPECT_EQ(info.dwTime_Year, 2026u);
    EXPECT_EQ(info.dwTime_Month, 12u);
    EXPECT_EQ(info.dwTime_DayofWeek, 0u);
    EXPECT_EQ(info.dwTime_Day, 8u);
    EXPECT_EQ(info.dwTime_Hour, 4u);
    EXPECT_EQ(info.dwTime_Min, 41u);
    EXPECT_EQ(info.dwTime_Sec, 38u);
    EXPECT_EQ(info.dwTime_MilliSec, 123u);
    EXPECT_STREQ(info.szFileComment, "");  // no comment: empty text
    EXPECT_EQ(static_cast<uint8_t>(info.szFileComment[1]), 0x5A);
}

TEST(FileInfo, EdgeValuesOfRateSpanAndCalendar) {
    FakeStreamFile f;
    ns_FILEINFO info;

    f.sampleRate = 999;  // below 1 Hz
    f.stop = CQRVATimeStamp(10, 0);
    f.start = CQRVATimeStamp(20, 0);  // stop before start
    f.calendar[0] = 0xFFFF;           // widened as a signed 16-bit value
    FillFileInfo(f, 0, info);
    double resolution = info.dTimeStampResolution, span = info.dTimeSpan;
    EXPECT_TRUE(std::isinf(resolution) && resolution > 0);
    EXPECT_EQ(span, 0.0);
    EXPECT_EQ(info.dwTime_Year, 0xFFFFFFFFu);

    f.sampleRate = 1999;  // truncates to 1 Hz
    f.stop = CQRVATimeStamp(20 + 999999, 0);  // under a millisecond
    FillFileInfo(f, 0, info);
    resolution = info.dTimeStampResolution;
    span = info.dTimeSpan;
    EXPECT_EQ(resolution, 1.0);
    EXPECT_EQ(span, 0.0);

    f.sampleRate = 0x80000000u;  // negative as a signed rate
    FillFileInfo(f, 0, info);
    resolution = info.dTimeStampResolution;
    EXPECT_EQ(resolution, 1.0 / (INT32_MIN / 1000));
}

TEST(FileInfo, CommentIsCutTo255CharactersAndANul) {
    FakeStreamFile f;
    const std::string longComment(519, 'c');  // the header's comment field holds up to 519
    f.comment = longComment.c_str();
    ns_FILEINFO info;
    std::memset(&info, 0x5A, sizeof info);
    FillFileInfo(f, 0, info);
    EXPECT_EQ(std::string(info.szFileComment, 255), std::string(255, 'c'));
    EXPECT_EQ(info.szFileComment[255], '\0');

    const std::string shortComment = "short";
    f.comment = shortComment.c_str();
    std::memset(&info, 0x5A, sizeof info);
    FillFileInfo(f, 0, info);
    EXPECT_STREQ(info.szFileComment, "short");
    EXPECT_EQ(static_cast<uint8_t>(info.szFileComment[6]), 0x5A);  // only text and NUL written
}

// ---- through the loaded library, on written recordings --------------------

constexpr uint8_t kGuard = 0xC3;

struct GuardedFileInfo {
    uint8_t before[16];
    ns_FILEINFO info;
    uint8_t after[16];
};

// Ticks of a UTC date from 1970 on, counted out by hand: days of the whole
// years and months before it, then the time of day.
uint64_t TicksOf(int year, int month, int day, int hour, int minute, int second, int ms) {
    static const int kDaysBeforeMonth[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    auto leap = [](int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; };
    uint64_t days = 0;
    for (int y = 1970; y < year; ++y) days += leap(y) ? 366 : 365;
    days += static_cast<uint64_t>(kDaysBeforeMonth[month - 1] + (month > 2 && leap(year) ? 1 : 0) + day - 1);
    const uint64_t unixSeconds = days * 86400 + static_cast<uint64_t>(hour * 3600 + minute * 60 + second);
    return kUnixEpochTicks + unixSeconds * 1000000000ull + static_cast<uint64_t>(ms) * 1000000ull;
}

// A stream without chunks whose tag ("aver...": averages) gives no entities,
// so these tests depend on the file-level fields only.
StreamSpec StreamWithoutEntities(const std::string& name, uint16_t id, const std::string& tag) {
    StreamSpec s;
    s.typeName = "average";
    s.name = name;
    s.id = id;
    s.tag = tag;
    return s;
}

class FileInfoThroughLibrary : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lib->ok()) << lib->error(); }

    // Writes desc, opens it and returns the file information with its guards.
    std::vector<uint8_t> InfoOf(const RecordingSpec& desc) {
        const std::string path = lib.dir().File("r" + std::to_string(count++) + ".qrd");
        std::string error;
        EXPECT_TRUE(WriteRecording(desc, path, &error)) << error;
        uint32_t id = 0;
        EXPECT_EQ(lib->OpenFile(path.c_str(), &id), ns_OK);
        GuardedFileInfo g;
        std::memset(&g, kGuard, sizeof g);
        EXPECT_EQ(lib->GetFileInfo(id, &g.info, sizeof g.info), ns_OK);
        EXPECT_EQ(lib->CloseFile(id), ns_OK);
        std::vector<uint8_t> bytes(sizeof g);
        std::memcpy(bytes.data(), &g, sizeof g);
        return bytes;
    }

    qrd_test::FreshQrdshare lib;
    int count = 0;
};

// The expected bytes: guards everywhere except the fields that are written.
struct ExpectedInfo {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(sizeof(GuardedFileInfo), kGuard);
    static constexpr size_t base = offsetof(GuardedFileInfo, info);
    void U32(size_t off, uint32_t v) { std::memcpy(&bytes[base + off], &v, 4); }
    void F64(size_t off, double v) { std::memcpy(&bytes[base + off], &v, 8); }
    void Text(size_t off, const std::string& s) { std::memcpy(&bytes[base + off], s.c_str(), s.size() + 1); }
};

TEST_F(FileInfoThroughLibrary, LinearRecordingWithoutStreamsByteForByte) {
    RecordingSpec desc;
    desc.sourceType = kSourceLinear;
    desc.startTime = TicksOf(2026, 12, 8, 4, 41, 38, 123);
    desc.stopTime = desc.startTime + 1234567890ull;
    desc.sampleRate = 25000000;
    desc.appVersion = (3u << 16) | 6u;
    desc.appBuild = (2u << 16) | 14u;
    desc.comment = "first light";

    ExpectedInfo want;
    want.Text(0, "LIN cont");
    want.U32(32, 0);
    want.F64(36, 1.0 / 25000);
    want.F64(44, 1.234);
    want.Text(52, "Vantrel 3.6.2.14");
    const uint32_t date[] = {2026, 12, 0, 8, 4, 41, 38, 123};
    for (size_t i = 0; i < 8; ++i) want.U32(116 + 4 * i, date[i]);
    want.Text(148, "first light");
    EXPECT_EQ(InfoOf(desc), want.bytes);
}

TEST_F(FileInfoThroughLibrary, StreamNamesAndLongCommentOfAnElectrodeArrayRecording) {
    RecordingSpec desc;
    desc.sourceType = kSourceElectrodeArray;
    desc.startTime = TicksOf(2025, 1, 31, 23, 59, 59, 999);
    desc.stopTime = desc.startTime;  // no recorded time
    desc.sampleRate = 50000000;
    desc.appVersion = (1u << 16) | 40u;
    desc.appBuild = 0;
    desc.comment = std::string(400, 'x');
    desc.streams.push_back(StreamWithoutEntities("Electrode Raw Data", 1, "aver0001"));
    desc.streams.push_back(StreamWithoutEntities("Digital Raw Data", 2, "aver0002"));

    ExpectedInfo want;
    want.Text(0, "MEA cont El,Di");
    want.U32(32, 0);
    want.F64(36, 1.0 / 50000);
    want.F64(44, 0.0);
    want.Text(52, "Vantrel 1.40.0.0");
    const uint32_t date[] = {2025, 1, 0, 31, 23, 59, 59, 999};
    for (size_t i = 0; i < 8; ++i) want.U32(116 + 4 * i, date[i]);
    want.Text(148, std::string(255, 'x'));
    EXPECT_EQ(InfoOf(desc), want.bytes);
}

TEST_F(FileInfoThroughLibrary, TwelveStreamsFillTheFileTypeTo31Characters) {
    RecordingSpec desc;
    desc.startTime = TicksOf(2026, 1, 1, 0, 0, 0, 0);
    for (int i = 0; i < 12; ++i) {
        const char name[] = {static_cast<char>('A' + i), static_cast<char>('a' + i), 'x', '\0'};
        char tag[16];
        std::snprintf(tag, sizeof tag, "aver%04x", i + 1);
        desc.streams.push_back(StreamWithoutEntities(name, static_cast<uint16_t>(i + 1), tag));
    }
    const std::vector<uint8_t> got = InfoOf(desc);
    const char* type = reinterpret_cast<const char*>(&got[ExpectedInfo::base]);
    EXPECT_EQ(std::string(type), "MEA cont Aa,Bb,Cc,Dd,Ee,Ff,G...");
    EXPECT_EQ(got[ExpectedInfo::base + 31], 0);
}

}  // namespace
}  // namespace qrd
