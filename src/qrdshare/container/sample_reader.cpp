#include "container/sample_reader.h"

#include <algorithm>

#include "container/binary_file.h"
#include "container/chunk_table.h"
#include "container/le_codec.h"

namespace qrd {

namespace {

// Values read through the scratch buffer at a time: large enough that a
// chunk costs one or two reads, small enough that a damaged recording with
// one huge chunk never makes the reader allocate more than this.
constexpr uint64_t kPieceValues = 512 * 1024;

// Payload values are little-endian on disk.  A read straight into the
// caller's u16 buffer lands as bytes; decoding each pair in place gives the
// host's values on any byte order (and is a plain copy on little-endian hosts).
void DecodeInPlace(uint16_t* values, uint64_t n) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(values);
    for (uint64_t i = 0; i < n; ++i) values[i] = GetU16(bytes, static_cast<size_t>(2 * i));
}

}  // namespace

SampleWindow SampleWindow::Interleaved(uint16_t* dst, uint64_t capacity, uint64_t skip, uint64_t limit) {
    SampleWindow w;
    w.dst_ = dst;
    w.capacity_ = dst ? capacity : 0;
    w.skip_ = skip;
    w.limit_ = limit;
    return w;
}

SampleWindow SampleWindow::Column(uint16_t* dst, uint64_t capacity, uint64_t skip, uint64_t limit, uint32_t channel,
                                  uint32_t channels) {
    SampleWindow w = Interleaved(dst, capacity, skip, limit);
    // The one column of a one-channel stream is the interleaved sequence
    // itself, which can be read straight into dst.
    if (channels == 1 && channel == 0) return w;
    w.column_ = true;
    w.channel_ = channel;
    w.channels_ = channels;
    // A column outside the instant would read another channel's values.
    if (channels == 0 || channel >= channels) {
        w.channels_ = 1;
        w.capacity_ = 0;
    }
    return w;
}

uint64_t SampleWindow::Result(uint64_t total) const {
    const uint64_t available = total > skip_ ? std::min(total - skip_, limit_) : 0;
    return column_ ? std::min(available / channels_, capacity_) : std::min(available, capacity_);
}

void SampleWindow::Wanted(uint64_t pos, uint64_t n, uint64_t& from, uint64_t& to) const {
    from = to = 0;
    // The window's values [qlo, qhi) that lie in this stretch.
    const uint64_t lo = std::max(pos, skip_);
    const uint64_t hi = std::min(pos + n, skip_ + std::min(limit_, UINT64_MAX - skip_));
    if (lo >= hi || capacity_ == 0) return;
    const uint64_t qlo = lo - skip_, qhi = hi - skip_;
    if (!column_) {
        const uint64_t end = std::min(qhi, capacity_);
        if (qlo >= end) return;
        from = skip_ + qlo - pos;
        to = skip_ + end - pos;
        return;
    }
    const uint64_t c = channel_, cc = channels_;
    const uint64_t k0 = qlo <= c ? 0 : (qlo - c + cc - 1) / cc;
    uint64_t k1 = qhi <= c ? 0 : (qhi - c - 1) / cc + 1;
    k1 = std::min(k1, capacity_);
    if (k0 >= k1) return;
    from = skip_ + c + cc * k0 - pos;
    to = skip_ + c + cc * (k1 - 1) + 1 - pos;
}

void SampleWindow::Take(uint64_t pos, const uint8_t* bytes, uint64_t n) {
    if (!column_) {
        for (uint64_t i = 0; i < n; ++i) {
            const uint64_t p = pos + i;
            if (p < skip_ || p - skip_ >= capacity_ || p - skip_ >= limit_) continue;
            dst_[p - skip_] = GetU16(bytes, static_cast<size_t>(2 * i));
        }
        return;
    }
    const uint64_t cc = channels_;
    // First value of this stretch that belongs to the channel.
    uint64_t i = 0;
    if (pos < skip_) i = skip_ - pos;
    const uint64_t q = pos + i - skip_;
    const uint64_t into = q % cc;
    i += into <= channel_ ? channel_ - into : cc - into + channel_;
    for (; i < n; i += cc) {
        const uint64_t qi = pos + i - skip_;
        const uint64_t k = qi / cc;
        if (qi >= limit_ || k >= capacity_) break;
        dst_[k] = GetU16(bytes, static_cast<size_t>(2 * i));
    }
}

uint16_t* SampleWindow::Direct(uint64_t pos, uint64_t n) const {
    if (column_ || pos < skip_) return nullptr;
    const uint64_t q = pos - skip_;
    if (q > capacity_ || n > capacity_ - q || q > limit_ || n > limit_ - q) return nullptr;
    return dst_ + q;
}

bool FeedRun(BinaryFile& file, const ChunkTable& table, const ValueRun& run, uint64_t pos, SampleWindow& window,
             std::vector<uint8_t>& scratch) {
    uint64_t from = 0, to = 0;
    window.Wanted(pos, run.count, from, to);
    if (from >= to) return true;
    const uint64_t base = table.At(run.chunk).dataOffset + 2 * (run.first + from);
    const uint64_t n = to - from;
    if (uint16_t* direct = window.Direct(pos + from, n)) {
        if (!file.ReadAt(base, direct, static_cast<size_t>(2 * n))) return false;
        DecodeInPlace(direct, n);
        return true;
    }
    for (uint64_t done = 0; done < n;) {
        const uint64_t piece = std::min(n - done, kPieceValues);
        scratch.resize(static_cast<size_t>(2 * piece));
        if (!file.ReadAt(base + 2 * done, scratch.data(), scratch.size())) return false;
        window.Take(pos + from + done, scratch.data(), piece);
        done += piece;
    }
    return true;
}

}  // namespace qrd
