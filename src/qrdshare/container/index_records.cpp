#include "container/index_records.h"

namespace qrd {

namespace L = index_header_layout;

IndexHeader IndexHeader::Parse(const uint8_t bytes[kSize]) {
    IndexHeader h;
    h.version = GetU16(bytes, L::kVersion);
    h.path = GetText(bytes, L::kPath, L::kPathWidth);
    h.streamCount = GetU32(bytes, L::kStreamCount);
    h.entryCount = GetU32(bytes, L::kEntryCount);
    h.firstEntryTime = GetU64(bytes, L::kFirstEntryTime);
    h.lastEntryTime = GetU64(bytes, L::kLastEntryTime);
    h.sweepCount = GetU32(bytes, L::kSweepCount);
    h.firstSweepStart = GetU64(bytes, L::kFirstSweepStart);
    h.lastSweepEnd = GetU64(bytes, L::kLastSweepEnd);
    return h;
}

void IndexHeader::Serialize(uint8_t bytes[kSize]) const {
    PutU16(bytes, L::kVersion, version);
    PutText(bytes, L::kPath, L::kPathWidth, path);
    PutU32(bytes, L::kStreamCount, streamCount);
    PutU32(bytes, L::kEntryCount, entryCount);
    PutU64(bytes, L::kFirstEntryTime, firstEntryTime);
    PutU64(bytes, L::kLastEntryTime, lastEntryTime);
    PutU32(bytes, L::kSweepCount, sweepCount);
    PutU64(bytes, L::kFirstSweepStart, firstSweepStart);
    PutU64(bytes, L::kLastSweepEnd, lastSweepEnd);
}

}  // namespace qrd
