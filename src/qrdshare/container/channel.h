// One channel record of a QRD stream block and the extra items after it.
//
// The record is kept as its full 1104-byte image (shorter records of older
// files are completed when read), so writing it back reproduces every byte,
// including the ones this reader does not interpret.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "container/channel_record.h"

namespace qrd {

class BinaryFile;

class CQRVAChannel {
public:
    CQRVAChannel();
    virtual ~CQRVAChannel();
    CQRVAChannel(const CQRVAChannel&) = delete;
    CQRVAChannel& operator=(const CQRVAChannel&) = delete;

    // Values in brackets are what a channel without a record answers.
    virtual uint16_t GetRecordVersion() const;   // u16 at 0 (0)
    virtual int32_t GetHardwareIndex() const;    // i32 at 4 (-1)
    virtual int32_t GetChannelNumber() const;    // i32 at 8 (-1)
    // The three text accessors copy into per-thread buffers that the next
    // call of the same accessor on the same thread overwrites, on any channel.
    virtual const char* GetLabel() const;        // label at 790 ("")
    virtual const char* GetLabel2() const;       // the same label, second buffer
    virtual const char* GetDescription() const;  // description at 269, third buffer
    virtual uint32_t GetGroup() const;           // u16 at 788 (0xFFFFFFFF)
    virtual uint32_t GetExtraCount() const;      // u32 at 784 (0)
    virtual uint32_t GetExtraWord(uint32_t i) const;   // first u16 of item i, or 0xFFFFFFFF
    virtual uint32_t GetExtraValue(uint32_t i) const;  // u32 at 4 of item i, or 0xFFFFFFFF
    virtual int32_t GetRecordValue() const;      // i32 at 1048 (-1)
    virtual uint32_t GetPositionX() const;       // micrometres
    virtual uint32_t GetPositionY() const;
    virtual uint32_t GetPositionZ() const;
    // The seven u32 words at 1068 to 1092, passed through uninterpreted.
    virtual uint32_t GetRecordWord1() const;
    virtual uint32_t GetRecordWord2() const;
    virtual uint32_t GetRecordWord3() const;
    virtual uint32_t GetRecordWord4() const;
    virtual uint32_t GetRecordWord5() const;
    virtual uint32_t GetRecordWord6() const;
    virtual uint32_t GetRecordWord7() const;
    virtual uint32_t GetLowerCorner() const;     // millihertz
    virtual uint32_t GetUpperCorner() const;     // millihertz
    // Reads the record as the file header version prescribes, then its extra
    // items.  0 on success, 2 on a short read or an extra item count the file
    // cannot hold.
    virtual int ReadChannelHeader(BinaryFile& file, uint16_t fileHeaderVersion);

    // Word k (0 to 6) of the seven record words; 0 for other k.
    uint32_t GetRecordWord(int k) const;
    // Full 1104-byte record followed by every extra item.
    bool WriteChannelHeader(BinaryFile& out) const;
    // Bytes WriteChannelHeader produces.
    uint64_t RecordSize() const;
    void SetHardwareIndex(int32_t value);
    // Deep copy; the copy's record version is 2 because it is always written in full.
    std::unique_ptr<CQRVAChannel> Clone() const;

    const ChannelRecord* GetRecord() const { return record_.get(); }
    const std::vector<ExtraItem>& GetExtraItems() const { return extras_; }

private:
    std::vector<ExtraItem> extras_;
    // Only carried along by Clone; nothing in the reader sets or reads it.
    const void* cloneTag_ = nullptr;
    std::unique_ptr<ChannelRecord> record_;
};

}  // namespace qrd
