// Cursor over the records of an "average" stream: one averaged sweep each.
//
// Record (offsets by stream header version v):
//
//   field                     v 0-4        v 5+
//   u64 time stamp            0            0
//   u16 channel index         8            8
//   u16 auxiliary value 1     - (0xFFFF)   10
//   u16 auxiliary value 2     10           12
//   u32 sample count n        12           14
//   n x u16 samples           16           18
#pragma once

#include <cstddef>
#include <cstdint>

#include "contents/event.h"

namespace qrd {

struct AverageRecordLayout {
    size_t aux1;  // 0: not stored
    size_t aux2;
    size_t sampleCount;
    size_t head;  // bytes before the first sample
};
constexpr AverageRecordLayout AverageLayoutFor(uint32_t version) {
    return version <= 4 ? AverageRecordLayout{0, 10, 12, 16} : AverageRecordLayout{10, 12, 14, 18};
}
static_assert(AverageLayoutFor(4).head == 16 && AverageLayoutFor(5).head == 18, "fixed heads of average records");

constexpr size_t kAverageChannelOffset = 8;
constexpr uint16_t kAverageDefaultAux1 = 0xFFFF;

class CQRVAEvtAverage : public CQRVAEvent {
public:
    static constexpr EventKind kKind = EventKind::Average;

    CQRVAEvtAverage() : CQRVAEvent(kKind) {}
    CQRVAEvtAverage(const CQRVAEvtAverage&) = default;
    CQRVAEvtAverage& operator=(const CQRVAEvtAverage&) = default;
    CQRVAEvtAverage(CQRVAEvtAverage&&) = default;
    CQRVAEvtAverage& operator=(CQRVAEvtAverage&&) = default;
    ~CQRVAEvtAverage() override = default;

    bool First() override;
    bool Next() override;
    // 2 x sample count.
    uint64_t GetPayloadSize() const override { return 2 * static_cast<uint64_t>(sampleCount_); }

    // The channel index (same place as a spike's hardware index).
    uint16_t GetHardwareIndex() const { return channel_; }
    uint16_t GetAuxValue1() const { return aux1_; }
    uint16_t GetAuxValue2() const { return aux2_; }
    uint32_t GetSampleCount() const { return sampleCount_; }
    // Sample i, 0 when i is negative or not below n.
    uint16_t GetSample(int64_t i) const;
    // Copies the samples into dst, at most capacity of them; true when all
    // n samples fitted.
    bool CopySamples(uint16_t* dst, size_t capacity) const;

private:
    friend class CQRVAEvent;
    bool DecodeAt(size_t offset);

    uint16_t channel_ = 0;
    uint16_t aux1_ = kAverageDefaultAux1;
    uint16_t aux2_ = 0;
    uint32_t sampleCount_ = 0;
    size_t samples_ = 0;  // buffer offset of the first sample
};

}  // namespace qrd
