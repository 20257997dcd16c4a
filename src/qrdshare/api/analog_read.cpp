#include "api/analog_read.h"

#include "api/entity_table.h"
#include "api/sample_scale.h"
#include "api/stream_kind.h"
#include "container/span_cache.h"
#include "container/stream.h"
#include "container/stream_file.h"

#include <algorithm>
#include <vector>

namespace qrd {

namespace {

// Fills out[0, count) from a reader of raw samples that takes (offset,
// count, destination) and returns how many it delivered; reads at most
// kSampleReadPiece samples at a time, converts them and sets what a read did
// not deliver to 0.
template <typename Reader>
void ReadConverted(uint32_t count, const SampleScale& scale, double* out, Reader read) {
    std::vector<uint16_t> raw(std::min(count, kSampleReadPiece));
    for (uint32_t done = 0; done < count;) {
        const uint32_t want = std::min(count - done, kSampleReadPiece);
        const uint32_t got = std::min(want, read(done, want, raw.data()));
        scale.Convert(raw.data(), got, out + done);
        std::fill(out + done + got, out + done + want, 0.0);
        done += want;
    }
}

void ReadContinuousDirect(CQRVAStream& stream, uint32_t column, uint32_t start, uint32_t count,
                          const SampleScale& scale, double* data) {
    ReadConverted(count, scale, data, [&](uint32_t offset, uint32_t n, uint16_t* raw) {
        return stream.ReadChannelRange(raw, column, start + offset, n);
    });
}

// The same samples as ReadContinuousDirect, taken from the file's span cache
// where it holds them (or decodes them now) and from the file elsewhere.
// The read goes in the same pieces as the direct one, and a read from the
// file that comes back short ends its piece with zeros just as there, so
// both give the same values whatever the cache holds.
void ReadContinuousCached(SpanCache& cache, CQRVAStream& stream, uint32_t streamIndex, uint32_t column,
                          uint32_t start, uint32_t count, const SampleScale& scale, double* data) {
    cache.BeginColumnRead(streamIndex, column);
    std::vector<uint16_t> raw;
    // Samples to read from the file, [pendingFrom, pendingTo) relative to
    // start: consecutive stretches the cache does not hold, read in one go.
    uint64_t pendingFrom = 0, pendingTo = 0;
    auto readPending = [&]() {
        const uint32_t n = static_cast<uint32_t>(pendingTo - pendingFrom);
        if (n == 0) return true;
        if (raw.size() < n) raw.resize(n);
        const uint32_t got =
            std::min(n, stream.ReadChannelRange(raw.data(), column, static_cast<uint32_t>(start + pendingFrom), n));
        scale.Convert(raw.data(), got, data + pendingFrom);
        pendingFrom += got;
        return got == n;
    };
    for (uint32_t done = 0; done < count;) {
        const uint32_t want = std::min(count - done, kSampleReadPiece);
        const uint64_t end = uint64_t(done) + want;
        uint64_t at = done;
        pendingFrom = pendingTo = at;
        bool whole = true;
        while (at < end) {
            uint64_t available = 0;
            const SpanCache::Column samples = cache.Samples(stream, streamIndex, column, start + at, available);
            const uint64_t n = std::min(available, end - at);
            if (!samples) {
                pendingTo = at + n;
            } else {
                if (!readPending()) {
                    whole = false;
                    break;
                }
                scale.Convert(samples.data(), static_cast<size_t>(n), data + at);
                pendingFrom = pendingTo = at + n;
            }
            at += n;
        }
        if (whole && !readPending()) whole = false;
        if (!whole) std::fill(data + pendingFrom, data + end, 0.0);
        done += want;
    }
}

// Where a sweep read may take its samples from: the file's span cache
// (when it serves the stream), with the file as the fallback.
struct SweepSource {
    CQRVAStream& stream;
    SpanCache* cache;  // null: read from the file only
    uint32_t streamIndex;
    uint32_t column;
};

// The cache's answer to a sweep read into out[0, n), zeros after what it
// delivered; false when it could not serve the read.
bool ConvertFromCache(const SweepSource& src, uint32_t w, SweepColumnRead read, uint32_t n, const SampleScale& scale,
                      double* out) {
    if (src.cache == nullptr) return false;
    read.zero = scale.zero;
    read.step = scale.step;
    const int64_t got = src.stream.ConvertSweepColumnFromCache(*src.cache, src.streamIndex, w, src.column, read, out);
    if (got < 0) return false;
    std::fill(out + std::min<int64_t>(got, n), out + n, 0.0);
    return true;
}

// A whole sweep of the channel.
void ReadWholeSweep(const SweepSource& src, uint32_t w, uint32_t length, const SampleScale& scale, double* out) {
    SweepColumnRead read;
    read.capacity = length;
    if (ConvertFromCache(src, w, read, length, scale, out)) return;
    std::vector<uint16_t> raw(length);
    const uint32_t got = std::min(length, src.stream.ReadSweepChannel(raw.data(), length, w, src.column));
    scale.Convert(raw.data(), got, out);
    std::fill(out + got, out + length, 0.0);
}

// Samples [first, first + n) of sweep w, in pieces as the reads from the file.
void ReadSweepPart(const SweepSource& src, uint32_t w, uint32_t first, uint32_t n, const SampleScale& scale,
                   double* out) {
    for (uint32_t done = 0; done < n;) {
        const uint32_t want = std::min(n - done, kSampleReadPiece);
        SweepColumnRead read;
        read.whole = false;
        read.first = first + done;
        read.count = read.capacity = want;
        if (!ConvertFromCache(src, w, read, want, scale, out + done)) {
            ReadConverted(want, scale, out + done, [&](uint32_t offset, uint32_t k, uint16_t* raw) {
                return src.stream.ReadSweepSliceChannel(raw, k, w, src.column, first + done + offset, k);
            });
        }
        done += want;
    }
}

}  // namespace

bool ReadAnalogWindow(CQRVAStreamFile& file, const EntityRecord& entity, uint32_t start, uint32_t count,
                      uint32_t* contCount, double* data) {
    // 64-bit sum: a start near 2^32 must not wrap into the valid range.
    if (static_cast<uint64_t>(start) + count > static_cast<uint64_t>(std::max(entity.itemCount, 0))) return false;
    CQRVAStream* stream = file.GetStream(static_cast<uint32_t>(entity.streamIndex));
    if (stream == nullptr) return false;
    if (entity.channelPosition < 0 || static_cast<uint32_t>(entity.channelPosition) >= stream->GetChannelCount())
        return false;
    const uint32_t column = static_cast<uint32_t>(entity.channelPosition);
    const SampleScale scale = IsDigitalTag(entity.streamTag) ? UnscaledSamples() : StreamScale(*stream);

    if (file.GetRecordingMode() == 0) {
        if (contCount) *contCount = count;
        if (data && count > 0) {
            SpanCache& cache = file.GetSpanCache();
            if (cache.Serves(*stream))
                ReadContinuousCached(cache, *stream, static_cast<uint32_t>(entity.streamIndex), column, start, count,
                                     scale, data);
            else
                ReadContinuousDirect(*stream, column, start, count, scale, data);
        }
        return true;
    }

    // Sweep recording: the entity's blocks are its sweeps, one after another.
    const std::vector<ItemBlock>& sweeps = entity.blocks;
    const auto holder = std::partition_point(sweeps.begin(), sweeps.end(), [&](const ItemBlock& sweep) {
        return static_cast<uint64_t>(sweep.firstIndex) + sweep.count <= start;
    });
    if (count == 0 || holder == sweeps.end()) {
        if (contCount) *contCount = 0;
        return count == 0;
    }
    uint32_t w = static_cast<uint32_t>(holder - sweeps.begin());
    const uint32_t offset = start - holder->firstIndex;
    const uint32_t inFirst = std::min(count, holder->count - offset);
    if (contCount) *contCount = inFirst;
    if (data == nullptr) return true;

    SpanCache& cache = file.GetSpanCache();
    const SweepSource src{*stream, cache.Serves(*stream) ? &cache : nullptr,
                          static_cast<uint32_t>(entity.streamIndex), column};
    // The first sweep from the start offset, then whole sweeps while more
    // than a sweep remains, then the part of the sweep that holds the end.
    ReadSweepPart(src, w, offset, inFirst, scale, data);
    uint32_t done = inFirst;
    for (++w; done < count && w < sweeps.size(); ++w) {
        const uint32_t remaining = count - done;
        const uint32_t length = sweeps[w].count;
        if (remaining > length) {
            ReadWholeSweep(src, w, length, scale, data + done);
            done += length;
        } else {
            ReadSweepPart(src, w, 0, remaining, scale, data + done);
            done += remaining;
        }
    }
    std::fill(data + done, data + count, 0.0);
    return true;
}

}  // namespace qrd
