// Merges that must not happen or must stop: incompatible recordings (the
// first difference named, nothing written), cancellation through the
// progress callback, an output that cannot be created or written, and an
// output that is one of the inputs.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

#include "container/file_merge.h"
#include "merge_test_recordings.h"

namespace qrd {
namespace {

using namespace qrd_test;

class MergeFailures : public ::testing::Test, protected MergeFiles {
protected:
    int Run(std::vector<CQRVAStreamFile*> files, const std::string& output,
            CQRVAStreamFile::ProgressCallback progress = nullptr) {
        CQRVAStreamFile out;
        return Merge(out, files.data(), files.size(), output, std::move(progress), &created);
    }
    bool created = false;
};

TEST_F(MergeFailures, IncompatibleRecordingsNameTheFirstDifferenceAndWriteNothing) {
    struct Difference {
        std::function<void(RecordingSpec&)> change;
        const char* message;
    };
    const Difference differences[] = {
        {[](RecordingSpec& s) { s.appBuild = 15; }, merge_message::kDifferentVersions},
        {[](RecordingSpec& s) { s.sourceType = kSourceLinear; }, merge_message::kDifferentSourceTypes},
        {[](RecordingSpec& s) { s.recordingMode = kModeTriggered, s.triggerTag1 = "trig0001"; },
         merge_message::kDifferentModes},
        {[](RecordingSpec& s) { s.sampleRate = 2000000; }, merge_message::kDifferentSampleRates},
        {[](RecordingSpec& s) {
             s.streams.pop_back();
             s.chunks.erase(std::remove_if(s.chunks.begin(), s.chunks.end(), [](const ChunkSpec& c) { return c.stream == 2; }),
                            s.chunks.end());
         },
         merge_message::kDifferentStreamCounts},
        {[](RecordingSpec& s) { s.streams[1].tag = "digi0002"; }, merge_message::kDifferentStreamTypes},
        {[](RecordingSpec& s) { s.streams[0].channels.pop_back(); }, merge_message::kDifferentChannelCounts},
        {[](RecordingSpec& s) { s.streams[1].sampleRate = 2000000; }, merge_message::kDifferentStreamRates},
        {[](RecordingSpec& s) { s.streams[0].channels[1].number = 77; }, merge_message::kDifferentChannels},
        // Stream by stream: a channel of stream 0 before the tag of stream 2.
        {[](RecordingSpec& s) { s.streams[0].channels[0].number = 77, s.streams[2].tag = "trig0002"; },
         merge_message::kDifferentChannels},
    };
    CQRVAStreamFile* first = Add("first.qrd", MergeRecordingOptions{});
    int n = 0;
    for (const Difference& d : differences) {
        SCOPED_TRACE(n);
        MergeRecordingOptions later;
        later.start += 20 * kSecond;
        RecordingSpec desc = MergeRecording(later);
        d.change(desc);
        CQRVAStreamFile* other = Add("other" + std::to_string(n) + ".qrd", desc);
        ASSERT_TRUE(other);
        const std::string output = dir.File("out" + std::to_string(n++) + ".qrd");
        EXPECT_EQ(Run({other, first}, output), 1);
        EXPECT_EQ(GetMergeMessage(), d.message);
        EXPECT_FALSE(created);
        EXPECT_FALSE(std::filesystem::exists(output));
    }
}

TEST_F(MergeFailures, ProgressNamesEachRecordingThenTheIndexAndCanCancelEither) {
    CQRVAStreamFile* a = Add("a.qrd", MergeRecordingOptions{});
    MergeRecordingOptions later;
    later.start += 5 * kSecond;
    CQRVAStreamFile* b = Add("b.qrd", later);
    std::vector<std::string> texts;
    std::vector<uint32_t> percents;
    ASSERT_EQ(Run({b, a}, dir.File("ab.qrd"),
                  [&](const char* text, uint32_t percent) {
                      if (texts.empty() || texts.back() != text) texts.push_back(text), percents.push_back(0);
                      EXPECT_GE(percent, percents.back());
                      percents.back() = percent;
                      return 0;
                  }),
              0);
    EXPECT_EQ(texts, (std::vector<std::string>{"Merging file: " + a->GetPath(), "Merging file: " + b->GetPath(),
                                               "Generating index"}));
    EXPECT_EQ(percents, (std::vector<uint32_t>{100, 100, 100}));

    // The output of a cancelled merge exists, incomplete: the caller removes it.
    for (const char* stopAt : {"Merging file: ", "Generating index"}) {
        EXPECT_EQ(Run({a, b}, dir.File("cancelled.qrd"),
                      [stopAt](const char* text, uint32_t) { return std::strncmp(text, stopAt, 8) == 0; }),
                  1);
        EXPECT_EQ(GetMergeMessage(), merge_message::kCanceled);
        EXPECT_TRUE(created);
    }
    // The message is copied out cut to the buffer, always terminated.
    char buffer[12];
    std::memset(buffer, 'x', sizeof buffer);
    GetMergeMessage(buffer, 8);
    EXPECT_STREQ(buffer, "Merging");
    EXPECT_EQ(buffer[8], 'x');
}

TEST_F(MergeFailures, OutputProblemsAreReported) {
    CQRVAStreamFile* a = Add("a.qrd", MergeRecordingOptions{});
    MergeRecordingOptions later;
    later.start += 5 * kSecond;
    CQRVAStreamFile* b = Add("b.qrd", later);

    EXPECT_EQ(Run({a}, dir.File("missing/out.qrd")), 1);
    EXPECT_EQ(GetMergeMessage(), merge_message::kCannotOpenOutput);
    EXPECT_FALSE(created);

    // Creating the output would truncate an input while it is read.
    const auto size = std::filesystem::file_size(a->GetPath());
    EXPECT_EQ(Run({a, b}, dir.path() + "/./a.qrd"), 1);
    EXPECT_EQ(GetMergeMessage(), merge_message::kOutputIsInput);
    EXPECT_EQ(std::filesystem::file_size(a->GetPath()), size);

    CQRVAStreamFile unopened;
    EXPECT_EQ(Run({a, &unopened}, dir.File("x.qrd")), 1);
    EXPECT_EQ(GetMergeMessage(), merge_message::kInputNotOpen);
    EXPECT_EQ(Run({}, dir.File("x.qrd")), 0);  // nothing to merge: no file, no message
    EXPECT_EQ(GetMergeMessage(), "");
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.qrd")));

    // A full disk: every write to /dev/full fails.
    struct stat st;
    if (stat("/dev/full", &st) != 0) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(Run({a, b}, "/dev/full"), 1);
    EXPECT_EQ(GetMergeMessage(), merge_message::kCannotWriteOutput);
    EXPECT_TRUE(created);
}

}  // namespace
}  // namespace qrd
