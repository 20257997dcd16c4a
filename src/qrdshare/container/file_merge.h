// Joining QRD recordings of one setup into a new recording.
//
// The recordings are ordered by start time, checked pairwise for
// compatibility, and their data chunks are copied one after the other into
// the output file.  In continuous recordings every later recording is moved
// in time so that it starts where the previous one stopped, so the output is
// one continuous time line; triggered recordings keep their times.  The
// output gets the header, streams and layout of the earliest recording, a
// fresh index block, and a header rewritten with the final stop time and
// chunk count.
//
// No Neuroshare entry point reaches this: hosts use the qrdmerge tool or call
// Merge directly.  The reason of the last failure is kept per thread and
// read with GetMergeMessage.
#pragma once

#include <cstddef>
#include <string>

#include "container/stream_file.h"

namespace qrd {

// The merge messages.  The first group names the first difference that makes
// two recordings unfit to be joined.
namespace merge_message {
constexpr char kDifferentVersions[] = "Files were recorded with different Vantrel versions.";
constexpr char kDifferentSourceTypes[] = "Different source types.";
constexpr char kDifferentModes[] = "Different recording modes.";
constexpr char kDifferentSampleRates[] = "Different sample rate.";
constexpr char kDifferentStreamCounts[] = "Different stream count in files.";
constexpr char kDifferentStreamTypes[] = "Different stream types in files.";
constexpr char kDifferentChannelCounts[] = "Different channel count in one stream.";
constexpr char kDifferentStreamRates[] = "Different sample rate in one stream.";
constexpr char kDifferentChannels[] = "Different recorded channels in one stream.";
constexpr char kCannotOpenOutput[] = "Error opening output file.";
constexpr char kCanceled[] = "Merging canceled.";
// Failures outside the compatibility checks: an output that cannot be
// written (a full disk), a chunk that cannot be read back from a recording,
// a recording object that holds no open file, an output naming an input.
constexpr char kCannotWriteOutput[] = "Error writing output file.";
constexpr char kCannotReadInput[] = "Error reading input file.";
constexpr char kInputNotOpen[] = "Input file is not open.";
constexpr char kOutputIsInput[] = "Output file is one of the input files.";
}  // namespace merge_message

// Joins count open recordings into a new file at outputPath, built on output
// (whatever output held before is closed and forgotten).  The recordings
// array is reordered in place by start time (equal starts keep their order);
// the recordings stay open.  progress (may be empty) is installed on output:
// it sees "Merging file: <path>" with the percentage of that recording's
// chunks copied, then "Generating index"; a non-zero reply cancels.
//
// Returns 0 on success (count 0 succeeds and writes nothing) and 1 on
// failure, with the reason in the merge message.  *outputCreated (when
// given) tells whether the output file was created: after a failure that
// file is incomplete and the caller should remove it.  A failure before that
// point leaves any existing file at outputPath untouched.
int Merge(CQRVAStreamFile& output, CQRVAStreamFile** recordings, size_t count, const std::string& outputPath,
          CQRVAStreamFile::ProgressCallback progress, bool* outputCreated = nullptr);

// True when b can follow a in one merged recording: same application
// version, source type, recording mode, sample rate and streams (tags,
// channel counts, stream sample rates, channel numbers).  Otherwise false with
// the merge message naming the first difference.
bool CheckCompatible(const CQRVAStreamFile& a, const CQRVAStreamFile& b);

// Copies the message of the last merge (empty after a success) into
// destination, which holds capacity bytes: at most capacity - 1 characters
// and a terminating NUL.  Nothing is written when capacity is 0.
void GetMergeMessage(char* destination, size_t capacity);
const std::string& GetMergeMessage();

}  // namespace qrd
