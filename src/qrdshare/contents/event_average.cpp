#include "contents/event_average.h"

#include "container/le_codec.h"

namespace qrd {

bool CQRVAEvtAverage::First() { return !buffer_.empty() && DecodeAt(0); }

bool CQRVAEvtAverage::Next() { return NextRecord(*this); }

bool CQRVAEvtAverage::DecodeAt(size_t offset) {
    const AverageRecordLayout layout = AverageLayoutFor(Version());
    const size_t available = BytesFrom(offset);
    if (available < layout.head) return false;
    const uint8_t* record = Data() + offset;
    const uint32_t count = GetU32(record, layout.sampleCount);
    if (2 * static_cast<uint64_t>(count) > available - layout.head) return false;

    current_ = offset;
    next_ = offset + layout.head + 2 * static_cast<size_t>(count);
    channel_ = GetU16(record, kAverageChannelOffset);
    aux1_ = layout.aux1 ? GetU16(record, layout.aux1) : kAverageDefaultAux1;
    aux2_ = GetU16(record, layout.aux2);
    sampleCount_ = count;
    samples_ = offset + layout.head;
    SetRecordTime(offset);
    return true;
}

uint16_t CQRVAEvtAverage::GetSample(int64_t i) const {
    if (i < 0 || static_cast<uint64_t>(i) >= sampleCount_) return 0;
    return GetU16(Data(), samples_ + 2 * static_cast<size_t>(i));
}

bool CQRVAEvtAverage::CopySamples(uint16_t* dst, size_t capacity) const {
    const size_t n = sampleCount_;
    if (!dst) return n == 0;
    const size_t m = n < capacity ? n : capacity;
    for (size_t i = 0; i < m; ++i) dst[i] = GetU16(Data(), samples_ + 2 * i);
    return m == n;
}

}  // namespace qrd
