#include "api/segment_read.h"

#include "api/entity_build_steps.h"
#include "api/entity_table.h"
#include "api/sample_scale.h"
#include "api/stream_kind.h"
#include "container/binary_file.h"
#include "container/le_codec.h"
#include "container/payload_cache.h"
#include "container/record_block_cache.h"
#include "container/span_cache.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "contents/event_spike.h"

#include <algorithm>
#include <vector>

namespace qrd {

namespace {

// Writes the samples of a segment (as many as the host's buffer holds) and
// its count, unit and time.
void WriteSegment(const std::vector<uint16_t>& raw, const SampleScale& scale, uint32_t unit, double time,
                  const SegmentOutput& out) {
    uint32_t reported = static_cast<uint32_t>(raw.size());
    if (out.data != nullptr) {
        const size_t fits = std::min<size_t>(raw.size(), out.dataBufferSize / sizeof(double));
        scale.Convert(raw.data(), fits, out.data);
        reported = static_cast<uint32_t>(fits);
    }
    if (out.sampleCount) *out.sampleCount = reported;
    if (out.unitId) *out.unitId = unit;
    if (out.timeStamp) *out.timeStamp = time;
}

bool InItems(const EntityRecord& entity, int32_t index) {
    return index >= 0 && index < entity.itemCount && static_cast<size_t>(index) < entity.blocks.size();
}

// Copies the `length` bytes of the spike record at `at` from its chunk's
// payload in the file's payload cache to dst; false when the payload is not
// held there.  The record was read whole when it was counted, so it lies
// within the payload.
bool CopyCachedSpikeRecord(CQRVAStreamFile& file, BinaryFile& handle, const SpikeChunk& chunk,
                           const SpikePosition& at, size_t length, uint8_t* dst) {
    return file.GetPayloadCache().Copy(handle, chunk.dataOffset, chunk.dataSize, at.offset, length, chunk.spikes,
                                       dst);
}

// Reads the `length` bytes of the spike record at `at` into dst: from the
// payload cache, else from the file.
bool ReadSpikeRecord(CQRVAStreamFile& file, BinaryFile& handle, const SpikeChunk& chunk, const SpikePosition& at,
                     size_t length, uint8_t* dst) {
    return CopyCachedSpikeRecord(file, handle, chunk, at, length, dst) ||
           handle.ReadAt(chunk.dataOffset + at.offset, dst, length);
}

// The records of one spike entity, for the record block cache.
class SpikeRecords final : public RecordBlockCache::RecordSource {
public:
    SpikeRecords(CQRVAStreamFile& file, BinaryFile& handle, const EntityRecord& entity, size_t head)
        : file_(file), handle_(handle), entity_(entity), head_(head) {}
    uint64_t Length(uint32_t item) const override {
        return head_ + 2 * static_cast<uint64_t>(std::max(entity_.spikes[item].sampleCount, 0));
    }
    bool Read(uint32_t item, uint8_t* dst) const override {
        const SpikePosition& at = entity_.spikes[item];
        if (at.chunk >= entity_.spikeChunks->size()) return false;
        return ReadSpikeRecord(file_, handle_, (*entity_.spikeChunks)[at.chunk], at,
                               static_cast<size_t>(Length(item)), dst);
    }

private:
    CQRVAStreamFile& file_;
    BinaryFile& handle_;
    const EntityRecord& entity_;
    size_t head_;
};

}  // namespace

bool ReadSpikeSegment(CQRVAStreamFile& file, const EntityRecord& entity, int32_t index, const SegmentOutput& out) {
    if (!InItems(entity, index) || static_cast<size_t>(index) >= entity.spikes.size() || !entity.spikeChunks)
        return false;
    CQRVAStream* stream = file.GetStream(static_cast<uint32_t>(entity.streamIndex));
    BinaryFile* handle = file.GetFileHandle();
    if (stream == nullptr || handle == nullptr) return false;
    const SpikePosition& at = entity.spikes[static_cast<size_t>(index)];
    if (at.chunk >= entity.spikeChunks->size()) return false;
    const SpikeChunk& chunk = (*entity.spikeChunks)[at.chunk];
    const SpikeRecordLayout layout = SpikeLayoutFor(stream->GetStreamVersion());
    const size_t length = static_cast<size_t>(std::max(at.sampleCount, 0));
    const auto reader = reinterpret_cast<uintptr_t>(&entity);
    file.GetPayloadCache().BeginRead(reader);

    // The record's head, and its samples when the host wants them: from the
    // block of the entity's records when the host reads out of order, else
    // from the payload cache or the file.
    const size_t need = layout.head + (out.data != nullptr ? 2 * length : 0);
    std::vector<uint8_t> record(need);
    const bool copied = file.GetRecordBlockCache().Copy(reader, static_cast<uint32_t>(index),
                                                        static_cast<uint32_t>(entity.spikes.size()),
                                                        SpikeRecords(file, *handle, entity, layout.head),
                                                        record.data(), need) ||
                        CopyCachedSpikeRecord(file, *handle, chunk, at, need, record.data());
    if (!copied && !handle->ReadAt(chunk.dataOffset + at.offset, record.data(), record.size())) return false;
    const uint8_t* bytes = record.data();
    // A record that no longer says what was counted belongs to a file that
    // changed since it was opened.
    if (GetI32(bytes, layout.sampleCount) != at.sampleCount) return false;

    std::vector<uint16_t> raw(length);
    if (out.data != nullptr)
        for (size_t i = 0; i < length; ++i) raw[i] = GetU16(bytes, layout.head + 2 * i);
    const uint16_t unitId = layout.unitId ? GetU16(bytes, layout.unitId) : kSpikeDefaultUnitId;
    const uint32_t unit = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(unitId)));
    WriteSegment(raw, StreamScale(*stream), unit, entity.blocks[static_cast<size_t>(index)].startTime, out);
    return true;
}

bool ReadSweepSegment(CQRVAStreamFile& file, const EntityRecord& entity, int32_t index, const SegmentOutput& out) {
    if (!InItems(entity, index)) return false;
    CQRVAStream* stream = file.GetStream(static_cast<uint32_t>(entity.streamIndex));
    if (stream == nullptr) return false;
    const uint32_t channelCount = stream->GetChannelCount();
    if (entity.channelPosition < 0 || static_cast<uint32_t>(entity.channelPosition) >= channelCount) return false;
    const uint32_t sweep = static_cast<uint32_t>(index);
    // The sweep's length comes from its start and end times; it cannot hold
    // more samples than the file.
    const uint64_t length =
        std::min<uint64_t>(stream->SweepSampleCount(sweep) / channelCount, MaxSamplesPerChannel(file, channelCount));
    const SampleScale scale = IsDigitalTag(entity.streamTag) ? UnscaledSamples() : StreamScale(*stream);
    const double time = entity.blocks[static_cast<size_t>(index)].startTime;
    const uint32_t column = static_cast<uint32_t>(entity.channelPosition);

    // From the span cache: the samples that fit the host's buffer, converted
    // straight into it; samples the sweep does not deliver read as raw 0, as
    // they do below.
    SpanCache& cache = file.GetSpanCache();
    if (out.data != nullptr && length > 0 && cache.Serves(*stream)) {
        SweepColumnRead read;
        read.capacity = static_cast<uint32_t>(std::min<uint64_t>(length, out.dataBufferSize / sizeof(double)));
        read.zero = scale.zero;
        read.step = scale.step;
        const int64_t got =
            stream->ConvertSweepColumnFromCache(cache, static_cast<uint32_t>(entity.streamIndex), sweep, column,
                                                read, out.data);
        if (got >= 0) {
            std::fill(out.data + std::min<int64_t>(got, read.capacity), out.data + read.capacity, scale(0));
            if (out.sampleCount) *out.sampleCount = read.capacity;
            if (out.unitId) *out.unitId = 0;
            if (out.timeStamp) *out.timeStamp = time;
            return true;
        }
    }
    std::vector<uint16_t> raw(static_cast<size_t>(length), 0);
    if (out.data != nullptr && length > 0)
        stream->ReadSweepChannel(raw.data(), static_cast<uint32_t>(length), sweep, column);
    WriteSegment(raw, scale, 0, time, out);
    return true;
}

}  // namespace qrd
