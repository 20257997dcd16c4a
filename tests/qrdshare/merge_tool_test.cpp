// qrdmerge end to end: the built tool joins recordings, the result reads back
// sample for sample through the Neuroshare exports, failures print the merge
// message with a non-zero status and leave no incomplete output, and Ctrl-C
// cancels.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "container/file_merge.h"
#include "merge_test_recordings.h"
#include "support/ns_host.h"

extern char** environ;

namespace qrd {
namespace {

using namespace qrd_test;

// <build>/bin/qrdmerge, next to <build>/src/qrdshare/libqrdshare.so.
std::string QrdmergePath() {
    const std::filesystem::path lib(QrdshareLibraryPath());
    return (lib.parent_path().parent_path().parent_path() / "bin" / "qrdmerge").string();
}

class MergeTool : public ::testing::Test, protected MergeFiles {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(QrdmergePath())) GTEST_SKIP() << "qrdmerge not built at " << QrdmergePath();
    }
    // Starts qrdmerge with stdout and stderr going to a log file.
    pid_t Start(std::vector<std::string> args) {
        args.insert(args.begin(), QrdmergePath());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        posix_spawn_file_actions_t io;
        posix_spawn_file_actions_init(&io);
        posix_spawn_file_actions_addopen(&io, 1, dir.File("log.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&io, 1, 2);
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], &io, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&io);
        return pid;
    }
    // Exit status (128 + signal when killed); the output in log.
    int Wait(pid_t pid) {
        int raw = 0, status = -1;
        if (pid > 0 && waitpid(pid, &raw, 0) == pid) status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        std::stringstream text;
        text << std::ifstream(dir.File("log.txt")).rdbuf();
        log = text.str();
        return status;
    }
    int Run(const std::vector<std::string>& args) { return Wait(Start(args)); }
    std::string Path(const std::string& name, const MergeRecordingOptions& o) {
        return Add(name, o) ? dir.File(name) : std::string();
    }
    bool Logged(const char* text) const { return log.find(text) != std::string::npos; }

    std::string log;
};

TEST_F(MergeTool, JoinedRecordingReadsBackSampleForSampleThroughTheExports) {
    MergeRecordingOptions a;
    a.spanSeconds = {10};
    a.sampleBase = 100;
    a.triggerStream = false;
    MergeRecordingOptions b = a;
    b.start += 100 * kSecond;
    b.spanSeconds = {5};
    b.sampleBase = 30000;
    const std::string out = dir.File("ab.qrd");
    ASSERT_EQ(Run({Path("b.qrd", b), Path("a.qrd", a), "-o", out}), 0) << log;
    EXPECT_EQ(log, "");  // no terminal, no progress bar

    NsLibrary ns(QrdshareLibraryPath());
    ASSERT_TRUE(ns.ok()) << ns.error();
    uint32_t file = 0;
    ASSERT_EQ(ns.OpenFile(out.c_str(), &file), ns_OK);
    ns_FILEINFO info;
    ASSERT_EQ(ns.GetFileInfo(file, &info, sizeof info), ns_OK);
    EXPECT_DOUBLE_EQ(info.dTimeSpan, 15.0);
    // Entity 0 is the first electrode channel: A's samples, then B's.
    ns_ENTITYINFO entity;
    ASSERT_EQ(ns.GetEntityInfo(file, 0, &entity, sizeof entity), ns_OK);
    ASSERT_EQ(entity.dwEntityType, static_cast<uint32_t>(ns_ENTITY_ANALOG));
    EXPECT_EQ(entity.dwItemCount, 15000u);
    std::vector<double> values(15000);
    uint32_t count = 0;
    ASSERT_EQ(ns.GetAnalogData(file, 0, 0, 15000, &count, values.data()), ns_OK);
    ASSERT_EQ(count, 15000u);
    for (uint32_t i = 0; i < count; ++i) {
        const uint16_t raw = i < 10000 ? MergeSample(100, 0, i) : MergeSample(30000, 0, i - 10000);
        ASSERT_NEAR(values[i], (raw - 32768.0) * 1.0e-7, 1e-12) << "sample " << i;
    }
    EXPECT_EQ(ns.CloseFile(file), ns_OK);
}

TEST_F(MergeTool, FailuresPrintTheMessageAndLeaveNoIncompleteOutput) {
    MergeRecordingOptions b;
    b.start += 5 * kSecond;
    b.channelCount = 3;
    const std::string a = Path("a.qrd", MergeRecordingOptions{});
    // An existing file stays when the recordings do not fit together.
    const std::string kept = dir.Write("kept.qrd", "keep me");
    EXPECT_EQ(Run({a, Path("b.qrd", b), "-o", kept}), 1);
    EXPECT_TRUE(Logged(merge_message::kDifferentChannelCounts)) << log;
    EXPECT_EQ(std::filesystem::file_size(kept), 7u);
    // A full disk: reported; the device is no file of ours and stays.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(Run({a, "-o", "/dev/full"}), 1);
        EXPECT_TRUE(Logged(merge_message::kCannotWriteOutput)) << log;
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    }
    EXPECT_EQ(Run({a, dir.File("none.qrd"), "-o", dir.File("x.qrd")}), 1);
    EXPECT_TRUE(Logged("none.qrd cannot be opened")) << log;
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.qrd")));
    for (const std::vector<std::string>& usage :
         {std::vector<std::string>{a}, {"-o", "x.qrd"}, {a, "-o", "x", "-o", "y"}, {a, "--bogus", "-o", "x"}})
        EXPECT_EQ(Run(usage), 2);
}

TEST_F(MergeTool, CtrlCCancelsAndRemovesThePartialOutput) {
    MergeRecordingOptions big;  // about 20 MB: copying outlasts the wait below
    big.spanSeconds = {600};
    big.channelCount = 16;
    big.triggerStream = false;
    const std::string out = dir.File("out.qrd");
    const pid_t pid = Start({Path("big.qrd", big), "-o", out});
    ASSERT_GT(pid, 0);
    // The output appears once the interrupt handler is in place.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(out) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    kill(pid, SIGINT);
    EXPECT_EQ(Wait(pid), 130) << log;
    EXPECT_TRUE(Logged(merge_message::kCanceled)) << log;
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace qrd
