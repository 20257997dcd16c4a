#include "container/channel_record.h"

#include <cctype>

#include "container/binary_file.h"

namespace qrd {

namespace L = channel_record_layout;

size_t ChannelRecordStoredSize(uint16_t fileHeaderVersion, uint16_t recordVersion) {
    if (fileHeaderVersion <= 5) return L::kStoredSizeOld;
    if (recordVersion == 0) return L::kStoredSizeV0;
    if (recordVersion == 1) return L::kStoredSizeV1;
    return L::kStoredSizeV2;
}

void ChannelRecord::TerminateTexts() {
    uint8_t* b = bytes();
    b[L::kName + L::kNameWidth - 1] = 0;
    b[L::kDescription + L::kDescriptionWidth - 1] = 0;
    b[L::kLabel + L::kLabelWidth - 1] = 0;
}

bool ReadChannelRecord(BinaryFile& file, uint16_t fileHeaderVersion, ChannelRecord& record) {
    record.Clear();
    uint8_t* b = record.bytes();
    if (fileHeaderVersion <= 5) {
        if (!file.Read(b, L::kStoredSizeOld)) return false;
        record.setGroup(0);
    } else {
        // The record's own version (its first u16) says how much more follows.
        if (!file.Read(b, L::kStoredSizeV0)) return false;
        const size_t stored = ChannelRecordStoredSize(fileHeaderVersion, record.recordVersion());
        if (!file.Read(b + L::kStoredSizeV0, stored - L::kStoredSizeV0)) return false;
    }
    record.TerminateTexts();
    if (ChannelRecordStoredSize(fileHeaderVersion, record.recordVersion()) <= L::kStoredSizeV0) {
        // Records without a label of their own are labelled by their name.
        record.setLabel(record.name());
        record.setRecordValue(-1);
    }
    return true;
}

bool ReadExtraItems(BinaryFile& file, uint32_t count, std::vector<ExtraItem>& items) {
    items.clear();
    const uint64_t bytes = static_cast<uint64_t>(count) * ExtraItem::kSize;
    if (bytes > file.Remaining()) return false;
    items.resize(count);
    for (ExtraItem& item : items) {
        if (!file.Read(item.bytes, ExtraItem::kSize)) {
            items.clear();
            return false;
        }
    }
    return true;
}

void WriteChannelRecord(const ChannelRecord& record, LeWriter& out) { out.Bytes(record.bytes(), L::kRecordSize); }

void WriteChannelRecord(const ChannelRecord& record, LeWriter& out, uint16_t fileHeaderVersion) {
    out.Bytes(record.bytes(), ChannelRecordStoredSize(fileHeaderVersion, record.recordVersion()));
}

void WriteExtraItems(const std::vector<ExtraItem>& items, LeWriter& out) {
    for (const ExtraItem& item : items) out.Bytes(item.bytes, ExtraItem::kSize);
}

namespace {
bool StartsWithIgnoreCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix) {
        if (std::tolower(static_cast<unsigned char>(*text)) != *prefix) return false;
    }
    return true;
}
bool EqualsIgnoreCase(const char* text, const char* word) {
    return StartsWithIgnoreCase(text, word) && text[std::char_traits<char>::length(word)] == '\0';
}
}  // namespace

bool HardwareIndexBecomesPosition(uint16_t fileHeaderVersion, const char* typeName) {
    if (typeName == nullptr) typeName = "";
    if (fileHeaderVersion == 7 || fileHeaderVersion == 8) return StartsWithIgnoreCase(typeName, "digital");
    if (fileHeaderVersion < 7) return !EqualsIgnoreCase(typeName, "spikes") && !EqualsIgnoreCase(typeName, "average");
    return false;
}

}  // namespace qrd
