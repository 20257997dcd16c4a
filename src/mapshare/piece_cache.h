// The cache of file pieces behind the sample queries of one open file.
//
// A MAP file interleaves the blocks of all its channels, a few hundred bytes
// each.  Hosts read a recording channel after channel or window after window,
// so reading block by block costs a system call per block, and every
// channel's read walks through the blocks of all the others.  The cache reads
// the file in large aligned pieces instead and keeps them, so the blocks of
// every channel in a piece are served from memory: reading all channels
// costs about one pass over the file.
//
// Memory comes from the library's budget (nscommon::CacheBudget), shared by
// the caches of all open files.  What to keep follows from how hosts read.
// When the cache is set up it counts, for every piece, the channels that have
// samples in it; a channel has finished a piece when a read has reached the
// last sample of its last block there, and it is active from its first read
// on.  A piece that is held is
//   - busy while an active channel has not finished it: it is never given up;
//   - dormant once every active channel has finished it but some channel
//     that has not been read yet has samples there: the host may come for it
//     (reading channel after channel) or never (reading a few channels window
//     after window);
//   - finished once every channel has finished it.
// A buffer for a piece is taken, in this order, from the least recently used
// finished piece, from the oldest dormant piece when more than a few are
// held, from the budget, and from any dormant piece.  So a host reading
// window after window or one channel alone keeps a few pieces, and one
// reading channel after channel keeps the whole file when the budget allows.
// When a channel comes for a piece that was given up while dormant, the host
// reads channel after channel: from then on dormant pieces are kept like
// busy ones, so no piece is pushed out that a later channel would have to
// read from the file again.

// Reads that no piece can serve (the budget is spent, or 0) go to the file
// through a read span: one read takes the request and the following blocks
// of the query that lie close together, up to 1 MiB, and keeps them until the
// next miss.
//
// Pieces are kept only when they were read whole; a short read or an input
// error is never kept.  The cache belongs to its file; only the budget is
// shared with other files.
//
// Calls on one file use the cache from any number of threads at once.  A
// lock guards what the cache knows (pieces, lists, readers, counts) and is
// held only for that bookkeeping, never while the file is read or samples
// are decoded:
//   - a query (PieceCache::Query, one per call) pins the piece it decodes
//     from and keeps it pinned while its blocks lie in it, so the blocks of
//     one piece cost one look at the cache; a pinned piece is never given up;
//   - a piece that one thread is reading is marked as filling; other threads
//     that want it meanwhile read parts of it that nobody has taken yet, then
//     wait until it is ready: it is read once, by all of them;
//   - the read span is lent to one query at a time; a query that finds it
//     lent uses a span of its own for the time of the call.
#pragma once

#include "sample_reader.h"

#include "common/brief_lock.h"
#include "common/cache_budget.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace mapshare {

class MapChannel;
class RandomAccessFile;

class PieceCache final : public SampleReader {
public:
    // pieceBytes is rounded down to a power of two of at least 64 KiB (larger
    // than any block), so a request lies in one piece or spans two.
    PieceCache(const RandomAccessFile& file, const std::vector<std::unique_ptr<MapChannel>>& channels,
               nscommon::CacheBudget& budget, size_t pieceBytes);
    ~PieceCache() override;
    PieceCache(const PieceCache&) = delete;
    PieceCache& operator=(const PieceCache&) = delete;

    class Query;

    // One request as a query of its own.
    int64_t read(const MapChannel& channel, size_t block, uint32_t first, uint32_t count, uint64_t wantedAfter,
                 double* out) override;

    // What the cache did so far (for tests and benchmarks).
    struct Counters {
        uint64_t pieceReads = 0;   // pieces read from the file into memory
        uint64_t recycled = 0;     // held pieces given up for another
        uint64_t spanReads = 0;    // reads into a span
        uint64_t smallReads = 0;   // reads of a single request beside the span
    };
    Counters counters() const;
    size_t pieceBytes() const { return pieceBytes_; }
    size_t piecesHeld() const;
    uint64_t bytesReserved() const;
    bool holds(size_t piece) const;
    // Every channel with samples in the piece has finished it.
    bool finished(size_t piece) const;
    // Dormant pieces are kept now like busy ones.
    bool keepsDormantPieces() const;

private:
    static constexpr uint32_t kNobody = UINT32_MAX;
    static constexpr size_t kNoPiece = SIZE_MAX;
    enum class State : uint8_t { Out, Busy, Dormant, Finished };

    struct Piece {
        uint8_t* bytes = nullptr;           // null while not held
        uint32_t readersLeft = 0;           // channels with samples here that have not finished it
        uint32_t activeLeft = 0;            // the active ones among them
        int32_t older = -1;                 // neighbours in the list of its state
        int32_t newer = -1;
        State state = State::Out;
        bool givenUpDormant = false;
        // While the piece is read from the file (null otherwise).
        std::unique_ptr<struct PieceFill> fill;
    };
    // The read span: file bytes [start, start + fill).
    struct Span {
        std::unique_ptr<uint8_t[]> bytes;
        size_t capacity = 0;
        uint64_t start = 0;
        size_t fill = 0;
    };
    // Held pieces of one state, from the least to the most recently used.
    struct List {
        int32_t oldest = -1;
        int32_t newest = -1;
        size_t count = 0;
    };
    // A piece a channel has samples in, and the channel's last block there.
    struct Mark {
        uint32_t piece;
        uint32_t lastBlock;
        bool done;
    };
    struct Reader {
        std::vector<Mark> marks;   // in file order
        size_t cursor = 0;         // the mark used last
        bool active = false;
    };

    // Everything below that takes or returns a lock, and every member after
    // fileSize_, is used under lock_ unless said otherwise.
    void countReaders(const std::vector<std::unique_ptr<MapChannel>>& channels);
    void activate(uint32_t reader);
    // The bytes of piece p, pinned for the caller, read now if need be (the
    // lock is let go while the file is read); null when no buffer can be
    // had.  *failed is set on an input error.
    const uint8_t* pinPiece(std::unique_lock<nscommon::BriefLock>& lock, size_t p, uint32_t reader, bool* failed);
    void unpin(size_t p);
    // Reads parts of the filling piece p that nobody has taken yet, without
    // the lock (held on entry and on return); the thread that finishes the
    // last part ends the fill.  *failed is set on an input error.
    void helpFill(std::unique_lock<nscommon::BriefLock>& lock, size_t p, bool* failed);
    size_t slabBytes() const;
    uint8_t* takeBuffer();
    uint8_t* newBuffer();
    // The buffer of the least recently used piece of the list that no query
    // has pinned, given up; null when there is none.
    uint8_t* recycle(List& list);
    // Reads through span (the query's; no lock held), single requests
    // beside it into small.
    int64_t readThroughSpan(Span& span, std::vector<uint8_t>& small, const MapChannel& channel, size_t block,
                            uint64_t start, uint32_t count, uint64_t wantedAfter, double* out);
    void noteFinished(uint32_t reader, const MapChannel& channel, size_t block);
    Mark* markOf(uint32_t reader, uint64_t piece);
    uint32_t readerOf(const MapChannel& channel);
    void classify(size_t p);
    void setState(size_t p, State state);
    List* listOf(State state);
    void link(List& list, size_t p);
    void unlink(List& list, size_t p);

    const RandomAccessFile& file_;
    nscommon::CacheBudget& budget_;
    const unsigned pieceShift_;
    const size_t pieceBytes_;
    const uint64_t fileSize_;
    mutable nscommon::BriefLock lock_;
    // Signalled whenever a piece has finished filling.
    std::condition_variable_any filled_;
    std::vector<Piece> pieces_;   // empty when the budget is 0; its size never changes
    // Queries decoding from each piece: raised under the lock, lowered
    // without it (a query lets go of its piece without a look at the cache).
    std::unique_ptr<std::atomic<uint32_t>[]> pins_;
    List dormant_;
    List finished_;
    size_t dormantKept_;          // dormant pieces kept before the oldest is reused
    size_t held_ = 0;
    uint64_t reserved_ = 0;
    // Piece buffers are cut from slabs of large pages (or, when the budget
    // has no room for a slab, allocated one by one); the ones not in use wait
    // in spare_.
    std::vector<uint8_t*> slabs_;
    std::vector<std::unique_ptr<uint8_t[]>> singles_;
    std::vector<uint8_t*> spare_;

    std::vector<Reader> readers_;   // the channels that read samples
    std::unordered_map<const MapChannel*, uint32_t> readerIndex_;
    const MapChannel* lastChannel_ = nullptr;   // the channel of the last read and its reader
    uint32_t lastReader_ = kNobody;

    // The read span kept between queries, and whether a query has it.
    Span span_;
    bool spanLent_ = false;

    // Counted without the lock too.
    struct {
        std::atomic<uint64_t> pieceReads{0}, recycled{0}, spanReads{0}, smallReads{0};
    } counters_;
};

// One call's reads through the cache: the requests of one query, in order.
// It keeps the piece its last request came from pinned, so the following
// requests in the same piece need no look at the cache; it lets go of the
// piece and of the span when it goes.  Used by one thread.
class PieceCache::Query final : public SampleReader {
public:
    explicit Query(PieceCache& cache) : cache_(cache) {}
    ~Query() override;
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    int64_t read(const MapChannel& channel, size_t block, uint32_t first, uint32_t count, uint64_t wantedAfter,
                 double* out) override;

private:
    // The span to read through: the cache's when it is free, else one of
    // the query's own.
    Span& span();

    PieceCache& cache_;
    const MapChannel* channel_ = nullptr;   // the channel of the requests so far
    uint32_t reader_ = kNobody;
    size_t piece_ = kNoPiece;                // pinned piece
    const uint8_t* bytes_ = nullptr;         // its bytes
    // The channel's last block in the pinned piece (reading it to its end
    // finishes the piece for the channel), or SIZE_MAX.
    size_t lastBlockHere_ = SIZE_MAX;
    Span* span_ = nullptr;
    bool borrowedSpan_ = false;
    Span ownSpan_;
    std::vector<uint8_t> small_;             // single requests read beside the span
};

}  // namespace mapshare
