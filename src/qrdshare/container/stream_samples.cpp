// Continuous samples of a stream, read by time, by sweep or by sample index.
//
// Raw-data payloads hold u16 values interleaved by channel: one instant is
// one value of every channel, in channel order.  Reads by time count whole
// sample periods at the stream's rate in hertz; reads by sample index count
// instants from the stream's first chunk.
//
// Every read starts from the stream's chunk table (chunk_table.h), so its
// cost depends on the size of the window, not on where in the recording it
// lies.  The time-based reads keep a cursor chunk between calls; a read that
// starts before the cursor starts over from the first chunk, a read at or
// after it moves on from there.
//
// Streams without channels or without a sample rate have no samples: every
// operation returns 0 for them instead of dividing by zero.
#include <algorithm>
#include <atomic>
#include <limits>
#include <mutex>
#include <memory>

#include "container/binary_file.h"
#include "container/chunk_table.h"
#include "container/sample_kernels.h"
#include "container/sample_reader.h"
#include "container/span_cache.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"

namespace qrd {

namespace {

constexpr uint64_t kNsPerSecond = 1000000000ull;
constexpr uint64_t kNoLimit = std::numeric_limits<uint64_t>::max();

uint32_t ClampTo32(uint64_t v) {
    return v > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max() : static_cast<uint32_t>(v);
}

// Interleaved values in [t1, t2): whole sample periods times the channel
// count.  128-bit products, so long spans at high rates do not wrap.
uint64_t ValuesBetween(uint64_t t1, uint64_t t2, uint32_t rateHz, uint32_t channels) {
    if (t2 <= t1) return 0;
    const unsigned __int128 periods = static_cast<unsigned __int128>(t2 - t1) * rateHz / kNsPerSecond;
    const unsigned __int128 values = periods * channels;
    return values > kNoLimit ? kNoLimit : static_cast<uint64_t>(values);
}

// The runs of a read from t1 to t2 (t1 <= t2), in read order, passed to
// visit(run, read position); returns the number of values planned.  The
// cursor is positioned first (restarted from the first chunk when t1 lies
// before it) and left on the chunk the read ended on.
//
//   head:   when t1 lies strictly inside the cursor chunk, the values from t1
//           up to t2 or the chunk's end;
//   whole:  every following chunk that ends at or before t2;
//   tail:   the values of the next chunk from its start up to t2.
template <typename Visit>
uint64_t PlanBetween(const ChunkTable& table, size_t& cursor, uint64_t t1, uint64_t t2,
                     uint32_t rateHz, uint32_t channels, Visit visit) {
    const size_t n = table.Size();
    if (n == 0) return 0;
    // A cursor not (yet) on a chunk of the table starts at the first chunk.
    size_t c = cursor >= n ? 0 : cursor;
    if (t1 < table.At(c).start) c = 0;
    c = table.FirstEndingAfter(c, t1);
    if (c == n) {
        cursor = n - 1;
        return 0;
    }
    uint64_t pos = 0;
    auto emit = [&](size_t k, uint64_t first, uint64_t count, bool whole) {
        if (count == 0) return;
        visit(ValueRun{k, first, count, whole}, pos);
        pos += count;
    };

    const ChunkTableEntry& head = table.At(c);
    if (head.start < t1 && t1 < head.end) {
        // Values computed from times are kept within the chunk's payload.
        const uint64_t skip = std::min(ValuesBetween(head.start, t1, rateHz, channels), head.valueCount);
        const uint64_t copy =
            std::min(ValuesBetween(t1, std::min(t2, head.end), rateHz, channels), head.valueCount - skip);
        emit(c, skip, copy, false);
        if (c + 1 == n) {
            cursor = c;
            return pos;
        }
        ++c;
    }

    const size_t stop = table.FirstEndingAfter(c, t2);
    for (size_t k = c; k < stop; ++k) emit(k, 0, table.At(k).valueCount, true);
    if (stop == n) {
        cursor = n - 1;
        return pos;
    }
    c = stop;

    const ChunkTableEntry& tail = table.At(c);
    if (tail.start < t2) emit(c, 0, std::min(ValuesBetween(tail.start, t2, rateHz, channels), tail.valueCount), false);
    cursor = c;
    return pos;
}

// Reads the planned runs into window and returns what it received.  A failed
// read ends the copy: values before it count, except that a whole chunk that
// cannot be read fails the read altogether (0).
template <typename Plan>
uint64_t ReadPlanned(BinaryFile& file, ChunkTable& table, SampleWindow& window, Plan plan) {
    bool failed = false, failedWhole = false;
    uint64_t readable = 0;
    std::vector<uint8_t> scratch = table.TakeScratch();
    const uint64_t total = plan([&](const ValueRun& run, uint64_t pos) {
        if (failed) return;
        if (!FeedRun(file, table, run, pos, window, scratch)) {
            failed = true;
            failedWhole = run.whole;
            readable = pos;
        }
    });
    table.GiveBackScratch(std::move(scratch));
    if (failedWhole) return 0;
    return window.Result(failed ? readable : total);
}

// Sweep reads need a sample-carrying stream of a triggered recording that
// has channels and a rate.
bool SweepReadsAllowed(const CQRVAStream& stream) {
    return stream.GetFile() && stream.IsContinuousType() && !stream.IsContinuousRecording() &&
           stream.GetChannelCount() > 0 && stream.GetSampleRate() > 0;
}

// Reads sweep `sweep` (from its start to its end time) into window.
uint32_t ReadSweepInto(CQRVAStreamFile& file, ChunkTable& table, std::atomic<size_t>& sharedCursor, uint32_t sweep,
                       uint32_t rateHz, uint32_t channels, SampleWindow& window) {
    std::unique_ptr<CQRVATimeStamp> start = file.GetSweepStart(sweep);
    std::unique_ptr<CQRVATimeStamp> end = file.GetSweepEnd(sweep);
    if (!start || !end || end->GetTicks() < start->GetTicks()) return 0;
    const uint64_t from = start->GetTicks(), to = end->GetTicks();
    size_t cursor = sharedCursor.load(std::memory_order_relaxed);
    const uint32_t got = ClampTo32(ReadPlanned(*file.GetFileHandle(), table, window, [&](auto visit) {
        return PlanBetween(table, cursor, from, to, rateHz, channels, visit);
    }));
    sharedCursor.store(cursor, std::memory_order_relaxed);
    return got;
}

}  // namespace

ChunkTable& CQRVAStream::SampleTable() {
    // Built once, by the first read on any thread; reads on other threads
    // wait for it instead of walking the stream a second time.
    std::call_once(sampleTableOnce_, [this] {
        auto table = std::make_shared<ChunkTable>();
        table->Build(*this);
        sampleTable_ = std::move(table);
    });
    return *sampleTable_;
}

// ---- counts ---------------------------------------------------------------------

uint32_t CQRVAStream::SampleCountBetween(const CQRVATimeStamp& t1, const CQRVATimeStamp& t2) const {
    if (!IsContinuousType()) return 0;
    return ClampTo32(ValuesBetween(t1.GetTicks(), t2.GetTicks(), GetSampleRateHz(), GetChannelCount()));
}

uint32_t CQRVAStream::TotalSampleCount() const {
    if (!IsContinuousType() || !IsContinuousRecording() || GetChannelCount() == 0 || GetSampleRate() == 0)
        return 0;
    const uint64_t start = file_->GetStartTime()->GetTicks();
    const uint64_t stop = file_->GetStopTime()->GetTicks();
    if (stop <= start) return 0;
    // Whole milliseconds times samples per millisecond, multiplied before the
    // last division so rates of no whole kilohertz (2.5 kHz) count exactly.
    const unsigned __int128 ms = (stop - start) / 1000000u;
    return ClampTo32(static_cast<uint64_t>(
        std::min<unsigned __int128>(ms * file_->GetSampleRate() / 1000000u, kNoLimit)));
}

uint32_t CQRVAStream::SweepSampleCount(uint32_t sweep) const {
    if (!IsContinuousType() || IsContinuousRecording() || !file_) return 0;
    std::unique_ptr<CQRVATimeStamp> start = file_->GetSweepStart(sweep);
    std::unique_ptr<CQRVATimeStamp> end = file_->GetSweepEnd(sweep);
    if (!start || !end) return 0;
    return SampleCountBetween(*start, *end);
}

// ---- reads by time --------------------------------------------------------------

uint32_t CQRVAStream::ReadSamplesBetween(uint16_t* dst, uint32_t capacity, const CQRVATimeStamp& t1,
                                         const CQRVATimeStamp& t2) {
    if (!dst || !file_ || !IsContinuousType() || GetChannelCount() == 0 || GetSampleRate() == 0) return 0;
    const uint64_t from = t1.GetTicks(), to = t2.GetTicks();
    if (to < from) return 0;
    ChunkTable& table = SampleTable();
    SampleWindow window = SampleWindow::Interleaved(dst, capacity, 0, kNoLimit);
    const uint32_t rateHz = GetSampleRateHz(), channels = GetChannelCount();
    size_t cursor = sampleCursor_.load(std::memory_order_relaxed);
    const uint32_t got = ClampTo32(ReadPlanned(*file_->GetFileHandle(), table, window, [&](auto visit) {
        return PlanBetween(table, cursor, from, to, rateHz, channels, visit);
    }));
    sampleCursor_.store(cursor, std::memory_order_relaxed);
    return got;
}

uint32_t CQRVAStream::ReadSweep(uint16_t* dst, uint32_t capacity, uint32_t sweep) {
    if (!dst || !SweepReadsAllowed(*this)) return 0;
    SampleWindow window = SampleWindow::Interleaved(dst, capacity, 0, kNoLimit);
    return ReadSweepInto(*file_, SampleTable(), sampleCursor_, sweep, GetSampleRateHz(), GetChannelCount(), window);
}

// Sweep slices are taken from the sweep's values by position, so a slice
// starts exactly at its first sample and holds exactly the samples asked for
// (as far as the sweep has them), whatever the rate: a window computed from
// times would have to round sample times to ticks and can start a sample
// early and come back short at rates like 30 kHz.
uint32_t CQRVAStream::ReadSweepSlice(uint16_t* dst, uint32_t capacity, uint32_t sweep, uint32_t first,
                                     uint32_t count) {
    if (!dst || !SweepReadsAllowed(*this)) return 0;
    const uint32_t channels = GetChannelCount();
    SampleWindow window = SampleWindow::Interleaved(dst, capacity, uint64_t(first) * channels, uint64_t(count) * channels);
    return ReadSweepInto(*file_, SampleTable(), sampleCursor_, sweep, GetSampleRateHz(), channels, window);
}

uint32_t CQRVAStream::ReadSweepChannel(uint16_t* dst, uint32_t capacity, uint32_t sweep, uint32_t channel) {
    if (!dst || !SweepReadsAllowed(*this)) return 0;
    const uint32_t channels = GetChannelCount();
    // The sweep holds SweepSampleCount values by its times; the channel's
    // samples are taken from those.
    SampleWindow window = SampleWindow::Column(dst, capacity, 0, SweepSampleCount(sweep), channel, channels);
    return ReadSweepInto(*file_, SampleTable(), sampleCursor_, sweep, GetSampleRateHz(), channels, window);
}

uint32_t CQRVAStream::ReadSweepSliceChannel(uint16_t* dst, uint32_t capacity, uint32_t sweep, uint32_t channel,
                                            uint32_t first, uint32_t count) {
    if (!dst || !SweepReadsAllowed(*this)) return 0;
    const uint32_t channels = GetChannelCount();
    SampleWindow window = SampleWindow::Column(dst, capacity, uint64_t(first) * channels, uint64_t(count) * channels,
                                               channel, channels);
    return ReadSweepInto(*file_, SampleTable(), sampleCursor_, sweep, GetSampleRateHz(), channels, window);
}

int64_t CQRVAStream::ConvertSweepColumnFromCache(SpanCache& cache, uint32_t streamIndex, uint32_t sweep,
                                                 uint32_t channel, const SweepColumnRead& read, double* out) {
    if (!out || !SweepReadsAllowed(*this) || !cache.Serves(*this)) return -1;
    const uint32_t channels = GetChannelCount();
    if (channel >= channels) return -1;
    std::unique_ptr<CQRVATimeStamp> start = file_->GetSweepStart(sweep);
    std::unique_ptr<CQRVATimeStamp> end = file_->GetSweepEnd(sweep);
    if (!start || !end || end->GetTicks() < start->GetTicks()) return -1;
    // The window of ReadSweepChannel (whole) or ReadSweepSliceChannel; it
    // only says which values the read takes and is never written through.
    const uint64_t skip = read.whole ? 0 : uint64_t(read.first) * channels;
    const uint64_t limit = read.whole ? SweepSampleCount(sweep) : uint64_t(read.count) * channels;
    uint16_t unused = 0;
    const SampleWindow window = SampleWindow::Column(&unused, read.capacity, skip, limit, channel, channels);

    ChunkTable& table = SampleTable();
    size_t cursor = sampleCursor_.load(std::memory_order_relaxed);
    bool served = true;
    cache.BeginColumnRead(streamIndex, channel);
    const uint64_t total = PlanBetween(
        table, cursor, start->GetTicks(), end->GetTicks(), GetSampleRateHz(), channels,
        [&](const ValueRun& run, uint64_t pos) {
            uint64_t from = 0, to = 0;
            window.Wanted(pos, run.count, from, to);
            if (!served || from >= to) return;
            // The run's values of the channel are a column of the chunk only
            // when they are that channel's values of whole instants there (a
            // chunk ending in part of an instant shifts everything after it).
            const ChunkTableEntry& e = table.At(run.chunk);
            const uint64_t value = run.first + from;
            uint64_t instant = value / channels;
            uint64_t n = (to - from - 1) / channels + 1;
            if (value % channels != channel || instant + n > e.valueCount / channels) {
                served = false;
                return;
            }
            uint64_t k = (pos + from - skip) / channels;
            while (n > 0) {
                uint64_t available = 0;
                const SpanCache::Column samples =
                    cache.Samples(*this, streamIndex, channel, e.firstInstant + instant, available);
                if (!samples) {
                    served = false;
                    return;
                }
                const uint64_t m = std::min(n, available);
                ConvertSamples(samples.data(), static_cast<size_t>(m), read.zero, read.step, out + k);
                k += m, instant += m, n -= m;
            }
        });
    // Not served: the read from the file starts where this one started.
    if (!served) return -1;
    sampleCursor_.store(cursor, std::memory_order_relaxed);
    return static_cast<int64_t>(window.Result(total));
}

// ---- reads by sample index ------------------------------------------------------

uint32_t CQRVAStream::ReadChannelRange(uint16_t* dst, uint32_t channel, uint32_t first, uint32_t count) {
    const uint32_t channels = GetChannelCount();
    if (!dst || !file_ || count == 0 || !IsContinuousType() || !IsContinuousRecording() || channels == 0 ||
        GetSampleRate() == 0 || channel >= channels)
        return 0;
    ChunkTable& table = SampleTable();
    const uint64_t total = table.TotalInstants();
    if (first >= total) return 0;
    const uint64_t end = std::min<uint64_t>(uint64_t(first) + count, total);
    // Read positions count values from instant `first` on; the window takes
    // the channel's value of each instant.
    SampleWindow window = SampleWindow::Column(dst, count, 0, (end - first) * channels, channel, channels);
    return ClampTo32(ReadPlanned(*file_->GetFileHandle(), table, window, [&](auto visit) {
        for (size_t k = table.ChunkOfInstant(first); k < table.Size(); ++k) {
            const ChunkTableEntry& e = table.At(k);
            const uint64_t instants = e.valueCount / channels;
            const uint64_t a = std::max<uint64_t>(first, e.firstInstant);
            const uint64_t b = std::min(end, e.firstInstant + instants);
            if (a < b)
                visit(ValueRun{k, (a - e.firstInstant) * channels, (b - a) * channels, false}, (a - first) * channels);
            if (e.firstInstant + instants >= end) break;
        }
        return (end - first) * channels;
    }));
}

uint32_t CQRVAStream::ReadChannel(uint16_t* dst, uint32_t capacity, uint32_t channel) {
    // All of the channel, as far as the destination holds it.
    return ReadChannelRange(dst, channel, 0, capacity);
}

}  // namespace qrd
