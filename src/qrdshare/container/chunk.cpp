#include "container/chunk.h"

#include <cstring>
#include <limits>

#include "container/binary_file.h"
#include "container/le_codec.h"
#include "container/time_stamp.h"

namespace qrd {

CQRVAChunk::CQRVAChunk() : start_(new CQRVATimeStamp()), end_(new CQRVATimeStamp()) {}

CQRVAChunk::~CQRVAChunk() = default;

uint64_t CQRVAChunk::GetStartTicks() const { return start_->GetTicks(); }
uint64_t CQRVAChunk::GetEndTicks() const { return end_->GetTicks(); }

void CQRVAChunk::SetTag(const char tag[8]) {
    std::memcpy(tag_, tag, 8);
    tag_[8] = '\0';
}

void CQRVAChunk::Describe(uint64_t startTicks, uint64_t endTicks, int64_t origin, uint64_t dataSize,
                          int64_t dataOffset, BinaryFile* file) {
    start_->SetTicks(startTicks);
    end_->SetTicks(endTicks);
    SetOrigin(origin);
    dataSize_ = dataSize;
    dataOffset_ = dataOffset;
    file_ = file;
    reserved_ = -1;
}

void CQRVAChunk::SetOrigin(int64_t origin) {
    start_->SetOrigin(origin);
    end_->SetOrigin(origin);
}

uint64_t CQRVAChunk::ReadData(void* buffer, uint64_t capacity) const {
    if (!file_ || !buffer || capacity < dataSize_ || dataOffset_ < 0) return 0;
    if (dataSize_ > std::numeric_limits<size_t>::max()) return 0;
    if (!file_->ReadAt(static_cast<uint64_t>(dataOffset_), buffer, static_cast<size_t>(dataSize_))) return 0;
    return dataSize_;
}

bool CQRVAChunk::ReadData(std::vector<uint8_t>& out) const {
    out.clear();
    // The chunk header reader only accepts payloads that lie inside the file,
    // so this allocation is bounded by the recording's size.
    if (!file_ || dataOffset_ < 0 || static_cast<uint64_t>(dataOffset_) > file_->Size() ||
        dataSize_ > file_->Size() - static_cast<uint64_t>(dataOffset_))
        return false;
    out.resize(static_cast<size_t>(dataSize_));
    if (dataSize_ == 0) return true;
    if (ReadData(out.data(), out.size()) != dataSize_) {
        out.clear();
        return false;
    }
    return true;
}

std::unique_ptr<CQRVAChunk> CQRVAChunk::Clone() const {
    std::unique_ptr<CQRVAChunk> copy(new CQRVAChunk());
    std::unique_ptr<std::vector<uint8_t>> data(new std::vector<uint8_t>());
    if (dataCopy_) {
        *data = *dataCopy_;
    } else if (!ReadData(*data)) {
        return nullptr;
    }
    copy->SetTag(tag_);
    copy->Describe(start_->GetTicks(), end_->GetTicks(), start_->GetOrigin(), dataSize_, dataOffset_, file_);
    copy->stream_ = stream_;
    copy->dataCopy_ = std::move(data);
    return copy;
}

bool CQRVAChunk::WriteChunk(BinaryFile& out, int64_t timeOffset) const {
    if (!dataCopy_ || dataCopy_->size() != dataSize_) return false;
    uint8_t head[kHeaderBytes];
    std::memcpy(head, tag_, 8);
    PutU64(head, 8, dataSize_ + 16);
    PutU64(head, 16, start_->GetTicks() + static_cast<uint64_t>(timeOffset));
    PutU64(head, 24, end_->GetTicks() + static_cast<uint64_t>(timeOffset));
    if (!out.Write(head, sizeof head)) return false;
    return out.Write(dataCopy_->data(), dataCopy_->size());
}

}  // namespace qrd
