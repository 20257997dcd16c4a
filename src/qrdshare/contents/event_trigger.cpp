#include "contents/event_trigger.h"

#include "container/le_codec.h"

namespace qrd {

bool CQRVAEvtTrigger::First() { return !buffer_.empty() && DecodeAt(0); }

bool CQRVAEvtTrigger::Next() { return NextRecord(*this); }

uint64_t CQRVAEvtTrigger::GetPayloadSize() const {
    return (Version() >= 5 ? kTriggerRecordSize : kTriggerRecordSizeOld) - kTriggerHead;
}

bool CQRVAEvtTrigger::DecodeAt(size_t offset) {
    const size_t size = kTriggerHead + static_cast<size_t>(GetPayloadSize());
    if (BytesFrom(offset) < size) return false;
    const uint8_t* record = Data() + offset;
    current_ = offset;
    next_ = offset + size;
    word_ = GetU16(record, kTriggerWordOffset);
    extra_ = Version() >= 5 ? GetU32(record, kTriggerExtraOffset) : 0;
    SetRecordTime(offset);
    return true;
}

}  // namespace qrd
