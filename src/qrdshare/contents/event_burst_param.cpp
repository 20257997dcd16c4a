#include "contents/event_burst_param.h"

#include "container/le_codec.h"

namespace qrd {

bool CQRVAEvtBurstParameter::First() { return !buffer_.empty() && DecodeAt(0); }

bool CQRVAEvtBurstParameter::Next() { return NextRecord(*this); }

bool CQRVAEvtBurstParameter::DecodeAt(size_t offset) {
    if (BytesFrom(offset) < kBurstParamRecordSize) return false;
    current_ = offset;
    next_ = offset + kBurstParamRecordSize;
    SetRecordTime(offset);
    return true;
}

// The fields are read where they lie: DecodeAt accepted the record only when
// all of it is inside the payload.
const uint8_t* CQRVAEvtBurstParameter::Record() const {
    return BytesFrom(current_) >= kBurstParamRecordSize ? Data() + current_ : nullptr;
}

uint16_t CQRVAEvtBurstParameter::GetWord1() const { return Record() ? GetU16(Record(), 8) : 0; }
uint16_t CQRVAEvtBurstParameter::GetWord2() const { return Record() ? GetU16(Record(), 10) : 0; }
uint16_t CQRVAEvtBurstParameter::GetWord3() const { return Record() ? GetU16(Record(), 12) : 0; }
uint64_t CQRVAEvtBurstParameter::GetLongValue() const { return Record() ? GetU64(Record(), kBurstParamLongOffset) : 0; }

float CQRVAEvtBurstParameter::GetParameter(int i) const {
    const uint8_t* record = Record();
    if (!record) return 0.0f;
    switch (i) {
        case 0:
            return static_cast<float>(GetU64(record, kBurstParamMarkerOffset));
        case 1:
            return GetF32(record, kBurstParamFrequencyOffset);
        case 2:
            return static_cast<float>(GetI32(record, kBurstParamSpikeNumberOffset));
        default:
            return 0.0f;
    }
}

}  // namespace qrd
