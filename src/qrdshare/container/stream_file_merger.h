// The steps of a merge, carried out on the output recording object.
//
// The output CQRVAStreamFile is built here rather than opened: it takes a
// copy of the earliest recording's header, layout and streams, its file is
// the output file (open for reading and writing, so the index can be scanned
// from what was written), and it counts the chunks copied into it.  Merge
// (file_merge.h) drives these steps and turns their results into messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qrd {

class CQRVAStreamFile;

class StreamFileMerger {
public:
    enum Result {
        kOk = 0,
        kCanceled = 1,     // the progress callback asked to stop
        kWriteFailed = 2,  // writing or positioning the output failed
        kReadFailed = 3    // a chunk's payload could not be read from a recording
    };

    explicit StreamFileMerger(CQRVAStreamFile& output) : out_(output) {}

    // Forgets whatever the output held, stores the path and creates the file
    // (read and write, truncating).  False when it cannot be created.
    bool CreateOutput(const std::string& path);
    // Takes over recording's header (as version 10, no chunks yet), layout and
    // streams, writes the header list and copies the recording's chunks.
    int AppendFirst(CQRVAStreamFile& recording);
    // Copies the recording's chunks after those already written, moved in
    // time to follow the output's stop time when the output is continuous.
    int Append(CQRVAStreamFile& recording);
    // Scans the output for its index, writes the index block after the last
    // chunk and rewrites the header list with the final values.
    int Finalise();
    // Closes the output file; false when any write (or the final flush) failed.
    bool CloseOutput();

private:
    // Chunk tag the output uses for every chunk tag of recording: each
    // recording stream's chunks take the tag of the output stream at the
    // same position.
    struct Retag {
        char key[8];  // the recording's chunk tag as compared: upper case, NUL as blank
        char tag[8];  // the output's chunk tag
    };
    std::vector<Retag> RetagTable(const CQRVAStreamFile& recording) const;
    // The output's tag for a chunk read from recording; false leaves tag as is.
    static bool FindRetag(const std::vector<Retag>& table, const char* chunkTag, char tag[8]);
    // Copies the streams of recording into the output with chunk tags equal
    // to their stream tags, as the reader of a version-10 file expects.
    void CloneStreams(const CQRVAStreamFile& recording);
    int ReportCopied(const CQRVAStreamFile& recording, uint64_t copied);

    CQRVAStreamFile& out_;
};

}  // namespace qrd
