// nsdump end to end: the built tool loads the built library by itself (chosen
// by the recording's extension) and prints what it answers.
#include "container/recording_writer.h"
#include "container/time_stamp.h"
#include "support/ns_host.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace qrd {
namespace {

using qrd_test::Quoted;

// The build puts nsdump into <build>/bin and the library into
// <build>/src/qrdshare.
std::string NsdumpPath() {
#ifdef NSDUMP_PATH
    return NSDUMP_PATH;
#else
    const std::filesystem::path lib(qrd_test::QrdshareLibraryPath());
    return (lib.parent_path().parent_path().parent_path() / "bin" / "nsdump").string();
#endif
}

qrd_test::CommandResult RunNsdump(const std::string& args) {
    return qrd_test::RunCommand(Quoted(NsdumpPath()) + " " + args);
}

TEST(Nsdump, PrintsLibraryAndFileInformationAndNamesFailures) {
    if (!std::filesystem::exists(NsdumpPath())) GTEST_SKIP() << "nsdump not built at " << NsdumpPath();
    qrd_test::TempDir dir;
    RecordingSpec desc;
    desc.startTime = kUnixEpochTicks + 86400ull * 1000000000ull;  // 1970-01-02
    desc.stopTime = desc.startTime + 2500000000ull;
    desc.comment = "nsdump check";
    StreamSpec s;
    s.typeName = "average";  // a stream that gives no entities
    s.name = "Trigger";
    s.id = 1;
    s.tag = "aver0001";
    desc.streams.push_back(s);
    const std::string good = dir.File("good.qrd");
    ASSERT_TRUE(WriteRecording(desc, good));
    const std::string bad = dir.Write("bad.qrd", "not a recording");

    const auto r = RunNsdump(Quoted(good) + " " + Quoted(bad) + " " + Quoted(dir.File("missing.qrd")));
    EXPECT_EQ(r.exitCode, 1) << r.output;  // two of three recordings failed
    for (const char* expected :
         {"neuroshare Library to import Quorvane data files", "version      3.0 (Neuroshare API 1.3)",
          "file type    MEA cont Tr", "start (UTC)  1970-01-02 00:00:00.000", "time span    2.500000 s",
          "comment      nsdump check", "entities     0", "ns_OpenFile failed: ns_TYPEERROR (-2)",
          "ns_OpenFile failed: ns_FILEERROR (-3)"}) {
        EXPECT_NE(r.output.find(expected), std::string::npos) << expected << "\n" << r.output;
    }

    const auto alone = RunNsdump("--lib " + Quoted(qrd_test::QrdshareLibraryPath()));
    EXPECT_EQ(alone.exitCode, 0) << alone.output;
    EXPECT_NE(alone.output.find("max files    256"), std::string::npos) << alone.output;

    EXPECT_EQ(RunNsdump("--lib").exitCode, 2);
    EXPECT_EQ(RunNsdump("--lib /nonexistent/lib.so").exitCode, 1);
}

}  // namespace
}  // namespace qrd
