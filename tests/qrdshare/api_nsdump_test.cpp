// nsdump end to end: the built tool loads the built library by itself (chosen
// by the recording's extension) and prints what it answers.
#include "container/recording_writer.h"
#include "container/time_stamp.h"
#include "support/ns_host.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace qrd {
namespace {

// The build puts nsdump into <build>/bin and the library into
// <build>/src/qrdshare.
std::string NsdumpPath() {
    const std::filesystem::path lib(qrd_test::QrdshareLibraryPath());
    return (lib.parent_path().parent_path().parent_path() / "bin" / "nsdump").string();
}

struct NsdumpRun {
    int status = -1;
    std::string output;
};

NsdumpRun RunNsdump(const std::string& args) {
    NsdumpRun r;
    FILE* pipe = popen((NsdumpPath() + " " + args + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return r;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, n);
    const int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
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

    const NsdumpRun r = RunNsdump("'" + good + "' '" + bad + "' '" + dir.File("missing.qrd") + "'");
    EXPECT_EQ(r.status, 1) << r.output;  // two of three recordings failed
    for (const char* expected :
         {"neuroshare Library to import Quorvane data files", "version      3.0 (Neuroshare API 1.3)",
          "file type    MEA cont Tr", "start (UTC)  1970-01-02 00:00:00.000", "time span    2.500000 s",
          "comment      nsdump check", "entities     0", "ns_OpenFile failed: ns_TYPEERROR (-2)",
          "ns_OpenFile failed: ns_FILEERROR (-3)"}) {
        EXPECT_NE(r.output.find(expected), std::string::npos) << expected << "\n" << r.output;
    }

    const NsdumpRun alone = RunNsdump("--lib '" + qrd_test::QrdshareLibraryPath() + "'");
    EXPECT_EQ(alone.status, 0) << alone.output;
    EXPECT_NE(alone.output.find("max files    256"), std::string::npos) << alone.output;

    EXPECT_EQ(RunNsdump("--lib").status, 2);
    EXPECT_EQ(RunNsdump("--lib /nonexistent/lib.so").status, 1);
}

}  // namespace
}  // namespace qrd
