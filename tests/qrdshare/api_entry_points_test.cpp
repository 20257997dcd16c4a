// Host-level tests of the exported entry points: the library is loaded with
// dlopen as an analysis package would, and every call is checked for the
// order of its argument checks, its result codes, and for touching nothing
// but the fields it fills.
#include "support/fresh_library.h"
#include "support/ns_host.h"
#include "support/run_command.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace qrd_test {
namespace {

constexpr uint8_t kGuard = 0xA5;

// A record surrounded by guard bytes, all preset to kGuard, so a test sees
// every byte the library wrote, inside and around the record.
template <typename Record>
struct Guarded {
    uint8_t before[16];
    Record record;
    uint8_t after[16];

    Guarded() { std::memset(static_cast<void*>(this), kGuard, sizeof *this); }
    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> b(sizeof *this);
        std::memcpy(b.data(), static_cast<const void*>(this), sizeof *this);
        return b;
    }
    bool Untouched() const {
        for (uint8_t v : Bytes())
            if (v != kGuard) return false;
        return true;
    }
};

class EntryPoints : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lib->ok()) << lib->error(); }
    FreshQrdshare lib;
};

TEST(Exports, DynamicSymbolTableHoldsExactlyTheSeventeenFunctions) {
    const std::string library = QrdshareLibraryPath();
    if (library.size() > 4 && library.compare(library.size() - 4, 4, ".dll") == 0)
        GTEST_SKIP() << "a DLL's export table is checked with objdump -p by the Windows build stage";
    const CommandResult nm = RunCommand("nm -D --defined-only " + Quoted(library));
    std::set<std::string> names;
    std::istringstream lines(nm.output);
    std::string line;
    while (std::getline(lines, line)) {
        char address[64], type[8], name[256];
        if (std::sscanf(line.c_str(), "%63s %7s %255s", address, type, name) == 3) names.insert(name);
    }
    if (nm.exitCode != 0 && names.empty()) GTEST_SKIP() << "nm failed: " << nm.output;
    const std::set<std::string> expected(std::begin(nsapi::kFunctionNames), std::end(nsapi::kFunctionNames));
    EXPECT_EQ(names, expected);
}

TEST_F(EntryPoints, LibraryInfoIsFilledByteForByteAndNothingElse) {
    Guarded<ns_LIBRARYINFO> g;
    ASSERT_EQ(lib->GetLibraryInfo(&g.record, sizeof(ns_LIBRARYINFO)), ns_OK);

    // Expected image: guards everywhere, then exactly the written bytes.
    std::vector<uint8_t> want(sizeof g, kGuard);
    const size_t base = offsetof(Guarded<ns_LIBRARYINFO>, record);
    auto u32 = [&](size_t off, uint32_t v) { std::memcpy(&want[base + off], &v, 4); };
    auto text = [&](size_t off, const char* s) { std::memcpy(&want[base + off], s, std::strlen(s) + 1); };
    u32(0, 3);
    u32(4, 0);
    u32(8, 1);
    u32(12, 3);
    text(16, "neuroshare Library to import Quorvane data files");
    text(80, "Quorvane");
    u32(144, 2010);
    u32(148, 6);
    u32(152, 9);
    u32(156, 0);
    u32(160, 256);
    u32(164, 1);
    text(168, "QRV data files");
    text(168 + 32, "*.qrd");
    text(168 + 40, "");
    text(168 + 48, "QRVSTRM");
    EXPECT_EQ(g.Bytes(), want);
}

TEST_F(EntryPoints, LibraryInfoRefusesWrongSizesAndTheAllOnesPointer) {
    EXPECT_EQ(lib->GetLibraryInfo(nullptr, 0), ns_OK);
    EXPECT_EQ(lib->GetLibraryInfo(nullptr, 1191), ns_OK);
    for (uint32_t size : {0u, 1191u, 1193u, 0xFFFFFFFFu}) {
        Guarded<ns_LIBRARYINFO> g;
        EXPECT_EQ(lib->GetLibraryInfo(&g.record, size), ns_LIBERROR) << size;
        EXPECT_TRUE(g.Untouched()) << size;
    }
    // Never dereferenced: refused by value.
    auto* allOnes = reinterpret_cast<ns_LIBRARYINFO*>(UINTPTR_MAX);
    EXPECT_EQ(lib->GetLibraryInfo(allOnes, sizeof(ns_LIBRARYINFO)), ns_LIBERROR);
}

TEST_F(EntryPoints, LastErrorMessageLeavesTheBufferAlone) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    uint32_t id = 99;
    EXPECT_EQ(lib->OpenFile("/nonexistent/file.qrd", &id), ns_FILEERROR);  // a failure first
    EXPECT_EQ(lib->GetLastErrorMsg(buffer, sizeof buffer), ns_OK);
    for (char c : buffer) ASSERT_EQ(c, 'x');
    EXPECT_EQ(lib->GetLastErrorMsg(nullptr, 0), ns_OK);
    EXPECT_EQ(lib->GetLastErrorMsg(nullptr, 256), ns_OK);
}

// Every call that takes an identifier, given an identifier and record sizes
// (each call uses its own record type, with size = record size + delta).
struct CallResults {
    ns_RESULT fileInfo, closeFile, entityInfo, eventInfo, eventData, analogInfo, analogData, segmentInfo,
        sourceInfo, segmentData, neuralInfo, neuralData, indexByTime, timeByIndex;
};

CallResults CallEverything(NsLibrary& lib, uint32_t id, int delta, bool& recordsUntouched) {
    Guarded<ns_FILEINFO> file;
    Guarded<ns_ENTITYINFO> entity;
    Guarded<ns_EVENTINFO> event;
    Guarded<ns_ANALOGINFO> analog;
    Guarded<ns_SEGMENTINFO> segment;
    Guarded<ns_SEGSOURCEINFO> source;
    Guarded<ns_NEURALINFO> neural;
    double time = -1, data[4] = {-1, -1, -1, -1};
    uint32_t u32a = 77, u32b = 77;
    uint8_t bytes[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    auto size = [delta](size_t s) { return static_cast<uint32_t>(static_cast<int>(s) + delta); };

    CallResults r{};
    r.fileInfo = lib.GetFileInfo(id, &file.record, size(sizeof(ns_FILEINFO)));
    r.entityInfo = lib.GetEntityInfo(id, 0, &entity.record, size(sizeof(ns_ENTITYINFO)));
    r.eventInfo = lib.GetEventInfo(id, 0, &event.record, size(sizeof(ns_EVENTINFO)));
    r.eventData = lib.GetEventData(id, 0, 0, &time, bytes, sizeof bytes, &u32a);
    r.analogInfo = lib.GetAnalogInfo(id, 0, &analog.record, size(sizeof(ns_ANALOGINFO)));
    r.analogData = lib.GetAnalogData(id, 0, 0, 1, &u32a, data);
    r.segmentInfo = lib.GetSegmentInfo(id, 0, &segment.record, size(sizeof(ns_SEGMENTINFO)));
    r.sourceInfo = lib.GetSegmentSourceInfo(id, 0, 0, &source.record, size(sizeof(ns_SEGSOURCEINFO)));
    r.segmentData = lib.GetSegmentData(id, 0, 0, &time, data, sizeof data, &u32a, &u32b);
    r.neuralInfo = lib.GetNeuralInfo(id, 0, &neural.record, size(sizeof(ns_NEURALINFO)));
    r.neuralData = lib.GetNeuralData(id, 0, 0, 1, data);
    r.indexByTime = lib.GetIndexByTime(id, 0, 0.0, ns_CLOSEST, &u32b);
    r.timeByIndex = lib.GetTimeByIndex(id, 0, 0, &time);
    r.closeFile = lib.CloseFile(id);
    recordsUntouched = entity.Untouched() && event.Untouched() && analog.Untouched() && segment.Untouched() &&
                       source.Untouched() && neural.Untouched() && time == -1 && data[0] == -1 && u32a == 77 &&
                       u32b == 77 && bytes[0] == 0xEE;
    // ns_GetFileInfo fills a record only on success.
    if (r.fileInfo != ns_OK) recordsUntouched = recordsUntouched && file.Untouched();
    return r;
}

void ExpectAll(const CallResults& r, ns_RESULT code, const std::string& what) {
    for (ns_RESULT v : {r.fileInfo, r.closeFile, r.entityInfo, r.eventInfo, r.eventData, r.analogInfo, r.analogData,
                        r.segmentInfo, r.sourceInfo, r.segmentData, r.neuralInfo, r.neuralData, r.indexByTime,
                        r.timeByIndex})
        EXPECT_EQ(v, code) << what;
}

TEST_F(EntryPoints, IdentifiersOutOfRangeAreRefusedBeforeAnythingElse) {
    for (uint32_t id : {0u, 257u, 0xFFFFFFFFu}) {
        for (int delta : {0, -1, 1}) {
            bool untouched = false;
            const CallResults r = CallEverything(*lib, id, delta, untouched);
            ExpectAll(r, ns_BADFILE, "id " + std::to_string(id) + " delta " + std::to_string(delta));
            EXPECT_TRUE(untouched);
        }
    }
}

TEST_F(EntryPoints, ClosedIdentifiersAreRefusedWithSizeCheckedFirstWhereTheOrderSaysSo) {
    for (uint32_t id : {1u, 128u, 256u}) {
        bool untouched = false;
        CallResults r = CallEverything(*lib, id, 0, untouched);
        ExpectAll(r, ns_BADFILE, "closed id " + std::to_string(id));
        EXPECT_TRUE(untouched);

        // With a record size one byte off: the file information call checks
        // the slot first, every other information call checks the size first.
        for (int delta : {-1, 1}) {
            r = CallEverything(*lib, id, delta, untouched);
            EXPECT_TRUE(untouched);
            EXPECT_EQ(r.fileInfo, ns_BADFILE);
            EXPECT_EQ(r.entityInfo, ns_LIBERROR);
            EXPECT_EQ(r.eventInfo, ns_LIBERROR);
            EXPECT_EQ(r.analogInfo, ns_LIBERROR);
            EXPECT_EQ(r.segmentInfo, ns_LIBERROR);
            EXPECT_EQ(r.sourceInfo, ns_LIBERROR);
            EXPECT_EQ(r.neuralInfo, ns_LIBERROR);
            // Calls without a record still see the closed slot.
            EXPECT_EQ(r.eventData, ns_BADFILE);
            EXPECT_EQ(r.analogData, ns_BADFILE);
            EXPECT_EQ(r.segmentData, ns_BADFILE);
            EXPECT_EQ(r.neuralData, ns_BADFILE);
            EXPECT_EQ(r.indexByTime, ns_BADFILE);
            EXPECT_EQ(r.timeByIndex, ns_BADFILE);
            EXPECT_EQ(r.closeFile, ns_BADFILE);
        }
    }
}

TEST_F(EntryPoints, NullRecordPointersAreRefusedNotFollowed) {
    // Range first; then the record check runs where the size check runs.
    EXPECT_EQ(lib->GetEntityInfo(0, 0, nullptr, sizeof(ns_ENTITYINFO)), ns_BADFILE);
    EXPECT_EQ(lib->GetEntityInfo(1, 0, nullptr, sizeof(ns_ENTITYINFO)), ns_LIBERROR);
    EXPECT_EQ(lib->GetSegmentSourceInfo(1, 0, 0, nullptr, sizeof(ns_SEGSOURCEINFO)), ns_LIBERROR);
    EXPECT_EQ(lib->GetNeuralInfo(1, 0, nullptr, sizeof(ns_NEURALINFO)), ns_LIBERROR);
}

TEST_F(EntryPoints, OpenFailuresMapToTheirCodesAndLeaveIdentifierZero) {
    const TempDir& dir = lib.dir();
    struct Case {
        std::string path;
        ns_RESULT code;
    } cases[] = {
        {dir.File("missing.qrd"), ns_FILEERROR},
        {dir.Write("empty.qrd", ""), ns_TYPEERROR},
        {dir.Write("short.qrd", "QRVST"), ns_TYPEERROR},
        {dir.Write("other.qrd", std::string("RIFF\0\0\0\0WAVEfmt ", 16)), ns_TYPEERROR},
        {dir.Write("lower.qrd", "qrvstrm "), ns_TYPEERROR},
        {dir.Write("signature-only.qrd", "QRVSTRM "), ns_TYPEERROR},
        {dir.Write("no-header.qrd", std::string("QRVSTRM ") + std::string(8, '\xFF') + "LISThdr "), ns_TYPEERROR},
    };
    for (const Case& c : cases) {
        uint32_t id = 12345;
        EXPECT_EQ(lib->OpenFile(c.path.c_str(), &id), c.code) << c.path;
        EXPECT_EQ(id, 0u) << c.path;
    }
    // No failure occupied a slot.
    for (uint32_t id = 1; id <= 256; ++id) ASSERT_EQ(lib->CloseFile(id), ns_BADFILE) << id;
}

TEST_F(EntryPoints, OpenRefusesNullArgumentsWithoutHarm) {
    uint32_t id = 12345;
    EXPECT_EQ(lib->OpenFile(nullptr, &id), ns_FILEERROR);
    EXPECT_EQ(id, 0u);
    const std::string path = lib.dir().Write("x.qrd", "QRVSTRM ");
    EXPECT_EQ(lib->OpenFile(path.c_str(), nullptr), ns_LIBERROR);
    EXPECT_EQ(lib->OpenFile(nullptr, nullptr), ns_LIBERROR);
    EXPECT_EQ(lib->CloseFile(1), ns_BADFILE);
}

}  // namespace
}  // namespace qrd_test
