// The registry of open files seen from a host: identifiers are slot numbers
// 1..256 handed out lowest first, a full registry refuses further opens, and
// an open file with no entities answers every entity call with BADENTITY
// after the identifier and size checks.
#include "api/registry.h"
#include "container/recording_writer.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"
#include "support/fresh_library.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace qrd {
namespace {

std::string WriteEmptyRecording(const qrd_test::TempDir& dir, const std::string& name) {
    RecordingSpec desc;
    desc.startTime = kUnixEpochTicks;
    const std::string path = dir.File(name);
    std::string error;
    EXPECT_TRUE(WriteRecording(desc, path, &error)) << error;
    return path;
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(lib->ok()) << lib->error();
        path = WriteEmptyRecording(lib.dir(), "empty.qrd");
    }
    uint32_t Open() {
        uint32_t id = 12345;
        EXPECT_EQ(lib->OpenFile(path.c_str(), &id), ns_OK);
        return id;
    }

    qrd_test::FreshQrdshare lib;
    std::string path;
};

TEST_F(Registry, HandsOut256IdentifiersThenRefusesAndReusesTheLowestFreeSlot) {
    for (uint32_t expected = 1; expected <= 256; ++expected) ASSERT_EQ(Open(), expected);

    uint32_t id = 12345;
    EXPECT_EQ(lib->OpenFile(path.c_str(), &id), ns_FILEERROR);
    EXPECT_EQ(id, 0u);
    // The refused open changed no slot: every identifier is still open.
    ns_FILEINFO info;
    for (uint32_t i = 1; i <= 256; ++i) ASSERT_EQ(lib->GetFileInfo(i, &info, sizeof info), ns_OK) << i;

    EXPECT_EQ(lib->CloseFile(3), ns_OK);
    EXPECT_EQ(lib->CloseFile(3), ns_BADFILE);
    EXPECT_EQ(lib->GetFileInfo(3, &info, sizeof info), ns_BADFILE);
    EXPECT_EQ(Open(), 3u);

    EXPECT_EQ(lib->CloseFile(200), ns_OK);
    EXPECT_EQ(lib->CloseFile(7), ns_OK);
    EXPECT_EQ(Open(), 7u);
    EXPECT_EQ(Open(), 200u);

    for (uint32_t i = 1; i <= 256; ++i) ASSERT_EQ(lib->CloseFile(i), ns_OK) << i;
    EXPECT_EQ(Open(), 1u);
    EXPECT_EQ(lib->CloseFile(1), ns_OK);
}

TEST_F(Registry, FailedOpensLeaveTheNextIdentifierUnchanged) {
    EXPECT_EQ(Open(), 1u);
    uint32_t id = 9;
    const std::string missing = lib.dir().File("missing.qrd");
    const std::string notQrd = lib.dir().Write("not.qrd", "not a recording at all");
    EXPECT_EQ(lib->OpenFile(missing.c_str(), &id), ns_FILEERROR);
    EXPECT_EQ(lib->OpenFile(notQrd.c_str(), &id), ns_TYPEERROR);
    EXPECT_EQ(Open(), 2u);
    EXPECT_EQ(lib->CloseFile(1), ns_OK);
    EXPECT_EQ(lib->CloseFile(2), ns_OK);
}

TEST_F(Registry, AnOpenFileWithoutEntitiesPassesIdentifierAndSizeChecksOnly) {
    const uint32_t id = Open();
    ns_FILEINFO file;
    ASSERT_EQ(lib->GetFileInfo(id, &file, sizeof file), ns_OK);
    EXPECT_EQ(file.dwEntityCount, 0u);
    EXPECT_EQ(lib->GetFileInfo(id, &file, sizeof file - 1), ns_LIBERROR);
    EXPECT_EQ(lib->GetFileInfo(id, &file, sizeof file + 1), ns_LIBERROR);
    EXPECT_EQ(lib->GetFileInfo(id, nullptr, sizeof file), ns_LIBERROR);

    ns_ENTITYINFO entity;
    ns_EVENTINFO event;
    ns_ANALOGINFO analog;
    ns_SEGMENTINFO segment;
    ns_SEGSOURCEINFO source;
    ns_NEURALINFO neural;
    EXPECT_EQ(lib->GetEntityInfo(id, 0, &entity, sizeof entity), ns_BADENTITY);
    EXPECT_EQ(lib->GetEntityInfo(id, 0, &entity, sizeof entity + 1), ns_LIBERROR);
    EXPECT_EQ(lib->GetEventInfo(id, 0, &event, sizeof event), ns_BADENTITY);
    EXPECT_EQ(lib->GetEventInfo(id, 0, &event, sizeof event - 1), ns_LIBERROR);
    EXPECT_EQ(lib->GetAnalogInfo(id, 0, &analog, sizeof analog), ns_BADENTITY);
    EXPECT_EQ(lib->GetAnalogInfo(id, 0, &analog, sizeof analog - 1), ns_LIBERROR);
    EXPECT_EQ(lib->GetSegmentInfo(id, 0, &segment, sizeof segment), ns_BADENTITY);
    EXPECT_EQ(lib->GetSegmentInfo(id, 0, &segment, sizeof segment + 1), ns_LIBERROR);
    // The entity check comes before the source check.
    EXPECT_EQ(lib->GetSegmentSourceInfo(id, 0, 1, &source, sizeof source), ns_BADENTITY);
    EXPECT_EQ(lib->GetSegmentSourceInfo(id, 0, 1, &source, sizeof source - 1), ns_LIBERROR);
    EXPECT_EQ(lib->GetNeuralInfo(id, 0, &neural, sizeof neural), ns_BADENTITY);
    EXPECT_EQ(lib->GetNeuralInfo(id, 0, &neural, sizeof neural - 1), ns_LIBERROR);
    EXPECT_EQ(lib->GetNeuralInfo(id, 0xFFFFFFFF, &neural, sizeof neural), ns_BADENTITY);

    double t = 0, data[2] = {0, 0};
    uint32_t a = 0, b = 0;
    EXPECT_EQ(lib->GetEventData(id, 0, 0, &t, data, 8, &a), ns_BADENTITY);
    EXPECT_EQ(lib->GetAnalogData(id, 0, 0, 1, &a, data), ns_BADENTITY);
    EXPECT_EQ(lib->GetSegmentData(id, 0, 0, &t, data, sizeof data, &a, &b), ns_BADENTITY);
    EXPECT_EQ(lib->GetNeuralData(id, 0, 0, 1, data), ns_BADENTITY);
    EXPECT_EQ(lib->GetIndexByTime(id, 0, 0.0, ns_BEFORE, &a), ns_BADENTITY);
    EXPECT_EQ(lib->GetIndexByTime(id, 0, 0.0, ns_BEFORE, nullptr), ns_BADENTITY);
    EXPECT_EQ(lib->GetTimeByIndex(id, 0, 0, &t), ns_BADENTITY);
    EXPECT_EQ(lib->GetTimeByIndex(id, 0, 0, nullptr), ns_BADENTITY);

    EXPECT_EQ(lib->CloseFile(id), ns_OK);
}

// ---- the registry object itself -------------------------------------------

TEST(RegistryObject, KeepsItsSettingsAndCleansUpFilesLeftOpen) {
    qrd_test::TempDir dir;
    const std::string path = WriteEmptyRecording(dir, "r.qrd");
    LibrarySettings settings;
    settings.baseIsPressedStart = -3;
    settings.indexCacheDirectory = dir.path();
    {
        CQRD registry(settings);
        EXPECT_EQ(registry.BaseIsPressedStart(), -3);
        EXPECT_EQ(registry.IndexCacheDirectory(), dir.path());
        EXPECT_EQ(registry.FindFreeSlot(), 1u);
        uint32_t id = 0;
        ASSERT_EQ(registry.OpenFile(path.c_str(), &id), ns_OK);
        {
            const HeldFile held = registry.Hold(id);
            ASSERT_TRUE(held);
            // The stream file is told where index cache files go.
            EXPECT_EQ(held.File().GetCacheDirectory(), dir.path());
            EXPECT_EQ(held.Entities().Count(), 0u);
        }
        EXPECT_EQ(registry.FindFreeSlot(), 2u);
        EXPECT_FALSE(registry.Hold(0));
        EXPECT_FALSE(registry.Hold(257));
        EXPECT_FALSE(registry.Hold(2));
        // Destroyed with the file still open: the sanitizer build reports a
        // leak if the registry does not release it.
    }
}

}  // namespace
}  // namespace qrd
