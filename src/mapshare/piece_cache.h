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
// error is never kept.  The cache belongs to its file and is used by one
// call at a time (calls on one file are serialised); only the budget is
// shared.
#pragma once

#include "sample_reader.h"

#include "common/cache_budget.h"

#include <cstddef>
#include <cstdint>
#include <memory>
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

    int64_t read(const MapChannel& channel, size_t block, uint32_t first, uint32_t count, uint64_t wantedAfter,
                 double* out) override;

    // What the cache did so far (for tests and benchmarks).
    struct Counters {
        uint64_t pieceReads = 0;   // pieces read from the file into memory
        uint64_t recycled = 0;     // held pieces given up for another
        uint64_t spanReads = 0;    // reads into the span
        uint64_t smallReads = 0;   // reads of a single request beside the span
    };
    const Counters& counters() const { return counters_; }
    size_t pieceBytes() const { return pieceBytes_; }
    size_t piecesHeld() const { return held_; }
    uint64_t bytesReserved() const { return reserved_; }
    bool holds(size_t piece) const { return piece < pieces_.size() && pieces_[piece].bytes != nullptr; }
    // Every channel with samples in the piece has finished it.
    bool finished(size_t piece) const { return piece < pieces_.size() && pieces_[piece].readersLeft == 0; }
    // Dormant pieces are kept now like busy ones.
    bool keepsDormantPieces() const { return dormantKept_ == SIZE_MAX; }

private:
    static constexpr uint32_t kNobody = UINT32_MAX;
    enum class State : uint8_t { Out, Busy, Dormant, Finished };

    struct Piece {
        uint8_t* bytes = nullptr;           // null while not held
        uint32_t readersLeft = 0;           // channels with samples here that have not finished it
        uint32_t activeLeft = 0;            // the active ones among them
        int32_t older = -1;                 // neighbours in the list of its state
        int32_t newer = -1;
        State state = State::Out;
        bool givenUpDormant = false;
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

    void countReaders(const std::vector<std::unique_ptr<MapChannel>>& channels);
    void activate(uint32_t reader);
    // The bytes of piece p, read now if need be; null when no buffer can be
    // had.  *failed is set on an input error.
    const uint8_t* piece(size_t p, uint32_t reader, bool* failed);
    size_t slabBytes() const;
    uint8_t* takeBuffer();
    uint8_t* newBuffer();
    uint8_t* recycle(List& list);
    int64_t readThroughSpan(const MapChannel& channel, size_t block, uint64_t start, uint32_t count,
                            uint64_t wantedAfter, double* out);
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
    std::vector<Piece> pieces_;   // empty when the budget is 0
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

    // The read span: file bytes [spanStart_, spanStart_ + spanFill_).
    std::unique_ptr<uint8_t[]> span_;
    size_t spanCapacity_ = 0;
    uint64_t spanStart_ = 0;
    size_t spanFill_ = 0;
    std::vector<uint8_t> small_;   // buffer of the single requests read beside it

    Counters counters_;
};

}  // namespace mapshare
