#include "container/span_cache.h"

#include <algorithm>
#include <limits>

#include "common/cache_budget.h"
#include "container/binary_file.h"
#include "container/chunk_table.h"
#include "container/sample_kernels.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "platform/large_buffer.h"

namespace qrd {

namespace {

constexpr uint64_t kBeyondData = std::numeric_limits<uint64_t>::max();
// Columns start on 64-byte boundaries, so the vector loops store whole lines.
constexpr uint64_t kColumnAlign = 32;

void SetBit(std::vector<uint64_t>& bits, uint32_t i) {
    if (bits.size() <= i / 64) bits.resize(i / 64 + 1, 0);
    bits[i / 64] |= uint64_t{1} << (i % 64);
}

}  // namespace

struct SpanCache::Entry {
    Entry() = default;
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    ~Entry() { nsplatform::FreeLargeBuffer(columns, static_cast<size_t>(bytes)); }

    uint16_t* columns = nullptr;    // channel c starts at c * stride
    uint64_t stride = 0;
    uint64_t bytes = 0;             // the buffer's size, taken from the budget
    std::vector<uint64_t> readBy;   // columns that have read the entry
    uint64_t lastUse = 0;
    // While the span is decoded into the entry: every thread that wants the
    // span decodes chunks of it, taking the next chunk from nextChunk, until
    // none is left; the last of them to finish ends the fill.
    bool filling = false;
    std::atomic<size_t> nextChunk{0};
    uint32_t workers = 0;           // threads decoding chunks of it now
    bool failed = false;            // a chunk could not be read
    // Columns handed out and not yet given back; raised under the cache's
    // lock, lowered without it.
    std::atomic<uint32_t> pins{0};

    bool Free() const { return !filling && pins.load(std::memory_order_acquire) == 0; }
};

SpanCache::Column::~Column() {
    if (entry_ != nullptr) entry_->pins.fetch_sub(1, std::memory_order_release);
}

struct SpanCache::Span {
    size_t firstChunk = 0;
    size_t endChunk = 0;        // one past the last chunk
    uint64_t firstInstant = 0;
    uint64_t instants = 0;
    bool decodable = true;      // whole instants in every chunk, no oversized chunk
    int64_t firstReader = -1;   // the column that asked first, kept without an entry
    std::unique_ptr<Entry> entry;
};

struct SpanCache::StreamState {
    bool built = false;
    uint32_t channels = 0;
    std::vector<Span> spans;
    std::vector<uint64_t> wanted;  // columns the entities read
    int64_t lastColumn = -1;       // column of the previous read
    bool switching = false;        // this read follows a read of another column
};

SpanCache::SpanCache() = default;

SpanCache::~SpanCache() { Clear(); }

void SpanCache::SetBudget(nscommon::CacheBudget* budget) {
    std::lock_guard<std::mutex> guard(lock_);
    ClearLocked();
    budget_ = budget;
}

void SpanCache::SetReadColumns(uint32_t streamIndex, const std::vector<uint32_t>& columns) {
    std::lock_guard<std::mutex> guard(lock_);
    if (streams_.size() <= streamIndex) streams_.resize(streamIndex + 1);
    if (!streams_[streamIndex]) streams_[streamIndex] = std::make_unique<StreamState>();
    StreamState& state = *streams_[streamIndex];
    state.wanted.clear();
    for (uint32_t c : columns) SetBit(state.wanted, c);
}

bool SpanCache::Serves(const CQRVAStream& stream) const {
    return budget_ != nullptr && budget_->Enabled() && stream.GetFile() != nullptr && stream.IsContinuousType() &&
           stream.GetChannelCount() >= 2 && stream.GetSampleRate() > 0;
}

void SpanCache::BeginColumnRead(uint32_t streamIndex, uint32_t column) {
    std::lock_guard<std::mutex> guard(lock_);
    if (streams_.size() <= streamIndex) streams_.resize(streamIndex + 1);
    if (!streams_[streamIndex]) streams_[streamIndex] = std::make_unique<StreamState>();
    StreamState& state = *streams_[streamIndex];
    state.switching = state.lastColumn >= 0 && state.lastColumn != column;
    state.lastColumn = column;
}

SpanCache::StreamState* SpanCache::StateOf(CQRVAStream& stream, uint32_t streamIndex) {
    if (streams_.size() <= streamIndex) streams_.resize(streamIndex + 1);
    if (!streams_[streamIndex]) streams_[streamIndex] = std::make_unique<StreamState>();
    StreamState& state = *streams_[streamIndex];
    if (state.built) return &state;
    state.built = true;
    const ChunkTable& table = stream.SampleTable();
    state.channels = table.ChannelCount();
    // Spans of consecutive chunks with at most spanBytes_ of payload each
    // (or a single larger chunk).
    Span span;
    uint64_t bytes = 0;
    for (size_t k = 0; k < table.Size(); ++k) {
        const ChunkTableEntry& e = table.At(k);
        const uint64_t payload = 2 * e.valueCount;
        if (span.endChunk > span.firstChunk && bytes + payload > spanBytes_) {
            state.spans.push_back(std::move(span));
            span = Span();
            span.firstChunk = span.endChunk = k;
            bytes = 0;
        }
        if (span.endChunk == span.firstChunk) span.firstInstant = e.firstInstant;
        span.endChunk = k + 1;
        span.instants += e.valueCount / state.channels;
        if (e.valueCount % state.channels != 0 || payload > kLargestChunk) span.decodable = false;
        bytes += payload;
    }
    if (span.endChunk > span.firstChunk) state.spans.push_back(std::move(span));
    return &state;
}

SpanCache::Column SpanCache::Samples(CQRVAStream& stream, uint32_t streamIndex, uint32_t column, uint64_t instant,
                                     uint64_t& available) {
    available = kBeyondData;
    if (!Serves(stream)) return Column();
    // The chunk list is built (once, by whichever thread comes first) before
    // the lock is taken: building it walks the stream.
    stream.SampleTable();
    std::unique_lock<std::mutex> lock(lock_);
    StreamState* state = StateOf(stream, streamIndex);
    if (column >= state->channels) return Column();
    // The span holding the instant: the last one starting at or before it
    // (spans without instants share their first instant with the next one).
    const auto after = std::upper_bound(state->spans.begin(), state->spans.end(), instant,
                                        [](uint64_t i, const Span& s) { return i < s.firstInstant; });
    if (after == state->spans.begin()) return Column();
    Span& span = *(after - 1);
    if (instant >= span.firstInstant + span.instants) return Column();  // beyond the data
    available = span.firstInstant + span.instants - instant;

    // Another thread is decoding the span: this one decodes chunks of it too
    // while there are any left, then waits for the others to finish theirs.
    while (span.entry && span.entry->filling) {
        if (span.entry->nextChunk.load(std::memory_order_relaxed) < span.endChunk) {
            HelpFill(lock, stream, state->channels, span);
        } else {
            filled_.wait(lock);
        }
    }
    if (!span.entry) {
        const bool admit = span.decodable && ((span.firstReader >= 0 && span.firstReader != column) ||
                                              state->switching);
        if (span.firstReader < 0) span.firstReader = column;
        if (!admit || !Admit(*state, span)) return Column();
        Entry& entry = *span.entry;
        entry.filling = true;
        entry.failed = false;
        entry.nextChunk.store(span.firstChunk, std::memory_order_relaxed);
        HelpFill(lock, stream, state->channels, span);
        // Others may still be decoding their chunks.
        filled_.wait(lock, [&] { return !span.entry || !span.entry->filling; });
        if (!span.entry) return Column();  // a chunk could not be read
    }
    Entry& entry = *span.entry;
    entry.lastUse = ++clock_;
    SetBit(entry.readBy, column);
    entry.pins.fetch_add(1, std::memory_order_relaxed);
    return Column(&entry, entry.columns + column * entry.stride + (instant - span.firstInstant));
}

bool SpanCache::Admit(StreamState& state, Span& span) {
    if (budget_ == nullptr) return false;
    const uint64_t stride = (span.instants + kColumnAlign - 1) / kColumnAlign * kColumnAlign;
    const uint64_t wanted = stride * state.channels * sizeof(uint16_t);
    if (wanted > SIZE_MAX) return false;
    const uint64_t bytes = nsplatform::LargeBufferSize(static_cast<size_t>(wanted));
    if (bytes == 0) return false;
    // A used-up entry of the same size is taken over first: its buffer and
    // its share of the budget change hands, and memory the system has to
    // hand out afresh (which costs more than decoding on some machines) is
    // only asked for while nothing can be reused.
    Span* victim = OldestUsedUp();
    if (victim != nullptr && victim->entry->bytes == bytes) {
        std::unique_ptr<Entry> entry = std::move(victim->entry);
        entry->readBy.clear();
        entry->lastUse = 0;
        entry->stride = stride;
        span.entry = std::move(entry);
        return true;
    }
    while (!budget_->TryReserve(bytes)) {
        victim = OldestUsedUp();
        if (victim == nullptr) return false;
        Drop(*victim);
    }
    auto entry = std::make_unique<Entry>();
    entry->columns = static_cast<uint16_t*>(nsplatform::AllocateLargeBuffer(static_cast<size_t>(bytes)));
    if (entry->columns == nullptr) {
        budget_->Release(bytes);
        return false;
    }
    entry->stride = stride;
    entry->bytes = bytes;
    span.entry = std::move(entry);
    return true;
}

void SpanCache::HelpFill(std::unique_lock<std::mutex>& lock, CQRVAStream& stream, uint32_t channels, Span& span) {
    Entry& entry = *span.entry;
    ++entry.workers;
    lock.unlock();
    // The chunks are decoded without the lock; each into its own part of
    // the columns.  The entry cannot go meanwhile: it is filling.
    BinaryFile* file = stream.GetFile()->GetFileHandle();
    const ChunkTable& table = stream.SampleTable();
    std::vector<uint8_t> scratch;  // one chunk's payload; this thread's own
    bool ok = file != nullptr;
    for (size_t k = entry.nextChunk.fetch_add(1); ok && k < span.endChunk; k = entry.nextChunk.fetch_add(1)) {
        const ChunkTableEntry& e = table.At(k);
        const uint64_t instants = e.valueCount / channels;
        if (instants == 0) continue;
        scratch.resize(static_cast<size_t>(2 * e.valueCount));
        ok = file->ReadAt(e.dataOffset, scratch.data(), scratch.size());
        if (ok)
            SplitChannels(scratch.data(), static_cast<size_t>(instants), channels,
                          entry.columns + (e.firstInstant - span.firstInstant), static_cast<size_t>(entry.stride));
    }
    // Nobody takes more chunks after a failure.
    if (!ok) entry.nextChunk.store(span.endChunk);
    lock.lock();
    --entry.workers;
    if (!ok) entry.failed = true;
    // Every chunk was taken and every thread that took one has finished.
    if (entry.workers > 0 || entry.nextChunk.load() < span.endChunk) return;
    entry.filling = false;
    filled_.notify_all();
    if (entry.failed) {
        Drop(span);
        return;
    }
    ++decoded_;
    SetBit(entry.readBy, static_cast<uint32_t>(span.firstReader));
}

bool SpanCache::UsedUp(const StreamState& state, const Entry& entry) const {
    if (state.wanted.empty()) return false;
    for (size_t w = 0; w < state.wanted.size(); ++w) {
        const uint64_t have = w < entry.readBy.size() ? entry.readBy[w] : 0;
        if ((state.wanted[w] & ~have) != 0) return false;
    }
    return true;
}

SpanCache::Span* SpanCache::OldestUsedUp() {
    Span* oldest = nullptr;
    for (auto& state : streams_) {
        if (!state) continue;
        for (Span& span : state->spans) {
            if (span.entry && span.entry->Free() && UsedUp(*state, *span.entry) &&
                (oldest == nullptr || span.entry->lastUse < oldest->entry->lastUse))
                oldest = &span;
        }
    }
    return oldest;
}

void SpanCache::Drop(Span& span) {
    if (!span.entry) return;
    if (budget_) budget_->Release(span.entry->bytes);
    span.entry.reset();
}

void SpanCache::Clear() {
    std::lock_guard<std::mutex> guard(lock_);
    ClearLocked();
}

void SpanCache::ClearLocked() {
    // Called when the file closes, when no call is reading any more.
    for (auto& state : streams_) {
        if (!state) continue;
        for (Span& span : state->spans) Drop(span);
    }
    streams_.clear();
}

size_t SpanCache::EntryCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    size_t n = 0;
    for (const auto& state : streams_)
        if (state)
            for (const Span& span : state->spans) n += span.entry ? 1 : 0;
    return n;
}

uint64_t SpanCache::SpansDecoded() const {
    std::lock_guard<std::mutex> guard(lock_);
    return decoded_;
}

uint64_t SpanCache::BytesHeld() const {
    std::lock_guard<std::mutex> guard(lock_);
    uint64_t n = 0;
    for (const auto& state : streams_)
        if (state)
            for (const Span& span : state->spans) n += span.entry ? span.entry->bytes : 0;
    return n;
}

}  // namespace qrd
