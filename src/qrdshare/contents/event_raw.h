// Cursor over the sampling instants of a continuous stream ("analog",
// "digital", "chat", "filter").  The payload of such a chunk is the samples
// of all channels interleaved, one u16 per channel and instant, without time
// stamps of their own: the first instant lies at the chunk's start and each
// further one a sample period later.
//
// The period is taken in whole microseconds, (10^9 / rate in millihertz)
// x 1000 ns, the way the recorder steps its own clock: 40000 ns at 25 kHz,
// 33000 ns (not 33333) at 30 kHz.
#pragma once

#include <cstddef>
#include <cstdint>

#include "contents/event.h"

namespace qrd {

// Nanoseconds between two instants at a rate in millihertz (0 for a rate of 0).
constexpr uint64_t RawInstantStep(uint32_t sampleRate) {
    return sampleRate == 0 ? 0 : (1000000000ull / sampleRate) * 1000ull;
}
static_assert(RawInstantStep(25000000) == 40000, "25 kHz steps 40 us");
static_assert(RawInstantStep(30000000) == 33000, "30 kHz steps whole microseconds");

class CQRVAEvtRaw : public CQRVAEvent {
public:
    static constexpr EventKind kKind = EventKind::Raw;

    CQRVAEvtRaw() : CQRVAEvent(kKind) {}
    CQRVAEvtRaw(const CQRVAEvtRaw&) = default;
    CQRVAEvtRaw& operator=(const CQRVAEvtRaw&) = default;
    CQRVAEvtRaw(CQRVAEvtRaw&&) = default;
    CQRVAEvtRaw& operator=(CQRVAEvtRaw&&) = default;
    ~CQRVAEvtRaw() override = default;

    // Stands on the first instant; false when the payload holds no whole
    // instant (or the stream has no channels).
    bool First() override;
    // The next instant, in this chunk or in the stream's next chunk that
    // holds one; false at the end of the stream.
    bool Next() override;
    // One instant: 2 x channel count.
    uint64_t GetPayloadSize() const override;

    // Sample of a channel at the current instant, 0 for a channel outside 0
    // to channel count - 1.
    uint16_t GetSample(int64_t channel) const;
    // Copies the current instant (all channels) into dst, at most capacity
    // values; true when all channels fitted.
    bool CopySamples(uint16_t* dst, size_t capacity) const;

private:
    uint32_t ChannelCount() const;
    // Bytes of the current instant that lie inside the payload.
    bool HasInstant() const { return GetPayloadSize() > 0 && BytesFrom(current_) >= GetPayloadSize(); }
};

}  // namespace qrd
