#include "contents/event_spike_param.h"

#include "container/le_codec.h"

namespace qrd {

bool CQRVAEvtSpikeParameter::First() { return !buffer_.empty() && DecodeAt(0); }

bool CQRVAEvtSpikeParameter::Next() { return NextRecord(*this); }

uint64_t CQRVAEvtSpikeParameter::GetPayloadSize() const {
    return (Version() >= 2 ? kSpikeParamRecordSize : kSpikeParamRecordSizeOld) - kSpikeParamHead;
}

bool CQRVAEvtSpikeParameter::DecodeAt(size_t offset) {
    const size_t size = kSpikeParamHead + static_cast<size_t>(GetPayloadSize());
    if (BytesFrom(offset) < size) return false;
    current_ = offset;
    next_ = offset + size;
    SetRecordTime(offset);
    return true;
}

// The fields are read where they lie: DecodeAt accepted the record only when
// all of it is inside the payload.
const uint8_t* CQRVAEvtSpikeParameter::Record() const {
    return BytesFrom(current_) >= kSpikeParamHead + static_cast<size_t>(GetPayloadSize()) ? Data() + current_ : nullptr;
}

uint16_t CQRVAEvtSpikeParameter::GetWord1() const { return Record() ? GetU16(Record(), 8) : 0; }
uint16_t CQRVAEvtSpikeParameter::GetWord2() const { return Record() ? GetU16(Record(), 10) : 0; }
uint16_t CQRVAEvtSpikeParameter::GetWord3() const { return Record() ? GetU16(Record(), 12) : 0; }

float CQRVAEvtSpikeParameter::GetParameter(int i) const {
    const uint8_t* record = Record();
    if (!record) return 0.0f;
    switch (i) {
        case 0:
            return static_cast<float>(GetU64(record, kSpikeParamIsiOffset));
        case 1:
            return GetF32(record, kSpikeParamRateOffset);
        case 2: {
            if (Version() < 2) return 0.0f;
            // Subtract in integers first: as floats both values are around
            // 1.3e19, where one float step is about 18 minutes.
            const uint64_t ticks = GetU64(record, kSpikeParamTimeOffset);
            const int64_t elapsed = static_cast<int64_t>(ticks - static_cast<uint64_t>(time_.GetOrigin()));
            return static_cast<float>(elapsed);
        }
        default:
            return 0.0f;
    }
}

}  // namespace qrd
