// The "LAYOUT  " block of a configured-layout recording.
//
//   offset  width  field
//        0      8  tag "LAYOUT  " (two blanks), compared over all 8 bytes
//        8      8  u64 size of the rest: 32 + 1368 x N (written, not trusted)
//       16      4  i32 block version 1, 2 or 3
//       20      4  i32 source type
//       24     16  i32 total, electrode, analog and digital channel counts
//       40      4  i32 reserved, 0
//       44      4  i32 entry count N
//       48  N x E  entry records: the first E bytes of a CChannelEntry, with
//                  E = 844 (version 1), 1360 (version 2) or 1368 (version 3)
#include <cstring>

#include "container/binary_file.h"
#include "container/le_codec.h"
#include "layout/qr_layout.h"

namespace qrd {

namespace {

constexpr char kLayoutTag[8] = {'L', 'A', 'Y', 'O', 'U', 'T', ' ', ' '};
constexpr int32_t kNewestBlockVersion = 3;
// Version, source type, four counts, reserved word and entry count.
constexpr size_t kFixedFieldsSize = 32;
constexpr size_t kBlockHeadSize = 16 + kFixedFieldsSize;
static_assert(kBlockHeadSize == 48, "entries start 48 bytes into the block");

// Bytes one entry takes in a block of the given version; 0 for an unknown one.
size_t EntrySizeOfVersion(int32_t version) {
    switch (version) {
        case 1: return CChannelEntry::kVersion1Size;
        case 2: return CChannelEntry::kVersion2Size;
        case 3: return CChannelEntry::kSize;
        default: return 0;
    }
}

}  // namespace

bool ReadLayoutBlock(CQRLayout& layout, BinaryFile& file) {
    char tag[8];
    uint64_t ignoredSize = 0;  // the entry count and version say how much follows
    if (!file.ReadTagAndLength(tag, ignoredSize)) return false;
    if (std::memcmp(tag, kLayoutTag, sizeof tag) != 0) return false;

    uint8_t fixed[kFixedFieldsSize];
    if (!file.Read(fixed, sizeof fixed)) return false;
    LeReader r(fixed, sizeof fixed);
    const int32_t version = r.I32();
    const size_t entrySize = EntrySizeOfVersion(version);
    if (entrySize == 0) return false;

    CQRLayout read;
    read.sourceType = r.I32();
    read.totalCount = r.I32();
    read.electrodeCount = r.I32();
    read.analogCount = r.I32();
    read.digitalCount = r.I32();
    r.Skip(4);  // reserved
    const int32_t count = r.I32();
    if (!r.ok()) return false;

    // The count comes from the file: refuse it before allocating anything
    // unless the rest of the file really holds that many entries.
    if (count < 0 || count > kMaxLayoutEntries) return false;
    if (static_cast<uint64_t>(count) * entrySize > file.Remaining()) return false;

    read.entries.resize(static_cast<size_t>(count));
    for (CChannelEntry& entry : read.entries) {
        // The stored prefix overwrites a default entry; the fields a short
        // entry version lacks keep their defaults.
        if (!file.Read(entry.bytes(), entrySize)) return false;
        if (version == 1) entry.setAltName(entry.name());
        if (version <= 2) entry.setMapIndex(entry.hwid());
    }

    // Only the block's own fields change; the catalogue and selection lists
    // and the reserved word are not stored in the block.
    layout.sourceType = read.sourceType;
    layout.totalCount = read.totalCount;
    layout.electrodeCount = read.electrodeCount;
    layout.analogCount = read.analogCount;
    layout.digitalCount = read.digitalCount;
    layout.entries.swap(read.entries);
    return true;
}

void WriteLayoutBlock(const CQRLayout& layout, std::vector<uint8_t>& out) {
    const uint64_t n = layout.entries.size();
    out.reserve(out.size() + kBlockHeadSize + n * CChannelEntry::kSize);
    LeWriter w(out);
    w.Bytes(kLayoutTag, sizeof kLayoutTag);
    w.U64(kFixedFieldsSize + n * CChannelEntry::kSize);
    w.I32(kNewestBlockVersion);
    w.I32(layout.sourceType);
    w.I32(layout.totalCount);
    w.I32(layout.electrodeCount);
    w.I32(layout.analogCount);
    w.I32(layout.digitalCount);
    w.I32(0);  // reserved
    w.I32(static_cast<int32_t>(n));
    for (const CChannelEntry& entry : layout.entries) w.Bytes(entry.bytes(), CChannelEntry::kSize);
}

bool WriteLayoutBlock(const CQRLayout& layout, BinaryFile& file) {
    std::vector<uint8_t> block;
    WriteLayoutBlock(layout, block);
    return file.Write(block.data(), block.size());
}

}  // namespace qrd
