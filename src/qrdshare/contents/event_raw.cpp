#include "contents/event_raw.h"

#include "container/chunk.h"
#include "container/le_codec.h"
#include "container/stream.h"

namespace qrd {

uint32_t CQRVAEvtRaw::ChannelCount() const { return stream_ ? stream_->GetChannelCount() : 0; }

uint64_t CQRVAEvtRaw::GetPayloadSize() const { return 2 * static_cast<uint64_t>(ChannelCount()); }

bool CQRVAEvtRaw::First() {
    // A stream without channels has instants of 0 bytes: refusing it keeps a
    // walk from standing still forever.
    const uint64_t instant = GetPayloadSize();
    if (instant == 0 || buffer_.size() < instant) return false;
    current_ = 0;
    next_ = static_cast<size_t>(instant);
    return true;
}

bool CQRVAEvtRaw::Next() {
    if (!chunk_) return false;
    const uint64_t instant = GetPayloadSize();
    if (instant > 0 && BytesFrom(next_) >= instant) {
        current_ = next_;
        next_ = current_ + static_cast<size_t>(instant);
        time_.InvalidateCalendar();
        time_.SetTicks(time_.GetTicks() + RawInstantStep(stream_->GetSampleRate()));
        return true;
    }
    // The chunk is used up (a trailing part of an instant is ignored).  Go on
    // with the next chunk that holds a whole instant; empty or unreadable
    // chunks are skipped like the record cursors skip them.
    std::unique_ptr<CQRVAChunk> chunk = stream_->NextChunk(chunk_);
    while (chunk) {
        std::vector<uint8_t> payload;
        if (chunk->GetDataSize() >= instant && chunk->ReadData(payload) && payload.size() >= instant) {
            chunk_ = std::move(chunk);
            buffer_ = std::move(payload);
            time_.InvalidateCalendar();
            time_.SetTicks(chunk_->GetStartTicks());
            return First();
        }
        std::unique_ptr<CQRVAChunk> following = stream_->NextChunk(chunk);
        chunk = std::move(following);
    }
    // End of the stream: like the record cursors, keep the last instant but
    // no chunk, so further calls answer at once.
    chunk_.reset();
    return false;
}

uint16_t CQRVAEvtRaw::GetSample(int64_t channel) const {
    if (channel < 0 || channel >= static_cast<int64_t>(ChannelCount()) || !HasInstant()) return 0;
    return GetU16(Data(), current_ + 2 * static_cast<size_t>(channel));
}

bool CQRVAEvtRaw::CopySamples(uint16_t* dst, size_t capacity) const {
    const size_t n = HasInstant() ? ChannelCount() : 0;
    if (!dst) return n == 0;
    const size_t m = n < capacity ? n : capacity;
    for (size_t i = 0; i < m; ++i) dst[i] = GetU16(Data(), current_ + 2 * i);
    return m == n;
}

}  // namespace qrd
