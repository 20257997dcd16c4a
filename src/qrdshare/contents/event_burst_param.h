// Cursor over the records of a "bstparam" stream: the burst analyzer's
// results, one 38-byte record per burst.
//
// Record: u64 time stamp at 0; three u16 words at 8, 10, 12; u64 long value
// at 14 (passed on unchanged); u64 parameter 0 ("Marker") at 22; i32
// parameter 2 ("Spike Number") at 30; f32 parameter 1 ("Spike Frequency") at 34.
#pragma once

#include <cstddef>
#include <cstdint>

#include "contents/event.h"

namespace qrd {

constexpr size_t kBurstParamHead = 14;
constexpr size_t kBurstParamLongOffset = 14;
constexpr size_t kBurstParamMarkerOffset = 22;
constexpr size_t kBurstParamSpikeNumberOffset = 30;
constexpr size_t kBurstParamFrequencyOffset = 34;
constexpr size_t kBurstParamRecordSize = 38;
static_assert(kBurstParamFrequencyOffset + 4 == kBurstParamRecordSize, "frequency ends the record");

class CQRVAEvtBurstParameter : public CQRVAEvent {
public:
    static constexpr EventKind kKind = EventKind::BurstParameter;

    CQRVAEvtBurstParameter() : CQRVAEvent(kKind) {}
    CQRVAEvtBurstParameter(const CQRVAEvtBurstParameter&) = default;
    CQRVAEvtBurstParameter& operator=(const CQRVAEvtBurstParameter&) = default;
    CQRVAEvtBurstParameter(CQRVAEvtBurstParameter&&) = default;
    CQRVAEvtBurstParameter& operator=(CQRVAEvtBurstParameter&&) = default;
    ~CQRVAEvtBurstParameter() override = default;

    bool First() override;
    bool Next() override;
    // Always 24.
    uint64_t GetPayloadSize() const override { return kBurstParamRecordSize - kBurstParamHead; }

    uint16_t GetWord1() const;
    uint16_t GetWord2() const;
    uint16_t GetWord3() const;
    uint64_t GetLongValue() const;
    // 0: the marker, 1: the spike frequency, 2: the spike number; 0 for other i.
    float GetParameter(int i) const;

private:
    friend class CQRVAEvent;
    bool DecodeAt(size_t offset);
    // The current record, or null on a cursor that never loaded one.
    const uint8_t* Record() const;
};

}  // namespace qrd
