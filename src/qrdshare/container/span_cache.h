// Decoded spans of an open recording, shared by every entity of a stream.
//
// Samples of a raw-data stream lie interleaved by channel, so reading one
// channel touches every byte of the stream.  Hosts read recordings channel by
// channel (one channel over the whole recording, then the next) or window by
// window (every channel of one stretch of time, then the next stretch); read
// straight from the file, either costs one pass over the data per channel.
//
// The cache keeps spans - runs of consecutive chunks of one stream, about
// kSpanBytes of payload - split into one column of raw samples per channel.
// A span is decoded once and every channel of it is then served from memory.
//
// What is kept, and for how long:
//   - A span is decoded when a second channel asks for it, or when the read
//     asking for it follows a read of another channel of the stream (the host
//     is going through channels).  A host that reads a single channel never
//     makes the cache decode anything; it reads straight from the file.
//   - An entry is used up once every channel that an entity reads from its
//     stream has read it.  A new entry takes over the buffer of the used-up
//     entry used longest ago; only when there is none does it take fresh
//     memory, from a budget that every open file of the library shares.
//   - When the budget has no room, used-up entries are dropped (least
//     recently used first) to make some.  An entry some channel still has to read is never
//     dropped for another, so a recording larger than the budget keeps the
//     spans it holds and reads the rest straight from the file: reading
//     channel after channel never decodes a span twice, and reading window
//     after window cycles through the budget.
//   - Only spans that were read completely are kept; a span with a payload
//     that does not hold whole instants, or a chunk the file cannot deliver,
//     is read straight from the file every time.
//
// Calls on one file use its cache from any number of threads at once.  A
// lock guards what the cache knows (spans, entries, who read what) and is
// held only to look an entry up or to take one in, never while the file is
// read, a span is split or samples are converted:
//   - a span that one thread is decoding is marked as filling; other threads
//     that want it meanwhile decode chunks of it that nobody has taken yet,
//     then wait until it is ready: it is decoded once, by all of them;
//   - samples handed out stay pinned (SpanCache::Column) until the caller is
//     done with them, and a pinned or filling entry is never dropped or taken
//     over for another span.
// The budget is shared with every other open file.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace nscommon {
class CacheBudget;
}

namespace qrd {

class CQRVAStream;

class SpanCache {
public:
    // Payload bytes a span covers at most (a single larger chunk is a span
    // of its own): a few large pages of decoded columns.
    static constexpr uint64_t kSpanBytes = 4 * 1024 * 1024;
    // Chunks larger than this are never decoded (a damaged length must not
    // make the cache allocate a huge buffer).
    static constexpr uint64_t kLargestChunk = 64 * 1024 * 1024;

    SpanCache();
    ~SpanCache();
    SpanCache(const SpanCache&) = delete;
    SpanCache& operator=(const SpanCache&) = delete;

    // The budget entries are taken from; null (the default) or a budget of 0
    // turns the cache off.  Entries already kept are dropped.
    void SetBudget(nscommon::CacheBudget* budget);
    // Payload bytes a span may cover (kSpanBytes unless set before the first
    // read; tests use small spans to see many of them in a small recording).
    void SetSpanBytes(uint64_t bytes) { spanBytes_ = bytes > 0 ? bytes : kSpanBytes; }
    // Columns that entities read from stream streamIndex: an entry of that
    // stream is used up once all of them have read it.
    void SetReadColumns(uint32_t streamIndex, const std::vector<uint32_t>& columns);

    // True when reads of this stream's columns can go through the cache: the
    // cache is on and the stream carries samples of two channels or more.
    bool Serves(const CQRVAStream& stream) const;

    struct Entry;

    // Samples of one column handed out by Samples(): the entry holding them
    // stays pinned (is neither dropped nor reused) until the Column goes.
    class Column {
    public:
        Column() = default;
        Column(Entry* entry, const uint16_t* samples) : entry_(entry), samples_(samples) {}
        Column(Column&& other) noexcept : entry_(other.entry_), samples_(other.samples_) { other.entry_ = nullptr; }
        Column& operator=(Column&&) = delete;
        Column(const Column&) = delete;
        Column& operator=(const Column&) = delete;
        ~Column();
        const uint16_t* data() const { return samples_; }
        explicit operator bool() const { return samples_ != nullptr; }

    private:
        Entry* entry_ = nullptr;
        const uint16_t* samples_ = nullptr;
    };

    // Starts a read of one column of a stream; the Samples calls that follow
    // belong to it.
    void BeginColumnRead(uint32_t streamIndex, uint32_t column);
    // The column's raw samples from instant on, as far as the span holding
    // the instant reaches: `available` receives how many instants that is.
    // Empty when the cache does not hold them (then `available` instants
    // from `instant` on are to be read from the file; beyond the stream's
    // data it is UINT64_MAX).
    Column Samples(CQRVAStream& stream, uint32_t streamIndex, uint32_t column, uint64_t instant,
                   uint64_t& available);

    // Drops every entry (the budget gets its bytes back) and forgets what
    // was learnt about the streams.
    void Clear();

    // What the cache holds, for tests and benchmarks.
    size_t EntryCount() const;
    uint64_t BytesHeld() const;
    uint64_t SpansDecoded() const;

private:
    struct Span;
    struct StreamState;

    // The members below marked "(lock)" are read and written under lock_.
    StreamState* StateOf(CQRVAStream& stream, uint32_t streamIndex);  // (lock)
    bool Admit(StreamState& state, Span& span);                        // (lock)
    // Reads and splits chunks of the span that is filling into its entry
    // until none is left to take, without the lock (held on entry and on
    // return); the thread that finishes the last chunk ends the fill, and
    // drops the entry when a chunk could not be read.
    void HelpFill(std::unique_lock<std::mutex>& lock, CQRVAStream& stream, uint32_t channels, Span& span);
    bool UsedUp(const StreamState& state, const Entry& entry) const;  // (lock)
    // The span whose used-up entry was used longest ago and that nobody
    // holds or fills, or null.  (lock)
    Span* OldestUsedUp();
    void Drop(Span& span);  // (lock)
    void ClearLocked();     // (lock)

    nscommon::CacheBudget* budget_ = nullptr;
    uint64_t spanBytes_ = kSpanBytes;
    mutable std::mutex lock_;
    // Signalled whenever an entry has finished filling.
    std::condition_variable filled_;
    std::vector<std::unique_ptr<StreamState>> streams_;  // (lock)
    uint64_t clock_ = 0;                                 // (lock)
    uint64_t decoded_ = 0;                               // (lock)
};

}  // namespace qrd
