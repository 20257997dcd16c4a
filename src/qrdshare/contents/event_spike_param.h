// Cursor over the records of a "spkparam" stream: the spike analyzer's
// results, one record per analysed spike.
//
// Record: u64 time stamp at 0; three u16 words at 8, 10, 12; u64 parameter 0
// ("ISI") at 14; f32 parameter 1 ("Rate") at 22; from stream header version
// 2 on a u64 parameter 2 ("Timestamp", absolute ticks) at 26.
#pragma once

#include <cstddef>
#include <cstdint>

#include "contents/event.h"

namespace qrd {

constexpr size_t kSpikeParamHead = 14;
constexpr size_t kSpikeParamIsiOffset = 14;
constexpr size_t kSpikeParamRateOffset = 22;
constexpr size_t kSpikeParamTimeOffset = 26;
constexpr size_t kSpikeParamRecordSizeOld = 26;  // versions 0, 1
constexpr size_t kSpikeParamRecordSize = 34;     // version 2 and later
static_assert(kSpikeParamRateOffset + 4 == kSpikeParamRecordSizeOld, "rate ends the old record");
static_assert(kSpikeParamTimeOffset + 8 == kSpikeParamRecordSize, "time stamp ends the record");

class CQRVAEvtSpikeParameter : public CQRVAEvent {
public:
    static constexpr EventKind kKind = EventKind::SpikeParameter;

    CQRVAEvtSpikeParameter() : CQRVAEvent(kKind) {}
    CQRVAEvtSpikeParameter(const CQRVAEvtSpikeParameter&) = default;
    CQRVAEvtSpikeParameter& operator=(const CQRVAEvtSpikeParameter&) = default;
    CQRVAEvtSpikeParameter(CQRVAEvtSpikeParameter&&) = default;
    CQRVAEvtSpikeParameter& operator=(CQRVAEvtSpikeParameter&&) = default;
    ~CQRVAEvtSpikeParameter() override = default;

    bool First() override;
    bool Next() override;
    // 12 for versions 0 and 1, 20 from version 2.
    uint64_t GetPayloadSize() const override;

    uint16_t GetWord1() const;
    uint16_t GetWord2() const;
    uint16_t GetWord3() const;
    // 0: the interval, 1: the rate, 2: the spike's time relative to the
    // origin in nanoseconds (0 before version 2); 0 for other i.
    float GetParameter(int i) const;

private:
    friend class CQRVAEvent;
    bool DecodeAt(size_t offset);
    // The current record, or null on a cursor that never loaded one.
    const uint8_t* Record() const;
};

}  // namespace qrd
