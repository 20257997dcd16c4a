// Cursor over the records of a "spikes" stream: one spike cut-out each.
//
// Record (offsets by stream header version v):
//
//   field                     v 0-4        v 5          v 6, 7       v 8+
//   u64 time stamp            0            0            0            0
//   u16 hardware index        8            8            8            8
//   auxiliary value 1         10 (u16)     10 (u16)     10 (u16)     10 (u32)
//   u16 unit ID               - (0)        12           12           14
//   u16 auxiliary value 2     - (0xFFFF)   - (0xFFFF)   14           16
//   i32 sample count n        12           14           16           18
//   n x u16 samples           16           18           20           22
//
// The hardware index names the channel a spike belongs to (it is compared
// with the channel records' hardware indices).  Samples are raw ADC values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "contents/event.h"

namespace qrd {

// Where the fields of a spike record lie; absent fields have offset 0.
struct SpikeRecordLayout {
    size_t aux1Width;   // 2 or 4
    size_t unitId;      // 0: not stored
    size_t aux2;        // 0: not stored
    size_t sampleCount;
    size_t head;        // bytes before the first sample
};
constexpr SpikeRecordLayout SpikeLayoutFor(uint32_t version) {
    return version <= 4   ? SpikeRecordLayout{2, 0, 0, 12, 16}
           : version == 5 ? SpikeRecordLayout{2, 12, 0, 14, 18}
           : version <= 7 ? SpikeRecordLayout{2, 12, 14, 16, 20}
                          // Version 8 widened auxiliary value 1 to 32 bits,
                          // moving everything after it two bytes on.
                          : SpikeRecordLayout{4, 14, 16, 18, 22};
}
static_assert(SpikeLayoutFor(4).head == 16 && SpikeLayoutFor(5).head == 18 && SpikeLayoutFor(7).head == 20 &&
                  SpikeLayoutFor(8).head == 22,
              "fixed heads of spike records");
static_assert(SpikeLayoutFor(8).sampleCount + 4 == SpikeLayoutFor(8).head, "the count precedes the samples");

constexpr size_t kSpikeHardwareIndexOffset = 8;
constexpr size_t kSpikeAux1Offset = 10;
constexpr uint16_t kSpikeDefaultUnitId = 0;
constexpr uint16_t kSpikeDefaultAux2 = 0xFFFF;

class CQRVAEvtSpike : public CQRVAEvent {
public:
    static constexpr EventKind kKind = EventKind::Spike;

    CQRVAEvtSpike() : CQRVAEvent(kKind) {}
    CQRVAEvtSpike(const CQRVAEvtSpike&) = default;
    CQRVAEvtSpike& operator=(const CQRVAEvtSpike&) = default;
    CQRVAEvtSpike(CQRVAEvtSpike&&) = default;
    CQRVAEvtSpike& operator=(CQRVAEvtSpike&&) = default;
    ~CQRVAEvtSpike() override = default;

    bool First() override;
    bool Next() override;
    // 2 x sample count.
    uint64_t GetPayloadSize() const override;

    uint16_t GetHardwareIndex() const { return hardwareIndex_; }
    uint16_t GetUnitId() const { return unitId_; }
    // 16 bits wide up to version 7, 32 bits from version 8.
    uint32_t GetAuxValue1() const { return aux1_; }
    uint16_t GetAuxValue2() const { return aux2_; }
    int32_t GetSampleCount() const { return sampleCount_; }
    // Sample i, 0 when i is outside 0 to n - 1.
    uint16_t GetSample(int32_t i) const;
    // Copies the samples into dst, at most capacity of them; true when all
    // n samples fitted.
    bool CopySamples(uint16_t* dst, size_t capacity) const;

private:
    friend class CQRVAEvent;
    bool DecodeAt(size_t offset);

    uint16_t hardwareIndex_ = 0;
    uint32_t aux1_ = 0;
    uint16_t unitId_ = kSpikeDefaultUnitId;
    uint16_t aux2_ = kSpikeDefaultAux2;
    int32_t sampleCount_ = 0;
    size_t samples_ = 0;  // buffer offset of the first sample
};

}  // namespace qrd
