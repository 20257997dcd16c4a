// The channel record of a stream block, and the extra items after it.
//
// In memory a 1104-byte image, cleared before reading.  How much of it a file
// stores depends on the file header version and on the record's own version
// (its first u16):
//   file header version 5 or below         788 bytes (no group, label, ...)
//   version 6+, channel record version 0   792 bytes
//   version 6+, channel record version 1  1052 bytes
//   version 6+, channel record version 2+ 1104 bytes
// Fields a short record lacks are completed: the label becomes a copy of the
// channel name, the value at 1048 becomes -1 (and the group 0).
// The record is followed by "extra count" items of 8 bytes each.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "container/le_codec.h"

namespace qrd {

class BinaryFile;

namespace channel_record_layout {
constexpr size_t kRecordVersion = 0;
constexpr size_t kHardwareIndex = 4;
constexpr size_t kChannelNumber = 8;
constexpr size_t kName = 12;
constexpr size_t kNameWidth = 257;
constexpr size_t kDescription = 269;
constexpr size_t kDescriptionWidth = 515;
constexpr size_t kExtraCount = 784;
constexpr size_t kGroup = 788;
constexpr size_t kLabel = 790;
constexpr size_t kLabelWidth = 258;
constexpr size_t kRecordValue = 1048;
constexpr size_t kPositionX = 1056;
constexpr size_t kPositionY = 1060;
constexpr size_t kPositionZ = 1064;
constexpr size_t kRecordWords = 1068;
constexpr size_t kRecordWordCount = 7;
constexpr size_t kLowerCorner = 1096;
constexpr size_t kUpperCorner = 1100;
constexpr size_t kRecordSize = 1104;
// Stored sizes (see above).
constexpr size_t kStoredSizeOld = 788;
constexpr size_t kStoredSizeV0 = 792;
constexpr size_t kStoredSizeV1 = 1052;
constexpr size_t kStoredSizeV2 = 1104;
static_assert(kName + kNameWidth == kDescription, "name ends at the description");
static_assert(kDescription + kDescriptionWidth == kExtraCount, "description ends at the extra count");
static_assert(kLabel + kLabelWidth == kRecordValue, "label ends at the record value");
static_assert(kRecordWords + 4 * kRecordWordCount == kLowerCorner, "record words end at the corners");
static_assert(kUpperCorner + 4 == kRecordSize, "the upper corner ends the record");
}  // namespace channel_record_layout

// Bytes of a channel record as stored in a file of this header version with
// this channel record version.
size_t ChannelRecordStoredSize(uint16_t fileHeaderVersion, uint16_t recordVersion);

// One 8-byte extra item after a channel record: a u16 word at 0 and a u32
// value at 4 are exposed, the rest is carried along.
struct ExtraItem {
    static constexpr size_t kSize = 8;
    uint8_t bytes[kSize] = {0, 0, 0, 0, 0, 0, 0, 0};

    uint16_t word() const { return GetU16(bytes, 0); }
    uint32_t value() const { return GetU32(bytes, 4); }
    static ExtraItem Make(uint16_t word, uint32_t value) {
        ExtraItem item;
        PutU16(item.bytes, 0, word);
        PutU32(item.bytes, 4, value);
        return item;
    }
};

class ChannelRecord {
public:
    static constexpr size_t kSize = channel_record_layout::kRecordSize;

    ChannelRecord() { Clear(); }
    void Clear() { bytes_.fill(0); }
    uint8_t* bytes() { return bytes_.data(); }
    const uint8_t* bytes() const { return bytes_.data(); }

    uint16_t recordVersion() const { return GetU16(bytes(), channel_record_layout::kRecordVersion); }
    void setRecordVersion(uint16_t v) { PutU16(bytes(), channel_record_layout::kRecordVersion, v); }
    int32_t hardwareIndex() const { return GetI32(bytes(), channel_record_layout::kHardwareIndex); }
    void setHardwareIndex(int32_t v) { PutI32(bytes(), channel_record_layout::kHardwareIndex, v); }
    int32_t channelNumber() const { return GetI32(bytes(), channel_record_layout::kChannelNumber); }
    void setChannelNumber(int32_t v) { PutI32(bytes(), channel_record_layout::kChannelNumber, v); }
    // Texts: pointers into the image, NUL-terminated within their fields after reading.
    const char* name() const { return text(channel_record_layout::kName); }
    void setName(const std::string& s) {
        PutText(bytes(), channel_record_layout::kName, channel_record_layout::kNameWidth, s);
    }
    const char* description() const { return text(channel_record_layout::kDescription); }
    void setDescription(const std::string& s) {
        PutText(bytes(), channel_record_layout::kDescription, channel_record_layout::kDescriptionWidth, s);
    }
    uint32_t extraCount() const { return GetU32(bytes(), channel_record_layout::kExtraCount); }
    void setExtraCount(uint32_t v) { PutU32(bytes(), channel_record_layout::kExtraCount, v); }
    uint16_t group() const { return GetU16(bytes(), channel_record_layout::kGroup); }
    void setGroup(uint16_t v) { PutU16(bytes(), channel_record_layout::kGroup, v); }
    const char* label() const { return text(channel_record_layout::kLabel); }
    void setLabel(const std::string& s) {
        PutText(bytes(), channel_record_layout::kLabel, channel_record_layout::kLabelWidth, s);
    }
    int32_t recordValue() const { return GetI32(bytes(), channel_record_layout::kRecordValue); }
    void setRecordValue(int32_t v) { PutI32(bytes(), channel_record_layout::kRecordValue, v); }
    uint32_t positionX() const { return GetU32(bytes(), channel_record_layout::kPositionX); }  // um
    void setPositionX(uint32_t v) { PutU32(bytes(), channel_record_layout::kPositionX, v); }
    uint32_t positionY() const { return GetU32(bytes(), channel_record_layout::kPositionY); }
    void setPositionY(uint32_t v) { PutU32(bytes(), channel_record_layout::kPositionY, v); }
    uint32_t positionZ() const { return GetU32(bytes(), channel_record_layout::kPositionZ); }
    void setPositionZ(uint32_t v) { PutU32(bytes(), channel_record_layout::kPositionZ, v); }
    // The seven words at 1068..1092, exposed unchanged; k outside 0..6 reads 0.
    uint32_t recordWord(size_t k) const {
        return k < channel_record_layout::kRecordWordCount
                   ? GetU32(bytes(), channel_record_layout::kRecordWords + 4 * k)
                   : 0;
    }
    void setRecordWord(size_t k, uint32_t v) {
        if (k < channel_record_layout::kRecordWordCount)
            PutU32(bytes(), channel_record_layout::kRecordWords + 4 * k, v);
    }
    uint32_t lowerCorner() const { return GetU32(bytes(), channel_record_layout::kLowerCorner); }  // mHz
    void setLowerCorner(uint32_t v) { PutU32(bytes(), channel_record_layout::kLowerCorner, v); }
    uint32_t upperCorner() const { return GetU32(bytes(), channel_record_layout::kUpperCorner); }  // mHz
    void setUpperCorner(uint32_t v) { PutU32(bytes(), channel_record_layout::kUpperCorner, v); }

    // Puts a NUL at the last byte of every text field.
    void TerminateTexts();

private:
    const char* text(size_t off) const { return reinterpret_cast<const char*>(bytes() + off); }
    std::array<uint8_t, kSize> bytes_;
};

// Reads one channel record at the current position as a file of this header
// version stores it (see above), completes the fields a short record lacks and
// terminates its texts.  The extra items are not read.  False on a short read.
bool ReadChannelRecord(BinaryFile& file, uint16_t fileHeaderVersion, ChannelRecord& record);
// Reads count extra items.  The count comes from the file, so it is checked
// against the bytes left in the file before anything is allocated; false when
// they cannot all be there or on a short read (items is then empty).
bool ReadExtraItems(BinaryFile& file, uint32_t count, std::vector<ExtraItem>& items);

// Appends all 1104 bytes of the record (the layout a current recorder writes).
void WriteChannelRecord(const ChannelRecord& record, LeWriter& out);
// Appends the record as a file of that header version stores it (788, 792,
// 1052 or 1104 bytes by file header version and record version).
void WriteChannelRecord(const ChannelRecord& record, LeWriter& out, uint16_t fileHeaderVersion);
void WriteExtraItems(const std::vector<ExtraItem>& items, LeWriter& out);

// Whether the hardware index read from a channel record is replaced by the
// channel's position in its stream: in files of header version 7 or 8 for
// "digital..." streams, and below version 7 for every stream that is neither
// "spikes" nor "average".  The type name is compared without regard to case.
bool HardwareIndexBecomesPosition(uint16_t fileHeaderVersion, const char* typeName);

}  // namespace qrd
