#include "piece_cache.h"

#include "last_error.h"
#include "map_channel.h"
#include "random_access_file.h"
#include "sample_decoder.h"

#include "platform/large_buffer.h"

#include <algorithm>
#include <new>

namespace mapshare {
namespace {

// Smallest piece: larger than any block (a record holds at most 65535 bytes).
constexpr unsigned kSmallestPieceShift = 16;

// The span holds what one query of a window of every channel covers, so the
// other channels of the window find their blocks in it.
constexpr size_t kSpanBytes = 1u << 20;

// A power of two of at least the smallest piece, at most the size asked for.
unsigned pieceShiftFor(size_t bytes) {
    unsigned shift = kSmallestPieceShift;
    while (shift < 30 && (size_t{1} << (shift + 1)) <= bytes) ++shift;
    return shift;
}

// Dormant pieces kept before the oldest is reused: enough for the pieces
// that one window of every channel covers, before the host has come to all
// of its channels.
constexpr size_t kDormantKept = 8;

// Blocks of one query that lie this close are fetched with one read: copying
// the bytes between them costs less than another system call.
constexpr uint64_t kLargestGap = 64u << 10;

}  // namespace

// A piece being read: every thread that wants it takes the next part from
// `next` until none is left.
struct PieceFill {
    static constexpr size_t kPartBytes = size_t{1} << kSmallestPieceShift;
    uint8_t* buffer = nullptr;
    uint64_t at = 0;        // file offset of the piece
    size_t length = 0;      // bytes to read
    size_t parts = 0;
    std::atomic<size_t> next{0};
    uint32_t workers = 0;   // threads reading parts now (under the lock)
    bool incomplete = false;  // a part came back short or failed (under the lock)
};

PieceCache::PieceCache(const RandomAccessFile& file, const std::vector<std::unique_ptr<MapChannel>>& channels,
                       nscommon::CacheBudget& budget, size_t pieceBytes)
    : file_(file),
      budget_(budget),
      pieceShift_(pieceShiftFor(pieceBytes)),
      pieceBytes_(size_t{1} << pieceShift_),
      fileSize_(file.size()),
      dormantKept_(kDormantKept) {
    // Without a budget nothing is ever kept, and there is nothing to count.
    if (!budget_.Enabled() || fileSize_ == 0) return;
    pieces_.resize(static_cast<size_t>(((fileSize_ - 1) >> pieceShift_) + 1));
    pins_.reset(new std::atomic<uint32_t>[pieces_.size()]());
    countReaders(channels);
}

PieceCache::~PieceCache() {
    for (uint8_t* slab : slabs_) nsplatform::FreeLargeBuffer(slab, slabBytes());
    budget_.Release(reserved_);
}

size_t PieceCache::slabBytes() const { return std::max(nsplatform::kLargeBufferUnit, pieceBytes_); }

// Channels that read samples from the file are the analog and segment ones
// with a rate (the others fail before reading).  Their blocks ascend in the
// file, so one pass lists the pieces of each channel in order.
void PieceCache::countReaders(const std::vector<std::unique_ptr<MapChannel>>& channels) {
    for (const auto& channel : channels) {
        const uint32_t entity = channel->entityType();
        if ((entity != 2 && entity != 3) || channel->ticksPerSecond() <= 0.0) continue;
        std::vector<Mark> marks;
        bool ascending = true;
        const auto& blocks = channel->blocks();
        for (size_t k = 0; k < blocks.size() && ascending; ++k) {
            const MapBlock& b = blocks[k];
            const uint64_t end = uint64_t{b.position} + uint64_t{b.sampleCount} * 2;
            if (b.sampleCount == 0 || end > fileSize_) continue;
            for (uint64_t p = b.position >> pieceShift_; p <= (end - 1) >> pieceShift_; ++p) {
                if (!marks.empty() && marks.back().piece == p) {
                    marks.back().lastBlock = static_cast<uint32_t>(k);
                } else if (marks.empty() || marks.back().piece < p) {
                    marks.push_back(Mark{static_cast<uint32_t>(p), static_cast<uint32_t>(k), false});
                } else {
                    ascending = false;
                }
            }
        }
        // A channel whose blocks do not ascend is not counted: its pieces may
        // then be given up before it has read them, which costs another read
        // but never changes an answer.
        if (!ascending || marks.empty()) continue;
        for (const Mark& m : marks) ++pieces_[m.piece].readersLeft;
        readerIndex_.emplace(channel.get(), static_cast<uint32_t>(readers_.size()));
        readers_.push_back(Reader{std::move(marks), 0, false});
    }
}

int64_t PieceCache::read(const MapChannel& channel, size_t block, uint32_t first, uint32_t count,
                         uint64_t wantedAfter, double* out) {
    Query query(*this);
    return query.read(channel, block, first, count, wantedAfter, out);
}

PieceCache::Query::~Query() {
    if (piece_ != kNoPiece) cache_.unpin(piece_);
    if (!borrowedSpan_) return;
    std::lock_guard<nscommon::BriefLock> guard(cache_.lock_);
    cache_.spanLent_ = false;
}

PieceCache::Span& PieceCache::Query::span() {
    if (span_ == nullptr) {
        std::lock_guard<nscommon::BriefLock> guard(cache_.lock_);
        if (!cache_.spanLent_) {
            cache_.spanLent_ = true;
            borrowedSpan_ = true;
            span_ = &cache_.span_;
        } else {
            span_ = &ownSpan_;
        }
    }
    return *span_;
}

int64_t PieceCache::Query::read(const MapChannel& channel, size_t block, uint32_t first, uint32_t count,
                                uint64_t wantedAfter, double* out) {
    if (count == 0) return 0;
    PieceCache& c = cache_;
    const MapBlock& b = channel.blocks()[block];
    const uint64_t start = b.position + uint64_t{first} * 2;
    const uint64_t end = start + uint64_t{count} * 2;
    const uint64_t p = start >> c.pieceShift_;
    const bool onePiece = end <= c.fileSize_ && p < c.pieces_.size() && (end - 1) >> c.pieceShift_ == p;
    // The pinned piece serves the request without a look at the cache.
    if (!(onePiece && p == piece_ && &channel == channel_)) {
        std::unique_lock<nscommon::BriefLock> lock(c.lock_);
        if (&channel != channel_) {
            channel_ = &channel;
            reader_ = c.readerOf(channel);
        }
        if (reader_ != kNobody && !c.readers_[reader_].active) c.activate(reader_);
        if (piece_ != kNoPiece) c.unpin(piece_);
        piece_ = kNoPiece;
        bytes_ = nullptr;
        if (onePiece) {
            bool failed = false;
            const uint8_t* bytes = c.pinPiece(lock, static_cast<size_t>(p), reader_, &failed);
            if (failed) return -1;
            if (bytes) {
                piece_ = static_cast<size_t>(p);
                bytes_ = bytes;
                const Mark* mark = reader_ != kNobody ? c.markOf(reader_, p) : nullptr;
                lastBlockHere_ = mark && !mark->done ? mark->lastBlock : SIZE_MAX;
            }
        }
    }
    int64_t got = -1;
    const bool pinned = onePiece && p == piece_;
    if (pinned) {
        decodeSamples(bytes_ + (start - (p << c.pieceShift_)), count, out);
        got = count;
    } else if (onePiece) {
        got = c.readThroughSpan(span(), small_, channel, block, start, count, wantedAfter, out);
    } else {
        // Across a piece boundary (or past the end the file had at open):
        // read as it is, without reading ahead while pieces can be kept.
        got = c.readThroughSpan(span(), small_, channel, block, start, count, c.pieces_.empty() ? wantedAfter : 0,
                                out);
    }
    // Reading a block to its end finishes the pieces it lies in where it is
    // the channel's last block; of a block that lies wholly in the pinned
    // piece, only the channel's last block there can do that.
    const bool wholeBlockPinned = pinned && b.position >> c.pieceShift_ == p &&
                                  (uint64_t{b.position} + uint64_t{b.sampleCount} * 2 - 1) >> c.pieceShift_ == p;
    if (got == static_cast<int64_t>(count) && uint64_t{first} + count == b.sampleCount && reader_ != kNobody &&
        !(wholeBlockPinned && block != lastBlockHere_)) {
        std::lock_guard<nscommon::BriefLock> guard(c.lock_);
        c.noteFinished(reader_, channel, block);
    }
    return got;
}

// A channel's first read makes it active: the pieces it has not finished
// are busy again.
void PieceCache::activate(uint32_t reader) {
    readers_[reader].active = true;
    for (const Mark& m : readers_[reader].marks) {
        if (m.done) continue;
        ++pieces_[m.piece].activeLeft;
        classify(m.piece);
    }
}

const uint8_t* PieceCache::pinPiece(std::unique_lock<nscommon::BriefLock>& lock, size_t p, uint32_t reader, bool* failed) {
    for (;;) {
        Piece& entry = pieces_[p];
        if (entry.fill) {
            // Another thread is reading the piece: read parts of it too, or
            // wait for the others to finish theirs.
            if (entry.fill->next.load(std::memory_order_relaxed) < entry.fill->parts) {
                helpFill(lock, p, failed);
                if (*failed) return nullptr;
            } else {
                filled_.wait(lock);
            }
            continue;
        }
        if (entry.bytes) {
            setState(p, entry.state);   // now the most recently used of its list
            pins_[p].fetch_add(1, std::memory_order_relaxed);
            return entry.bytes;
        }
        // A channel coming for a piece that was given up while dormant: the
        // host reads channel after channel, and dormant pieces are kept from
        // now on.
        if (entry.givenUpDormant && reader != kNobody) {
            const Mark* mark = markOf(reader, p);
            if (mark && !mark->done) dormantKept_ = SIZE_MAX;
        }
        uint8_t* buffer = takeBuffer();
        if (!buffer) return nullptr;
        // The piece is read without the lock; it is in no list meanwhile, so
        // nobody takes its buffer.
        auto fill = std::make_unique<PieceFill>();
        fill->buffer = buffer;
        fill->at = uint64_t{p} << pieceShift_;
        fill->length = static_cast<size_t>(std::min<uint64_t>(pieceBytes_, fileSize_ - fill->at));
        fill->parts = (fill->length + PieceFill::kPartBytes - 1) / PieceFill::kPartBytes;
        entry.fill = std::move(fill);
        helpFill(lock, p, failed);
        if (*failed) return nullptr;
        // Others may still be reading their parts.
        filled_.wait(lock, [&] { return !pieces_[p].fill; });
        // A piece that came back short (the file shrank since it was opened)
        // is not kept, and the span reads what is there.
        if (!pieces_[p].bytes) return nullptr;
    }
}

void PieceCache::helpFill(std::unique_lock<nscommon::BriefLock>& lock, size_t p, bool* failed) {
    Piece& entry = pieces_[p];
    PieceFill& fill = *entry.fill;
    ++fill.workers;
    lock.unlock();
    bool error = false, whole = true;
    for (size_t k = fill.next.fetch_add(1); k < fill.parts && !error && whole; k = fill.next.fetch_add(1)) {
        const size_t from = k * PieceFill::kPartBytes;
        const size_t n = std::min(PieceFill::kPartBytes, fill.length - from);
        const int64_t got = file_.readAt(fill.at + from, fill.buffer + from, n);
        error = got < 0;
        whole = got == static_cast<int64_t>(n);
    }
    // Nobody takes more parts of a piece that cannot be kept.
    if (!whole) fill.next.store(fill.parts);
    lock.lock();
    --fill.workers;
    if (!whole) fill.incomplete = true;
    if (error) {
        // An input error fails the query that met it.
        setLastError("Error while reading from file");
        *failed = true;
    }
    if (fill.workers > 0) return;
    // Every part was taken and every thread that took one has finished.
    if (fill.incomplete) {
        spare_.push_back(fill.buffer);
    } else {
        entry.bytes = fill.buffer;
        ++held_;
        ++counters_.pieceReads;
        classify(p);
    }
    entry.fill.reset();
    filled_.notify_all();
}

void PieceCache::unpin(size_t p) { pins_[p].fetch_sub(1, std::memory_order_release); }

uint8_t* PieceCache::takeBuffer() {
    // Memory already held is reused before new memory is taken: it is
    // cheaper than fresh memory, and keeps the cache small for hosts that
    // read window after window.  Busy pieces are never given up.
    if (uint8_t* buffer = recycle(finished_)) return buffer;
    if (dormant_.count > dormantKept_) {
        if (uint8_t* buffer = recycle(dormant_)) return buffer;
    }
    if (uint8_t* buffer = newBuffer()) return buffer;
    if (dormant_.count > 0 && dormantKept_ != SIZE_MAX) return recycle(dormant_);
    return nullptr;
}

// A spare buffer, else one cut from a new slab, else one of its own, as far
// as the budget allows.  Small files, which need few pieces, take no slabs.
uint8_t* PieceCache::newBuffer() {
    if (spare_.empty() && fileSize_ >= 4 * uint64_t{slabBytes()}) {
        const size_t slab = slabBytes();
        if (budget_.TryReserve(slab)) {
            if (auto* memory = static_cast<uint8_t*>(nsplatform::AllocateLargeBuffer(slab))) {
                slabs_.push_back(memory);
                reserved_ += slab;
                for (size_t offset = slab; offset >= pieceBytes_; offset -= pieceBytes_)
                    spare_.push_back(memory + offset - pieceBytes_);
            } else {
                budget_.Release(slab);
            }
        }
    }
    if (spare_.empty() && budget_.TryReserve(pieceBytes_)) {
        std::unique_ptr<uint8_t[]> single(new (std::nothrow) uint8_t[pieceBytes_]);
        if (!single) {
            budget_.Release(pieceBytes_);
            return nullptr;
        }
        reserved_ += pieceBytes_;
        singles_.push_back(std::move(single));
        return singles_.back().get();
    }
    if (spare_.empty()) return nullptr;
    uint8_t* buffer = spare_.back();
    spare_.pop_back();
    return buffer;
}

uint8_t* PieceCache::recycle(List& list) {
    int32_t oldest = list.oldest;
    while (oldest >= 0 && pins_[static_cast<size_t>(oldest)].load(std::memory_order_acquire) > 0)
        oldest = pieces_[static_cast<size_t>(oldest)].newer;
    if (oldest < 0) return nullptr;
    const auto p = static_cast<size_t>(oldest);
    Piece& entry = pieces_[p];
    if (entry.state == State::Dormant) entry.givenUpDormant = true;
    setState(p, State::Out);
    --held_;
    ++counters_.recycled;
    uint8_t* buffer = entry.bytes;
    entry.bytes = nullptr;
    return buffer;
}

// On a miss the span is filled from the request on, taking along the
// following blocks of the same channel that the query may still want, while
// they lie close together and fit the span: a channel read across the file
// costs a read per span instead of one per block, without keeping anything.
// A single request is read beside the span, which keeps what it holds for
// the next channel of a window.
int64_t PieceCache::readThroughSpan(Span& span, std::vector<uint8_t>& small, const MapChannel& channel,
                                    size_t block, uint64_t start, uint32_t count, uint64_t wantedAfter, double* out) {
    const uint64_t end = start + uint64_t{count} * 2;
    if (span.fill > 0 && start >= span.start && end <= span.start + span.fill) {
        decodeSamples(span.bytes.get() + (start - span.start), count, out);
        return count;
    }
    uint64_t spanEnd = end;
    uint64_t left = wantedAfter;
    const auto& blocks = channel.blocks();
    for (size_t j = block + 1; left > 0 && j < blocks.size(); ++j) {
        const MapBlock& next = blocks[j];
        if (next.sampleCount == 0) continue;
        const uint64_t take = std::min<uint64_t>(next.sampleCount, left);
        const uint64_t nextEnd = next.position + take * 2;
        if (next.position < spanEnd || next.position - spanEnd > kLargestGap || nextEnd - start > kSpanBytes) break;
        spanEnd = nextEnd;
        left -= take;
    }
    if (spanEnd == end && span.fill > 0) {
        ++counters_.smallReads;
        return readSamplesAt(file_, start, count, small, out);
    }
    // The span grows to what the reads need (small files never need much).
    const auto length = static_cast<size_t>(spanEnd - start);
    span.fill = 0;
    if (length > span.capacity) {
        span.capacity = std::max(length, std::min(kSpanBytes, 2 * span.capacity));
        span.bytes.reset(new uint8_t[span.capacity]);
    }
    const int64_t got = file_.readAt(start, span.bytes.get(), length);
    if (got < 0) {
        setLastError("Error while reading from file");
        return -1;
    }
    ++counters_.spanReads;
    span.start = start;
    span.fill = static_cast<size_t>(got);
    const auto samples = static_cast<uint32_t>(std::min<uint64_t>(span.fill / 2, count));
    decodeSamples(span.bytes.get(), samples, out);
    return samples;
}

void PieceCache::noteFinished(uint32_t reader, const MapChannel& channel, size_t block) {
    const MapBlock& b = channel.blocks()[block];
    const uint64_t end = uint64_t{b.position} + uint64_t{b.sampleCount} * 2;
    for (uint64_t p = b.position >> pieceShift_; p <= (end - 1) >> pieceShift_; ++p) {
        Mark* mark = markOf(reader, p);
        if (!mark || mark->lastBlock != block || mark->done) continue;
        mark->done = true;
        Piece& entry = pieces_[static_cast<size_t>(p)];
        --entry.readersLeft;
        --entry.activeLeft;
        classify(static_cast<size_t>(p));
    }
}

// Channels are mostly read forward, so the mark after the last one used is
// tried before a search.
PieceCache::Mark* PieceCache::markOf(uint32_t reader, uint64_t piece) {
    Reader& r = readers_[reader];
    std::vector<Mark>& marks = r.marks;
    for (size_t i = r.cursor; i < marks.size() && i <= r.cursor + 1; ++i) {
        if (marks[i].piece == piece) {
            // Written only when it moves: threads reading in step look up
            // the same marks, and need not write the line for nothing.
            if (r.cursor != i) r.cursor = i;
            return &marks[i];
        }
    }
    const auto it = std::lower_bound(marks.begin(), marks.end(), piece,
                                     [](const Mark& m, uint64_t p) { return m.piece < p; });
    if (it == marks.end() || it->piece != piece) return nullptr;
    const auto at = static_cast<size_t>(it - marks.begin());
    if (r.cursor != at) r.cursor = at;
    return &*it;
}

uint32_t PieceCache::readerOf(const MapChannel& channel) {
    if (&channel != lastChannel_) {
        const auto it = readerIndex_.find(&channel);
        lastChannel_ = &channel;
        lastReader_ = it == readerIndex_.end() ? kNobody : it->second;
    }
    return lastReader_;
}

PieceCache::Counters PieceCache::counters() const {
    Counters c;
    c.pieceReads = counters_.pieceReads.load();
    c.recycled = counters_.recycled.load();
    c.spanReads = counters_.spanReads.load();
    c.smallReads = counters_.smallReads.load();
    return c;
}

size_t PieceCache::piecesHeld() const {
    std::lock_guard<nscommon::BriefLock> guard(lock_);
    return held_;
}

uint64_t PieceCache::bytesReserved() const {
    std::lock_guard<nscommon::BriefLock> guard(lock_);
    return reserved_;
}

bool PieceCache::holds(size_t piece) const {
    std::lock_guard<nscommon::BriefLock> guard(lock_);
    return piece < pieces_.size() && pieces_[piece].bytes != nullptr;
}

bool PieceCache::finished(size_t piece) const {
    std::lock_guard<nscommon::BriefLock> guard(lock_);
    return piece < pieces_.size() && pieces_[piece].readersLeft == 0;
}

bool PieceCache::keepsDormantPieces() const {
    std::lock_guard<nscommon::BriefLock> guard(lock_);
    return dormantKept_ == SIZE_MAX;
}

// The state of a held piece from its counts.
void PieceCache::classify(size_t p) {
    const Piece& entry = pieces_[p];
    if (!entry.bytes) return;
    State state = State::Busy;
    if (entry.readersLeft == 0) {
        state = State::Finished;
    } else if (entry.activeLeft == 0) {
        state = State::Dormant;
    }
    if (state != entry.state) setState(p, state);
}

// Moves a piece into the list of its new state as the most recently used
// one (also when the state stays).
void PieceCache::setState(size_t p, State state) {
    Piece& entry = pieces_[p];
    // Already the most recently used of its list (threads reading in step
    // come for the same piece one after the other): nothing to move.
    if (state == entry.state) {
        const List* list = listOf(state);
        if (list == nullptr || list->newest == static_cast<int32_t>(p)) return;
    }
    if (List* from = listOf(entry.state)) unlink(*from, p);
    entry.state = state;
    if (List* to = listOf(state)) link(*to, p);
}

PieceCache::List* PieceCache::listOf(State state) {
    switch (state) {
        case State::Dormant: return &dormant_;
        case State::Finished: return &finished_;
        case State::Out:
        case State::Busy: break;
    }
    return nullptr;
}

void PieceCache::link(List& list, size_t p) {
    Piece& entry = pieces_[p];
    entry.older = list.newest;
    entry.newer = -1;
    if (list.newest >= 0) pieces_[static_cast<size_t>(list.newest)].newer = static_cast<int32_t>(p);
    list.newest = static_cast<int32_t>(p);
    if (list.oldest < 0) list.oldest = static_cast<int32_t>(p);
    ++list.count;
}

void PieceCache::unlink(List& list, size_t p) {
    Piece& entry = pieces_[p];
    if (entry.older >= 0) {
        pieces_[static_cast<size_t>(entry.older)].newer = entry.newer;
    } else {
        list.oldest = entry.newer;
    }
    if (entry.newer >= 0) {
        pieces_[static_cast<size_t>(entry.newer)].older = entry.older;
    } else {
        list.newest = entry.older;
    }
    entry.older = entry.newer = -1;
    --list.count;
}

}  // namespace mapshare
