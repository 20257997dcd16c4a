// Opens arbitrary bytes as a QRD recording and walks what it finds.  Open
// must answer with a result code, the walks must end, and nothing may read
// or write outside its buffers or allocate beyond what the input can hold.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "container/channel.h"
#include "container/chunk.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"
#include "contents/info_object.h"
#include "memory_file.h"

namespace {

constexpr size_t kMaxChunksPerWalk = 2000;

void WalkStream(qrd::CQRVAStream& stream) {
    std::unique_ptr<qrd::CQRVAChunk> chunk = stream.FirstChunk();
    uint64_t lastEnd = 0;
    std::vector<uint8_t> payload;
    for (size_t n = 0; chunk && n < kMaxChunksPerWalk; ++n) {
        if (n < 4) chunk->ReadData(payload);
        lastEnd = chunk->GetEndTicks();
        std::unique_ptr<qrd::CQRVAChunk> next = stream.NextChunk(chunk);
        if (!next) break;
        chunk = std::move(next);
    }
    stream.ChunkAtTime(qrd::CQRVATimeStamp(lastEnd / 2, 0));
    stream.CreateInfo();
    for (uint32_t c = 0; c < stream.GetChannelCount() && c < 64; ++c) {
        qrd::CQRVAChannel* channel = stream.GetChannel(c);
        if (!channel) continue;
        channel->GetLabel();
        channel->GetDescription();
        channel->GetExtraValue(0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzinput::MemoryFile& input = fuzzinput::InputFile();
    if (!input.assign(data, size)) return 0;
    qrd::CQRVAStreamFile file;
    if (file.Open(input.path().c_str()) == 0) {
        file.GetComment();
        file.GetStartYear();
        file.GetSweepLength();
        file.BuildIndex();
        file.GetSweepStart(0);
        file.GetHeaderEntryText(3);
        for (uint32_t s = 0; s < file.GetStreamCount(); ++s)
            if (qrd::CQRVAStream* stream = file.GetStream(s)) WalkStream(*stream);
        std::unique_ptr<qrd::CQRVAChunk> chunk = file.FirstChunk();
        for (size_t n = 0; chunk && n < kMaxChunksPerWalk; ++n) {
            std::unique_ptr<qrd::CQRVAChunk> next = file.NextChunk(chunk);
            if (!next) break;
            chunk = std::move(next);
        }
    }
    file.Reset();
    return 0;
}
