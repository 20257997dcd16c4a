// The open and close sequences, the library record, the argument checks and
// the last-error text, through the exports of the shared library.
#include "map_host.h"
#include "map_writer.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

using namespace maptest;

namespace {

// A small valid recording: header, one continuous channel, one block.
MapWriter smallRecording() {
    MapWriter w;
    w.header60().continuous(1, 10.0f, "Analog").samples(1, 0, {1, 2, 3});
    return w;
}

ns_RESULT openBytes(const TempDir& dir, const std::vector<uint8_t>& bytes, uint32_t* handle,
                    const std::string& name = "file.map") {
    MapWriter w;
    w.rawBytes(bytes);
    EXPECT_TRUE(w.writeTo(dir.file(name)));
    return mapLib().OpenFile(dir.file(name).c_str(), handle);
}

}  // namespace

TEST(LibraryInfo, DescribesTheMapReaderAndRefusesBadRecords) {
    Guarded<ns_LIBRARYINFO> info;
    ASSERT_EQ(mapLib().GetLibraryInfo(info.get(), info.size()), ns_OK);
    EXPECT_TRUE(info.guardIntact());
    EXPECT_EQ(info->dwLibVersionMaj, 1u);
    EXPECT_EQ(info->dwLibVersionMin, 3u);
    EXPECT_STREQ(info->szDescription, "Library for MAP files.");
    EXPECT_STREQ(info->szCreator, "Velmora");
    EXPECT_EQ(info->dwMaxFiles, 256u);
    EXPECT_EQ(info->dwFileDescCount, 1u);
    EXPECT_STREQ(info->FileDesc[0].szExtension, "map");
    EXPECT_STREQ(info->FileDesc[0].szDescription, "(*.MAP) Velmora Map files");

    EXPECT_EQ(mapLib().GetLibraryInfo(info.get(), sizeof(ns_LIBRARYINFO) - 1), ns_LIBERROR);
    EXPECT_EQ(mapLib().lastError(), "Linked Library Error");
    EXPECT_EQ(mapLib().GetLibraryInfo(nullptr, sizeof(ns_LIBRARYINFO)), ns_LIBERROR);
    // Neither the 32-bit nor the native all-ones address is ever written.
    EXPECT_EQ(mapLib().GetLibraryInfo(reinterpret_cast<ns_LIBRARYINFO*>(uintptr_t{0xFFFFFFFFu}), 1192), ns_LIBERROR);
    EXPECT_EQ(mapLib().GetLibraryInfo(reinterpret_cast<ns_LIBRARYINFO*>(UINTPTR_MAX), 1192), ns_LIBERROR);
}

TEST(OpenFile, AcceptsMapFilesInAnyCaseAndExplainsRefusals) {
    TempDir dir;
    ASSERT_TRUE(smallRecording().writeTo(dir.file("UPPER.MAP")));
    ASSERT_TRUE(smallRecording().writeTo(dir.file("notes.txt")));
    ASSERT_TRUE(smallRecording().writeTo(dir.file("noextension")));
    uint32_t handle = 0;

    ASSERT_EQ(mapLib().OpenFile(dir.file("UPPER.MAP").c_str(), &handle), ns_OK);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(mapLib().CloseFile(handle), ns_OK);

    EXPECT_EQ(mapLib().OpenFile(dir.file("notes.txt").c_str(), &handle), ns_TYPEERROR);
    EXPECT_EQ(mapLib().lastError(), "Library unable to open file type");
    EXPECT_EQ(mapLib().OpenFile(dir.file("noextension").c_str(), &handle), ns_TYPEERROR);
    EXPECT_EQ(mapLib().OpenFile(dir.file("missing.map").c_str(), &handle), ns_FILEERROR);
    EXPECT_EQ(mapLib().lastError(), "file not found");
    EXPECT_EQ(mapLib().OpenFile("", &handle), ns_FILEERROR);
    EXPECT_EQ(mapLib().lastError(), "File access or read Error");
    EXPECT_EQ(mapLib().OpenFile(nullptr, &handle), ns_FILEERROR);
    EXPECT_EQ(mapLib().OpenFile(dir.file("UPPER.MAP").c_str(), nullptr), ns_LIBERROR);
    EXPECT_EQ(mapLib().lastError(), "Linked Library Error");
    // A folder named like a recording exists but is no file.
    ASSERT_TRUE(std::filesystem::create_directory(dir.file("folder.map")));
    EXPECT_EQ(mapLib().OpenFile(dir.file("folder.map").c_str(), &handle), ns_FILEERROR);
    EXPECT_EQ(mapLib().lastError(), "Could not open file");
}

TEST(OpenFile, EndOfFileRules) {
    TempDir dir;
    const std::vector<uint8_t> valid = smallRecording().bytes();
    uint32_t handle = 0;
    auto withTail = [&](std::vector<uint8_t> tail) {
        std::vector<uint8_t> bytes = valid;
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        return bytes;
    };
    ASSERT_EQ(openBytes(dir, valid, &handle), ns_OK);
    mapLib().CloseFile(handle);
    ASSERT_EQ(openBytes(dir, withTail({0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), &handle), ns_OK);
    mapLib().CloseFile(handle);
    for (size_t stray = 1; stray <= 4; ++stray) {
        EXPECT_EQ(openBytes(dir, withTail(std::vector<uint8_t>(stray, 0xFF)), &handle), ns_FILEERROR) << stray;
        EXPECT_EQ(mapLib().lastError(), "Error while reading from file");
    }
    EXPECT_EQ(openBytes(dir, withTail({0xFF, 0xFF, 0xFE, 0xFF, 0xFF}), &handle), ns_FILEERROR);
    EXPECT_EQ(mapLib().lastError(), "Error while reading from file");
}

TEST(OpenFile, RefusesARecordCutShortByTheEndOfTheFile) {
    TempDir dir;
    std::vector<uint8_t> bytes = smallRecording().bytes();
    bytes.pop_back();   // inside the time stamp of the last block
    uint32_t handle = 0;
    EXPECT_EQ(openBytes(dir, bytes, &handle), ns_FILEERROR);
    EXPECT_EQ(mapLib().lastError(), "Error while reading from file");
}

TEST(OpenFile, EveryTruncationOpensOrFailsWithAMessage) {
    TempDir dir;
    // Every record type once; the file is cut after each of its bytes.
    MapWriter w;
    w.header40(57).header60(4).resolution(1.0f).continuous(1, 10.0f, "C", 5).digital(1033, 10.0f, "D");
    w.analog(AnalogMode::Level, 2, 20.0f, "L", 0.51f).analog(AnalogMode::WindowDiscriminator, 3, 20.0f, "W");
    w.analog(AnalogMode::ExternalTrigger, 4, 20.0f, "E", 1.0f).port(0, 2, "P").record(8, 'F', {0, 0, 0, 0});
    w.samples(1, 0, {1, 2, 3}).samples(2, 30, {4, 5}, 2).digitalEvent(1033, 9, 1).portEvent(2, 11, 3);
    MultiplexWords mux;
    mux.analog(1, {1, 2, 3}, 3).marker(-333, 5).port(2, 4, 12).digital(1033, 0, 13).marker(-557, 2).word(500);
    w.multiplexed(mux).endMarker();
    const std::vector<uint8_t>& bytes = w.bytes();
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        uint32_t handle = 0;
        const ns_RESULT result = openBytes(dir, std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut), &handle);
        const std::string message = mapLib().lastError();
        if (result == ns_OK) {
            mapLib().CloseFile(handle);
        } else {
            EXPECT_EQ(result, ns_FILEERROR) << cut;
            EXPECT_EQ(message, "Error while reading from file") << cut;
        }
    }
}

TEST(OpenFile, DuplicateDefinitionFailsTheOpen) {
    TempDir dir;
    MapWriter w;
    w.header60().digital(7, 10.0f, "Twice").digital(7, 10.0f, "Twice");
    ASSERT_TRUE(w.writeTo(dir.file("dup.map")));
    uint32_t handle = 0;
    EXPECT_EQ(mapLib().OpenFile(dir.file("dup.map").c_str(), &handle), ns_FILEERROR);
    EXPECT_EQ(mapLib().lastError(), "Channel already used");
    // The same number under another name is a second channel, not a duplicate.
    MapWriter other;
    other.header60().digital(7, 10.0f, "One").digital(7, 10.0f, "Two");
    ASSERT_TRUE(other.writeTo(dir.file("two.map")));
    OpenRecording rec(dir.file("two.map"));
    ASSERT_EQ(rec.result(), ns_OK);
    EXPECT_EQ(rec.info().dwEntityCount, 2u);
}

TEST(Registry, HoldsAtMost256FilesAndNeverReusesHandles) {
    TempDir dir;
    ASSERT_TRUE(smallRecording().writeTo(dir.file("r.map")));
    std::vector<uint32_t> handles;
    std::set<uint32_t> seen;
    for (int i = 0; i < 256; ++i) {
        uint32_t handle = 0;
        ASSERT_EQ(mapLib().OpenFile(dir.file("r.map").c_str(), &handle), ns_OK) << i;
        EXPECT_NE(handle, 0u);
        EXPECT_NE(handle, 0xFFFFFFFFu);
        EXPECT_TRUE(seen.insert(handle).second);
        handles.push_back(handle);
    }
    uint32_t extra = 0;
    EXPECT_EQ(mapLib().OpenFile(dir.file("r.map").c_str(), &extra), ns_FILEERROR);
    EXPECT_EQ(mapLib().lastError(), "Already have the maximum files");

    const uint32_t closed = handles.front();
    ASSERT_EQ(mapLib().CloseFile(closed), ns_OK);
    EXPECT_EQ(mapLib().CloseFile(closed), ns_BADFILE);
    EXPECT_EQ(mapLib().lastError(), "file not found to remove");
    ASSERT_EQ(mapLib().OpenFile(dir.file("r.map").c_str(), &extra), ns_OK);
    EXPECT_EQ(seen.count(extra), 0u) << "a new file must not get an old handle";
    handles.front() = extra;

    // The stale handle names nothing, for every call that takes a handle.
    ns_FILEINFO info{};
    EXPECT_EQ(mapLib().GetFileInfo(closed, &info, sizeof info), ns_BADFILE);
    double t = 0;
    EXPECT_EQ(mapLib().GetTimeByIndex(closed, 0, 0, &t), ns_BADFILE);
    for (const uint32_t h : handles) EXPECT_EQ(mapLib().CloseFile(h), ns_OK);
    EXPECT_EQ(mapLib().CloseFile(0), ns_BADFILE);
    EXPECT_EQ(mapLib().lastError(), "Null pointer");
}

TEST(ArgumentChecks, RunInTheirFixedOrder) {
    TempDir dir;
    ASSERT_TRUE(smallRecording().writeTo(dir.file("r.map")));
    OpenRecording rec(dir.file("r.map"));
    ASSERT_EQ(rec.result(), ns_OK);
    const MapLibrary& lib = mapLib();
    ns_FILEINFO file{};
    EXPECT_EQ(lib.GetFileInfo(rec.handle(), &file, 403), ns_LIBERROR);
    EXPECT_EQ(lib.lastError(), "Linked Library Error");
    EXPECT_EQ(lib.GetFileInfo(rec.handle(), &file, 5000), ns_OK) << "larger records are accepted";

    ns_ENTITYINFO entity{};
    ns_EVENTINFO event{};
    EXPECT_EQ(lib.GetEntityInfo(0, 0, &entity, sizeof entity), ns_LIBERROR);
    EXPECT_EQ(lib.GetEventInfo(0, 0, &event, sizeof event), ns_BADFILE);
    EXPECT_EQ(lib.lastError(), "Invalid file handle passed to function");
    // The record check comes before the registry check.
    EXPECT_EQ(lib.GetEventInfo(12345, 0, &event, sizeof event - 1), ns_LIBERROR);
    EXPECT_EQ(lib.GetEntityInfo(rec.handle(), 1, &entity, sizeof entity), ns_BADENTITY);
    EXPECT_EQ(lib.lastError(), "Invalid or inappropriate entity identifier specified");
    // Event information only for event entities.
    EXPECT_EQ(lib.GetEventInfo(rec.handle(), 0, &event, sizeof event), ns_BADENTITY);
    ns_SEGSOURCEINFO source{};
    EXPECT_EQ(lib.GetSegmentSourceInfo(rec.handle(), 0, 1, &source, sizeof source), ns_BADSOURCE);
    EXPECT_EQ(lib.lastError(), "Invalid source identifier specified");

    // Missing outputs that a result must go to.
    double time = 0;
    EXPECT_EQ(lib.GetEventData(rec.handle(), 0, 0, nullptr, nullptr, 0, nullptr), ns_LIBERROR);
    EXPECT_EQ(lib.GetIndexByTime(rec.handle(), 0, 0.0, 0, nullptr), ns_LIBERROR);
    EXPECT_EQ(lib.lastError(), "Linked Library Error");
    EXPECT_EQ(lib.GetTimeByIndex(rec.handle(), 0, 0, nullptr), ns_LIBERROR);
    EXPECT_EQ(lib.GetTimeByIndex(0xFFFFFFFFu, 0, 0, &time), ns_BADFILE);
}

TEST(LastError, IsCutToTheBufferAndEmptiedByReading) {
    uint32_t handle = 0;
    ASSERT_EQ(mapLib().OpenFile("", &handle), ns_FILEERROR);
    Guarded<char> small(5);
    ASSERT_EQ(mapLib().GetLastErrorMsg(small.get(), small.size()), ns_OK);
    EXPECT_STREQ(small.get(), "File");
    EXPECT_TRUE(small.guardIntact());
    ASSERT_EQ(mapLib().GetLastErrorMsg(small.get(), small.size()), ns_OK);
    EXPECT_STREQ(small.get(), "");
    EXPECT_EQ(mapLib().GetLastErrorMsg(nullptr, 10), ns_LIBERROR);
    EXPECT_EQ(mapLib().GetLastErrorMsg(small.get(), 0), ns_LIBERROR);
    EXPECT_EQ(mapLib().lastError(), "Linked Library Error");
}
