#include "contents/event_param.h"

#include "container/stream.h"
#include "contents/analyzer_property.h"
#include "contents/info_param.h"

namespace qrd {

CQRVAEvtParam::CQRVAEvtParam() : CQRVAEvent(kKind) {}

CQRVAEvtParam::CQRVAEvtParam(const CQRVAEvtParam& other)
    : CQRVAEvent(other), info_(other.info_ ? new CQRVAInfoParam(*other.info_) : nullptr) {}

CQRVAEvtParam& CQRVAEvtParam::operator=(const CQRVAEvtParam& other) {
    if (this == &other) return *this;
    CQRVAEvent::operator=(other);
    info_.reset(other.info_ ? new CQRVAInfoParam(*other.info_) : nullptr);
    return *this;
}

CQRVAEvtParam::CQRVAEvtParam(CQRVAEvtParam&&) = default;
CQRVAEvtParam& CQRVAEvtParam::operator=(CQRVAEvtParam&&) = default;
CQRVAEvtParam::~CQRVAEvtParam() = default;

uint64_t CQRVAEvtParam::GetPayloadSize() const {
    if (!info_ || !stream_) return 0;
    return static_cast<uint64_t>(info_->GetBytesPerChannel()) * stream_->GetChannelCount();
}

uint64_t CQRVAEvtParam::RecordSize() const { return kParamHead + GetPayloadSize(); }

bool CQRVAEvtParam::First() {
    if (buffer_.empty() || !stream_) return false;
    std::unique_ptr<InfoObject> created = stream_->CreateInfo();
    if (!InfoCast<CQRVAInfoParam>(created.get())) return false;
    info_.reset(static_cast<CQRVAInfoParam*>(created.release()));
    return DecodeAt(0);
}

bool CQRVAEvtParam::Next() { return NextRecord(*this); }

bool CQRVAEvtParam::DecodeAt(size_t offset) {
    if (!info_) return false;
    const uint64_t size = RecordSize();
    if (BytesFrom(offset) < size) return false;
    current_ = offset;
    next_ = offset + static_cast<size_t>(size);
    SetRecordTime(offset);
    return true;
}

bool CQRVAEvtParam::GetChannelValues(uint32_t channel, std::vector<float>& values) const {
    if (!info_ || !stream_ || BytesFrom(current_) < RecordSize()) return false;
    AdcFormat adc;
    adc.bits = stream_->GetAdcBits();
    adc.zero = stream_->GetAdcZero();
    adc.unitStep = stream_->GetUnitStep();
    return info_->GetChannelValues(channel, Data() + current_ + kParamHead, static_cast<size_t>(GetPayloadSize()),
                                   stream_->GetChannelCount(), adc, Version(), values);
}

float CQRVAEvtParam::GetSlotValue(int kind, uint32_t channel) const {
    if (!info_ || kind < 0 || kind >= kParamSlotCount) return kMissingParameterValue;
    const int32_t position = info_->GetPosition(kind);
    std::vector<float> values;
    if (position < 0 || !GetChannelValues(channel, values)) return kMissingParameterValue;
    return static_cast<size_t>(position) < values.size() ? values[static_cast<size_t>(position)]
                                                         : kMissingParameterValue;
}

}  // namespace qrd
