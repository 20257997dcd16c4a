#include "container/stream.h"

#include <cstring>
#include <limits>

#include "container/binary_file.h"
#include "container/block_tags.h"
#include "container/channel.h"
#include "container/channel_record.h"
#include "container/chunk.h"
#include "container/file_header.h"
#include "container/stream_file.h"
#include "container/stream_format.h"
#include "container/stream_header.h"
#include "container/stream_tags.h"
#include "contents/info_object.h"
#include "contents/stream_info_factory.h"

namespace qrd {

namespace {

// Smallest number of bytes one channel record occupies in a file of this
// header version (the record without extra items); used to check a channel
// count from the file against the bytes that are left.
uint64_t SmallestChannelRecord(uint16_t fileHeaderVersion) {
    return fileHeaderVersion <= 5 ? channel_record_layout::kStoredSizeOld : channel_record_layout::kStoredSizeV0;
}

constexpr uint64_t kSectionHead = 16;  // 8-byte tag + u64 length

}  // namespace

CQRVAStream::CQRVAStream(CQRVAStreamFile* file) : file_(file) {}

CQRVAStream::~CQRVAStream() = default;

// ---- stream header -------------------------------------------------------------

uint32_t CQRVAStream::GetChannelCount() const { return header_ ? header_->channelCount() : 0; }
uint32_t CQRVAStream::GetStreamVersion() const { return header_ ? header_->version() : 0xFFFFFFFFu; }
const char* CQRVAStream::GetTypeName() const { return header_ ? header_->typeName() : nullptr; }
const char* CQRVAStream::GetName() const { return header_ ? header_->name() : nullptr; }
const char* CQRVAStream::GetComment() const { return header_ ? header_->comment() : nullptr; }
uint16_t CQRVAStream::GetStreamId() const { return header_ ? header_->streamId() : 0; }
uint32_t CQRVAStream::GetSampleRate() const { return header_ ? header_->sampleRate() : 0; }
uint32_t CQRVAStream::GetSampleRateHz() const { return GetSampleRate() / 1000; }

// ---- format header -------------------------------------------------------------

uint16_t CQRVAStream::GetFormatVersion() const { return format_ ? format_->formatVersion() : 0; }
uint8_t CQRVAStream::GetFormatByte() const { return format_ ? format_->formatByte() : 0; }
int16_t CQRVAStream::GetAdcBits() const { return format_ ? format_->adcBits() : 0; }
uint16_t CQRVAStream::GetAdcZero() const { return format_ ? format_->adcZero() : 0; }
double CQRVAStream::GetUnitStep() const { return format_ ? format_->unitStep() : 0.0; }
uint16_t CQRVAStream::GetFormatWord16() const { return format_ ? format_->word16() : 0; }
uint16_t CQRVAStream::GetFormatWord18() const { return format_ ? format_->word18() : 0; }
uint16_t CQRVAStream::GetFormatWord20() const { return format_ ? format_->word20() : 0; }

// ---- channels ------------------------------------------------------------------

CQRVAChannel* CQRVAStream::GetChannel(uint32_t position) const {
    return position < channels_.size() ? channels_[position].get() : nullptr;
}

CQRVAChannel* CQRVAStream::FindChannel(int32_t number) const {
    for (const auto& channel : channels_)
        if (static_cast<uint16_t>(channel->GetChannelNumber()) == static_cast<uint16_t>(number))
            return channel.get();
    return nullptr;
}

const char* CQRVAStream::GetChannelLabel(uint32_t position) const {
    static const char kEmpty[] = "";
    CQRVAChannel* channel = GetChannel(position);
    return channel ? channel->GetLabel() : kEmpty;
}

std::unique_ptr<InfoObject> CQRVAStream::CreateInfo() const {
    if (!header_) return nullptr;
    StreamInfoInput in;
    in.typeName = header_->typeName();
    in.settings = settings_.empty() ? nullptr : settings_.data();
    in.settingsLength = settings_.size();
    in.streamVersion = header_->version();
    in.unitStep = GetUnitStep();
    in.adcZero = GetAdcZero();
    in.adcBits = GetAdcBits();
    // Settings layouts changed with the recorder's major version; the version
    // is this stream's own file's, so open files never affect each other.
    in.appMajorVersion = file_ ? file_->GetAppMajor() : 0;
    return CreateStreamInfo(in);
}

bool CQRVAStream::IsContinuousRecording() const { return file_ && file_->GetRecordingMode() == 0; }

bool CQRVAStream::IsContinuousType() const {
    return IsType("analog") || IsType("chat") || IsType("filter") || IsType("digital");
}

bool CQRVAStream::IsType(const char* typeName) const {
    if (!header_ || !typeName) return false;
    return NormalisedTypeName(header_->typeName()) == NormalisedTypeName(typeName);
}

int CQRVAStream::Reserved37() { return 0; }

// ---- stream block --------------------------------------------------------------

uint32_t CQRVAStream::GetSettings(const uint8_t** settings) const {
    if (settings) *settings = settings_.empty() ? nullptr : settings_.data();
    return static_cast<uint32_t>(settings_.size());
}

const char* CQRVAStream::GetStreamTag() const { return header_ ? header_->streamTag() : nullptr; }

void CQRVAStream::ClearBlock() {
    header_.reset();
    channels_.clear();
    format_.reset();
    settings_.clear();
    std::memset(chunkTag_, 0, sizeof chunkTag_);
}

int CQRVAStream::ReadStreamHeader(BinaryFile& file, uint16_t v) {
    ClearBlock();
    if (!file.IsOpen()) return 2;

    char tag[kTagSize];
    if (!file.ReadTagAndLength(tag, headerSectionLength_) || !TagEqualsIgnoreCase(tag, kTagStreamHeader))
        return 2;

    std::unique_ptr<StreamHeader> header(new StreamHeader());
    if (!ReadStreamHeaderRecord(file, v, *header)) return 2;

    // A stream without channels is written with its format section right
    // after the stream header, whatever channel count the header claims.
    uint64_t afterHeader = file.Tell();
    char next[kTagSize];
    if (!file.Read(next, sizeof next)) return 2;
    if (TagEqualsIgnoreCase(next, kTagStreamFormat)) header->setChannelCount(0);
    if (!file.Seek(afterHeader)) return 2;

    // The channel count comes from the file: every record needs at least the
    // smallest stored record size, and the format section must follow.
    const uint64_t count = header->channelCount();
    const uint64_t available = file.Remaining();
    if (available < kSectionHead + StreamFormat::kSize ||
        count > (available - kSectionHead - StreamFormat::kSize) / SmallestChannelRecord(v))
        return 2;

    std::vector<std::unique_ptr<CQRVAChannel>> channels;
    channels.reserve(static_cast<size_t>(count));
    const bool positionAsIndex = HardwareIndexBecomesPosition(v, header->typeName());
    for (uint64_t position = 0; position < count; ++position) {
        std::unique_ptr<CQRVAChannel> channel(new CQRVAChannel());
        if (channel->ReadChannelHeader(file, v) != 0) return 2;
        if (positionAsIndex) channel->SetHardwareIndex(static_cast<int32_t>(position));
        channels.push_back(std::move(channel));
    }

    if (!file.ReadTagAndLength(tag, formatSectionLength_) || !TagEqualsIgnoreCase(tag, kTagStreamFormat))
        return 2;
    std::unique_ptr<StreamFormat> format(new StreamFormat());
    // The settings length L - 24 is checked against the file before the
    // buffer is allocated.
    uint64_t settingsSize = formatSectionLength_ > StreamFormat::kSize ? formatSectionLength_ - StreamFormat::kSize : 0;
    if (settingsSize > file.Remaining() || settingsSize > std::numeric_limits<uint32_t>::max()) return 2;
    if (!ReadStreamFormat(file, *format)) return 2;
    std::vector<uint8_t> settings(static_cast<size_t>(settingsSize));
    if (settingsSize > 0 && !file.Read(settings.data(), settings.size())) return 2;

    header_ = std::move(header);
    channels_ = std::move(channels);
    format_ = std::move(format);
    settings_ = std::move(settings);
    BuildTags(v);
    return 0;
}

void CQRVAStream::BuildTags(uint16_t v) {
    std::string chunkTag;
    if (v >= 5) {
        chunkTag = GetText(header_->bytes(), stream_header_layout::kStreamTag, kTagSize);
    } else {
        header_->setStreamTag(DeriveStreamTag(header_->typeName(), header_->name()));
        chunkTag = DeriveChunkTag(header_->streamId(), header_->typeName());
    }
    std::memset(chunkTag_, 0, sizeof chunkTag_);
    std::memcpy(chunkTag_, chunkTag.data(), chunkTag.size() < kTagSize ? chunkTag.size() : kTagSize);
}

void CQRVAStream::ChunkTagKey(char key[8]) const {
    for (size_t i = 0; i < kTagSize; ++i) key[i] = chunkTag_[i] == '\0' ? ' ' : chunkTag_[i];
}

bool CQRVAStream::WriteStreamHeader(BinaryFile& out) const {
    if (!header_ || !format_) return false;
    std::vector<uint8_t> bytes;
    LeWriter writer(bytes);
    // A written stream block always carries full records, so its section
    // length is recomputed rather than copied from the source file.
    uint64_t sectionLength = StreamHeader::kSize;
    for (const auto& channel : channels_) sectionLength += channel->RecordSize();
    writer.Tag(kTagStreamHeader);
    writer.U64(sectionLength);
    StreamHeader header = *header_;
    header.setChannelCount(static_cast<uint32_t>(channels_.size()));
    WriteStreamHeaderRecord(header, writer, kNewestFileHeaderVersion);
    if (!out.Write(bytes.data(), bytes.size())) return false;
    for (const auto& channel : channels_)
        if (!channel->WriteChannelHeader(out)) return false;
    bytes.clear();
    writer.Tag(kTagStreamFormat);
    writer.U64(StreamFormat::kSize + settings_.size());
    WriteStreamFormat(*format_, writer);
    writer.Bytes(settings_.data(), settings_.size());
    return out.Write(bytes.data(), bytes.size());
}

std::unique_ptr<CQRVAStream> CQRVAStream::Clone(CQRVAStreamFile* owner) const {
    std::unique_ptr<CQRVAStream> copy(new CQRVAStream(owner));
    copy->headerSectionLength_ = headerSectionLength_;
    copy->formatSectionLength_ = formatSectionLength_;
    copy->settings_ = settings_;
    if (header_) copy->header_.reset(new StreamHeader(*header_));
    for (const auto& channel : channels_) copy->channels_.push_back(channel->Clone());
    std::memcpy(copy->chunkTag_, chunkTag_, sizeof chunkTag_);
    if (format_) copy->format_.reset(new StreamFormat(*format_));
    return copy;
}

}  // namespace qrd
