#include "contents/event.h"

#include "container/chunk.h"
#include "container/le_codec.h"
#include "container/stream.h"
#include "contents/event_factory.h"

namespace qrd {

namespace {

// A chunk description without the payload: a copied cursor reads nothing
// from the chunk, it only needs to know where the stream walk goes on.
std::unique_ptr<CQRVAChunk> CopyChunkDescription(const CQRVAChunk* chunk) {
    if (!chunk) return nullptr;
    std::unique_ptr<CQRVAChunk> copy(new CQRVAChunk());
    copy->SetTag(chunk->GetTag());
    copy->Describe(chunk->GetStartTicks(), chunk->GetEndTicks(), chunk->Start().GetOrigin(), chunk->GetDataSize(),
                   chunk->GetDataOffset(), chunk->GetFile());
    copy->SetStream(chunk->GetStream());
    return copy;
}

}  // namespace

CQRVAEvent::CQRVAEvent(EventKind kind) : kind_(kind) {}

CQRVAEvent::~CQRVAEvent() = default;

CQRVAEvent::CQRVAEvent(const CQRVAEvent& other)
    : chunk_(CopyChunkDescription(other.chunk_.get())),
      stream_(other.stream_),
      buffer_(other.buffer_),
      current_(other.current_),
      next_(other.next_),
      time_(other.time_.GetTicks(), other.time_.GetOrigin()),
      kind_(other.kind_),
      version_(other.version_) {}

CQRVAEvent& CQRVAEvent::operator=(const CQRVAEvent& other) {
    if (this == &other) return *this;
    chunk_ = CopyChunkDescription(other.chunk_.get());
    stream_ = other.stream_;
    buffer_ = other.buffer_;
    current_ = other.current_;
    next_ = other.next_;
    time_ = other.time_;
    kind_ = other.kind_;
    version_ = other.version_;
    return *this;
}

CQRVAEvent::CQRVAEvent(CQRVAEvent&& other) = default;
CQRVAEvent& CQRVAEvent::operator=(CQRVAEvent&& other) = default;

bool CQRVAEvent::First() { return false; }
bool CQRVAEvent::Next() { return false; }
uint64_t CQRVAEvent::GetPayloadSize() const { return 0; }

bool CQRVAEvent::Load(std::unique_ptr<CQRVAChunk>& chunk) {
    if (!chunk || !chunk->GetStream() || chunk->GetDataSize() == 0) return false;
    stream_ = chunk->GetStream();
    version_ = stream_->GetStreamVersion();
    // ReadData checks the payload against the file's size before it
    // allocates, so a damaged length cannot ask for more memory than the
    // recording holds.
    if (!chunk->ReadData(buffer_) || buffer_.empty()) {
        buffer_.clear();
        return false;
    }
    current_ = 0;
    next_ = 0;
    time_.InvalidateCalendar();
    time_.SetTicks(chunk->GetStartTicks());
    time_.SetOrigin(chunk->Start().GetOrigin());
    if (!First()) {
        buffer_.clear();
        return false;
    }
    chunk_ = std::move(chunk);
    return true;
}

void CQRVAEvent::SetRecordTime(size_t offset) {
    // Callers have checked that a whole record, and so its time, lies at offset.
    time_.InvalidateCalendar();
    time_.SetTicks(GetU64(buffer_.data(), offset));
}

std::unique_ptr<CQRVAEvent> CQRVAEvent::CursorInFollowingChunk() {
    std::unique_ptr<CQRVAChunk> passed = std::move(chunk_);
    if (!passed || !stream_) return nullptr;
    // NextChunk takes the chunk it was given only when it finds a following
    // one; every step moves forward in the file, so the walk ends.
    std::unique_ptr<CQRVAChunk> chunk = stream_->NextChunk(passed);
    while (chunk) {
        std::unique_ptr<CQRVAEvent> cursor = CreateEvent(chunk);
        if (cursor) return cursor;
        std::unique_ptr<CQRVAChunk> following = stream_->NextChunk(chunk);
        chunk = std::move(following);
    }
    return nullptr;
}

}  // namespace qrd
