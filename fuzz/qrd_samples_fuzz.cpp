// Reads samples out of arbitrary bytes opened as a QRD recording: the index
// scan, counts, reads by time, by sweep and by sample index.  Every read must
// end, stay inside its destination and allocate nothing the input cannot
// justify, whatever the chunk heads, times and counts claim.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "container/stream.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"
#include "memory_file.h"

namespace {

constexpr uint32_t kCapacity = 4096;

void ReadStream(qrd::CQRVAStreamFile& file, qrd::CQRVAStream& stream, std::vector<uint16_t>& dst) {
    const uint64_t start = file.GetStartTime()->GetTicks();
    const uint64_t stop = file.GetStopTime()->GetTicks();
    stream.TotalSampleCount();
    const qrd::CQRVATimeStamp a(start, 0), b(start + (stop - start) / 3, 0), c(stop, 0);
    stream.SampleCountBetween(a, c);
    stream.ReadSamplesBetween(dst.data(), kCapacity, b, c);
    stream.ReadSamplesBetween(dst.data(), kCapacity, a, b);
    const uint32_t channels = stream.GetChannelCount();
    for (uint32_t ch : {0u, channels / 2, channels}) {
        stream.ReadChannelRange(dst.data(), ch, 0, kCapacity);
        stream.ReadChannelRange(dst.data(), ch, 1000, kCapacity / 2);
        stream.ReadChannel(dst.data(), kCapacity, ch);
        for (uint32_t w = 0; w < 3; ++w) {
            stream.SweepSampleCount(w);
            stream.ReadSweep(dst.data(), kCapacity, w);
            stream.ReadSweepChannel(dst.data(), kCapacity, w, ch);
            stream.ReadSweepSlice(dst.data(), kCapacity, w, 7, 100);
            stream.ReadSweepSliceChannel(dst.data(), kCapacity, w, ch, 3, kCapacity);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzinput::MemoryFile& input = fuzzinput::InputFile();
    if (!input.assign(data, size)) return 0;
    qrd::CQRVAStreamFile file;
    if (file.Open(input.path().c_str()) == 0) {
        file.BuildIndex();
        std::vector<uint16_t> dst(kCapacity);
        for (uint32_t s = 0; s < file.GetStreamCount(); ++s)
            if (qrd::CQRVAStream* stream = file.GetStream(s)) ReadStream(file, *stream, dst);
    }
    file.Reset();
    return 0;
}
