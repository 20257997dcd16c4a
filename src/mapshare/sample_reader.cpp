#include "sample_reader.h"

#include "last_error.h"
#include "map_channel.h"
#include "random_access_file.h"
#include "sample_decoder.h"

namespace mapshare {

int64_t readSamplesAt(const RandomAccessFile& file, uint64_t position, uint32_t count, std::vector<uint8_t>& bytes,
                      double* out) {
    const size_t length = static_cast<size_t>(count) * 2;
    if (bytes.size() < length) bytes.resize(length);
    const int64_t got = file.readAt(position, bytes.data(), length);
    if (got < 0) {
        setLastError("Error while reading from file");
        return -1;
    }
    const auto samples = static_cast<size_t>(got) / 2;
    decodeSamples(bytes.data(), samples, out);
    return static_cast<int64_t>(samples);
}

int64_t DirectSampleReader::read(const MapChannel& channel, size_t block, uint32_t first, uint32_t count,
                                 uint64_t /*wantedAfter*/, double* out) {
    const MapBlock& b = channel.blocks()[block];
    std::vector<uint8_t> bytes;
    return readSamplesAt(file_, b.position + uint64_t{first} * 2, count, bytes, out);
}

}  // namespace mapshare
