// How the sample queries get the samples of a block from the file.
//
// readSamples and readSegment ask for a run of samples of one block at a
// time; a SampleReader decides how the bytes are fetched.  The direct reader
// reads each request from the file; the piece cache (piece_cache.h) reads the
// file in large pieces and serves the requests of every channel from them.
// Both hand out the same samples for every request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mapshare {

class MapChannel;
class RandomAccessFile;

class SampleReader {
public:
    virtual ~SampleReader() = default;

    // Decodes samples first .. first + count - 1 of block `block` of channel
    // into out.  wantedAfter says how many samples the query may still ask
    // for from the blocks that follow (a hint for reading ahead; it never
    // changes the answer).  Returns count; fewer when the file ends before
    // them (the samples that are there are decoded); -1 on an input error,
    // with "Error while reading from file" in the last-error text.
    virtual int64_t read(const MapChannel& channel, size_t block, uint32_t first, uint32_t count,
                         uint64_t wantedAfter, double* out) = 0;
};

// One read of the file for every request.
class DirectSampleReader final : public SampleReader {
public:
    explicit DirectSampleReader(const RandomAccessFile& file) : file_(file) {}

    // Safe on several threads at once: each request has a buffer of its own.
    int64_t read(const MapChannel& channel, size_t block, uint32_t first, uint32_t count, uint64_t wantedAfter,
                 double* out) override;

private:
    const RandomAccessFile& file_;
};

// Reads count samples at file position `position` into out with one read,
// using bytes as the buffer; the contract of SampleReader::read.
int64_t readSamplesAt(const RandomAccessFile& file, uint64_t position, uint32_t count, std::vector<uint8_t>& bytes,
                      double* out);

}  // namespace mapshare
