#include "contents/event_spike.h"

#include "container/le_codec.h"

namespace qrd {

bool CQRVAEvtSpike::First() { return !buffer_.empty() && DecodeAt(0); }

bool CQRVAEvtSpike::Next() { return NextRecord(*this); }

uint64_t CQRVAEvtSpike::GetPayloadSize() const {
    return sampleCount_ > 0 ? 2 * static_cast<uint64_t>(sampleCount_) : 0;
}

bool CQRVAEvtSpike::DecodeAt(size_t offset) {
    const SpikeRecordLayout layout = SpikeLayoutFor(Version());
    const size_t available = BytesFrom(offset);
    if (available < layout.head) return false;
    const uint8_t* record = Data() + offset;
    const int32_t count = GetI32(record, layout.sampleCount);
    // A negative count or samples beyond the payload make the rest of the
    // payload unreadable.
    if (count < 0 || 2 * static_cast<uint64_t>(count) > available - layout.head) return false;

    current_ = offset;
    next_ = offset + layout.head + 2 * static_cast<size_t>(count);
    hardwareIndex_ = GetU16(record, kSpikeHardwareIndexOffset);
    aux1_ = layout.aux1Width == 4 ? GetU32(record, kSpikeAux1Offset) : GetU16(record, kSpikeAux1Offset);
    unitId_ = layout.unitId ? GetU16(record, layout.unitId) : kSpikeDefaultUnitId;
    aux2_ = layout.aux2 ? GetU16(record, layout.aux2) : kSpikeDefaultAux2;
    sampleCount_ = count;
    samples_ = offset + layout.head;
    SetRecordTime(offset);
    return true;
}

uint16_t CQRVAEvtSpike::GetSample(int32_t i) const {
    if (i < 0 || i >= sampleCount_) return 0;
    return GetU16(Data(), samples_ + 2 * static_cast<size_t>(i));
}

bool CQRVAEvtSpike::CopySamples(uint16_t* dst, size_t capacity) const {
    const size_t n = sampleCount_ > 0 ? static_cast<size_t>(sampleCount_) : 0;
    if (!dst) return n == 0;
    const size_t m = n < capacity ? n : capacity;
    for (size_t i = 0; i < m; ++i) dst[i] = GetU16(Data(), samples_ + 2 * i);
    return m == n;
}

}  // namespace qrd
