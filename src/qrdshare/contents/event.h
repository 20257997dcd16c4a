// Event cursors: the readers of the record sequences that event streams keep
// in their data chunks.
//
// A cursor holds the payload of one chunk in memory, stands on one record of
// it and exposes that record's fields.  Next moves to the following record
// and, when the payload is used up, loads the stream's following chunks by
// itself, skipping chunks that are empty or cannot be read.  At the end of
// the stream the cursor drops its chunk but keeps the last payload, so its
// accessors still describe the last record.
//
// Ownership: a cursor owns the chunk it reads and its payload copy; whoever
// receives a cursor owns it.  Copying a cursor copies its payload and the
// description of its chunk, so the copy walks on independently.
//
// One class per record family (see event_factory.h for the type names):
// CQRVAEvtSpike, CQRVAEvtTrigger, CQRVAEvtAverage, CQRVAEvtSpikeParameter,
// CQRVAEvtBurstParameter, CQRVAEvtParam and CQRVAEvtRaw.  EventCast picks
// the class of a cursor by its kind tag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "container/time_stamp.h"

namespace qrd {

class CQRVAChunk;
class CQRVAStream;

enum class EventKind : uint8_t {
    Spike,
    Trigger,
    Average,
    SpikeParameter,
    BurstParameter,
    Param,
    Raw,
};

class CQRVAEvent {
public:
    virtual ~CQRVAEvent();
    // Stands on the first record of the loaded payload; false when the
    // payload holds no complete record.
    virtual bool First();
    // Moves to the following record of the stream; false at its end.
    virtual bool Next();
    // Bytes of the current record after its fixed head.
    virtual uint64_t GetPayloadSize() const;

    EventKind GetKind() const { return kind_; }

    // Reads the chunk's payload and stands on its first record.  On success
    // the cursor takes the chunk; on failure (no stream, an empty or
    // unreadable payload, no complete first record) the chunk stays with the
    // caller and the cursor is unusable.
    bool Load(std::unique_ptr<CQRVAChunk>& chunk);

    // ---- time of the current record
    CQRVATimeStamp& GetTimeStamp() { return time_; }
    const CQRVATimeStamp& GetTimeStamp() const { return time_; }
    uint64_t GetTicks() const { return time_.GetTicks(); }
    uint16_t GetYear() { return time_.GetYear(); }
    uint16_t GetMonth() { return time_.GetMonth(); }
    uint16_t GetDayOfWeek() { return time_.GetDayOfWeek(); }
    uint16_t GetDay() { return time_.GetDay(); }
    uint16_t GetHour() { return time_.GetHour(); }
    uint16_t GetMinute() { return time_.GetMinute(); }
    uint16_t GetSecond() { return time_.GetSecond(); }
    uint16_t GetMillisecond() { return time_.GetMillisecond(); }
    // Parts of the time elapsed since the origin (the recording start).
    int32_t GetElapsedSeconds() const { return time_.ElapsedSeconds(); }
    int32_t GetElapsedMilliseconds() const { return time_.ElapsedMilliseconds(); }
    int32_t GetElapsedMicroseconds() const { return time_.ElapsedMicroseconds(); }
    int32_t GetElapsedNanoseconds() const { return time_.ElapsedNanoseconds(); }
    // Seconds since the origin, combined from the elapsed parts.
    double GetSeconds() const { return time_.ToSeconds(); }

    // ---- where the cursor stands
    CQRVAStream* GetStream() const { return stream_; }
    // The chunk whose payload is loaded; null once the stream has ended.
    const CQRVAChunk* GetChunk() const { return chunk_.get(); }
    size_t GetBufferSize() const { return buffer_.size(); }
    size_t GetCurrentOffset() const { return current_; }
    size_t GetNextOffset() const { return next_; }

protected:
    explicit CQRVAEvent(EventKind kind);
    // Deep copy: a private payload copy and a copy of the chunk's description.
    CQRVAEvent(const CQRVAEvent& other);
    CQRVAEvent& operator=(const CQRVAEvent& other);
    CQRVAEvent(CQRVAEvent&& other);
    CQRVAEvent& operator=(CQRVAEvent&& other);

    const uint8_t* Data() const { return buffer_.data(); }
    // Bytes from offset to the end of the payload (0 past the end).
    size_t BytesFrom(size_t offset) const { return offset < buffer_.size() ? buffer_.size() - offset : 0; }
    // Stream header version of the records (0xFFFFFFFF without a stream header).
    uint32_t Version() const { return version_; }
    // Takes the time of the record at offset: its first 8 bytes.
    void SetRecordTime(size_t offset);

    // Next of the record cursors.  Cursor (which befriends this class)
    // provides DecodeAt(offset), which checks that a whole record lies at offset and, only then, stands on it
    // (current, next offset, fields, time).  A record that runs past the end
    // of the payload ends the payload: the walk goes on in the next chunk.
    template <class Cursor>
    static bool NextRecord(Cursor& self) {
        if (!self.chunk_) return false;
        if (self.next_ < self.buffer_.size() && self.DecodeAt(self.next_)) return true;
        std::unique_ptr<CQRVAEvent> following = self.CursorInFollowingChunk();
        if (!following) return false;
        if (following->GetKind() != self.GetKind()) return false;
        self = std::move(static_cast<Cursor&>(*following));
        return true;
    }

    // The payload is used up: the first cursor of the stream's next chunk
    // that yields one.  Without one, the chunk is dropped (the buffer kept)
    // and null returned.
    std::unique_ptr<CQRVAEvent> CursorInFollowingChunk();

    std::unique_ptr<CQRVAChunk> chunk_;
    CQRVAStream* stream_ = nullptr;
    std::vector<uint8_t> buffer_;
    size_t current_ = 0;
    size_t next_ = 0;
    CQRVATimeStamp time_;

private:
    EventKind kind_;
    uint32_t version_ = 0;
};

// Checked down-cast by kind tag; every cursor class declares kKind.
template <class T>
T* EventCast(CQRVAEvent* event) {
    return event && event->GetKind() == T::kKind ? static_cast<T*>(event) : nullptr;
}
template <class T>
const T* EventCast(const CQRVAEvent* event) {
    return event && event->GetKind() == T::kKind ? static_cast<const T*>(event) : nullptr;
}

}  // namespace qrd
