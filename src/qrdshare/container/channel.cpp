#include "container/channel.h"

#include <cstring>

#include "container/binary_file.h"

namespace qrd {

namespace {

// The label and description accessors hand out buffers that the next call
// of the same accessor on the same thread overwrites; callers copy what they
// keep.  Each thread has its own, so calls on different files in different
// threads never write into each other's text.  Each is one byte longer than
// its field, so a full field stays terminated.
thread_local char g_labelBuffer[channel_record_layout::kLabelWidth + 1];
thread_local char g_label2Buffer[channel_record_layout::kLabelWidth + 1];
thread_local char g_descriptionBuffer[channel_record_layout::kDescriptionWidth + 1];

template <size_t N>
const char* CopyToBuffer(char (&buffer)[N], const uint8_t* image, size_t offset, size_t width) {
    std::string text = GetText(image, offset, width < N ? width : N - 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return buffer;
}

constexpr uint32_t kMissing = 0xFFFFFFFFu;

}  // namespace

CQRVAChannel::CQRVAChannel() = default;
CQRVAChannel::~CQRVAChannel() = default;

uint16_t CQRVAChannel::GetRecordVersion() const { return record_ ? record_->recordVersion() : 0; }
int32_t CQRVAChannel::GetHardwareIndex() const { return record_ ? record_->hardwareIndex() : -1; }
int32_t CQRVAChannel::GetChannelNumber() const { return record_ ? record_->channelNumber() : -1; }

const char* CQRVAChannel::GetLabel() const {
    if (!record_) {
        g_labelBuffer[0] = '\0';
        return g_labelBuffer;
    }
    return CopyToBuffer(g_labelBuffer, record_->bytes(), channel_record_layout::kLabel,
                        channel_record_layout::kLabelWidth);
}

const char* CQRVAChannel::GetLabel2() const {
    if (!record_) {
        g_label2Buffer[0] = '\0';
        return g_label2Buffer;
    }
    return CopyToBuffer(g_label2Buffer, record_->bytes(), channel_record_layout::kLabel,
                        channel_record_layout::kLabelWidth);
}

const char* CQRVAChannel::GetDescription() const {
    if (!record_) {
        g_descriptionBuffer[0] = '\0';
        return g_descriptionBuffer;
    }
    return CopyToBuffer(g_descriptionBuffer, record_->bytes(), channel_record_layout::kDescription,
                        channel_record_layout::kDescriptionWidth);
}

uint32_t CQRVAChannel::GetGroup() const { return record_ ? record_->group() : kMissing; }
uint32_t CQRVAChannel::GetExtraCount() const { return record_ ? record_->extraCount() : 0; }

uint32_t CQRVAChannel::GetExtraWord(uint32_t i) const { return i < extras_.size() ? extras_[i].word() : kMissing; }
uint32_t CQRVAChannel::GetExtraValue(uint32_t i) const {
    return i < extras_.size() ? extras_[i].value() : kMissing;
}

int32_t CQRVAChannel::GetRecordValue() const { return record_ ? record_->recordValue() : -1; }
uint32_t CQRVAChannel::GetPositionX() const { return record_ ? record_->positionX() : 0; }
uint32_t CQRVAChannel::GetPositionY() const { return record_ ? record_->positionY() : 0; }
uint32_t CQRVAChannel::GetPositionZ() const { return record_ ? record_->positionZ() : 0; }
uint32_t CQRVAChannel::GetRecordWord1() const { return GetRecordWord(0); }
uint32_t CQRVAChannel::GetRecordWord2() const { return GetRecordWord(1); }
uint32_t CQRVAChannel::GetRecordWord3() const { return GetRecordWord(2); }
uint32_t CQRVAChannel::GetRecordWord4() const { return GetRecordWord(3); }
uint32_t CQRVAChannel::GetRecordWord5() const { return GetRecordWord(4); }
uint32_t CQRVAChannel::GetRecordWord6() const { return GetRecordWord(5); }
uint32_t CQRVAChannel::GetRecordWord7() const { return GetRecordWord(6); }
uint32_t CQRVAChannel::GetLowerCorner() const { return record_ ? record_->lowerCorner() : 0; }
uint32_t CQRVAChannel::GetUpperCorner() const { return record_ ? record_->upperCorner() : 0; }

uint32_t CQRVAChannel::GetRecordWord(int k) const {
    if (!record_ || k < 0) return 0;
    return record_->recordWord(static_cast<size_t>(k));
}

int CQRVAChannel::ReadChannelHeader(BinaryFile& file, uint16_t fileHeaderVersion) {
    if (!file.IsOpen()) return 2;
    std::unique_ptr<ChannelRecord> record(new ChannelRecord());
    if (!ReadChannelRecord(file, fileHeaderVersion, *record)) return 2;
    // The extra item count comes from the file; ReadExtraItems checks it
    // against the bytes left before allocating.
    std::vector<ExtraItem> extras;
    if (!ReadExtraItems(file, record->extraCount(), extras)) return 2;
    record_ = std::move(record);
    extras_ = std::move(extras);
    return 0;
}

bool CQRVAChannel::WriteChannelHeader(BinaryFile& out) const {
    if (!record_) return false;
    std::vector<uint8_t> bytes;
    LeWriter writer(bytes);
    // All 1104 bytes are written, which a reader expects only of records of
    // version 2 or more; an older record says so, or it would be misread.
    ChannelRecord record = *record_;
    if (record.recordVersion() < 2) record.setRecordVersion(2);
    WriteChannelRecord(record, writer);
    WriteExtraItems(extras_, writer);
    return out.Write(bytes.data(), bytes.size());
}

uint64_t CQRVAChannel::RecordSize() const {
    return ChannelRecord::kSize + ExtraItem::kSize * static_cast<uint64_t>(extras_.size());
}

void CQRVAChannel::SetHardwareIndex(int32_t value) {
    if (record_) record_->setHardwareIndex(value);
}

std::unique_ptr<CQRVAChannel> CQRVAChannel::Clone() const {
    std::unique_ptr<CQRVAChannel> copy(new CQRVAChannel());
    if (record_) {
        copy->record_.reset(new ChannelRecord(*record_));
        copy->record_->setRecordVersion(2);
    }
    copy->extras_ = extras_;
    copy->cloneTag_ = cloneTag_;
    return copy;
}

}  // namespace qrd
