#include "container/file_header.h"

#include <cstdio>

#include "container/binary_file.h"

namespace qrd {

namespace L = file_header_layout;

size_t FileHeaderBodySize(uint16_t version) {
    switch (version) {
        case 0: return 806;
        case 1: case 2: return 870;
        case 3: case 4: return 886;
        case 5: return 910;
        case 6: case 7: return 1230;
        case 8: case 9: return 2206;
        case 10: return 2318;
        default: return 0;
    }
}
static_assert(2 + 2318 == L::kRecordSize, "a version-10 record fills the image");

std::string StreamFileHeader::appVersionText() const {
    char text[48];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", u16(L::kAppVersion + 2), u16(L::kAppVersion),
                  u16(L::kAppBuild + 2), u16(L::kAppBuild));
    return text;
}

namespace {
size_t EntryBase(size_t entry) { return L::kHeaderTable + entry * L::kHeaderEntrySize; }
}  // namespace

int32_t StreamFileHeader::headerEntryValue(size_t entry, size_t k) const {
    if (entry >= L::kHeaderEntryCount || k >= 6) return 0;
    return GetI32(bytes(), EntryBase(entry) + 4 * k);
}
void StreamFileHeader::setHeaderEntryValue(size_t entry, size_t k, int32_t v) {
    if (entry < L::kHeaderEntryCount && k < 6) PutI32(bytes(), EntryBase(entry) + 4 * k, v);
}
uint64_t StreamFileHeader::headerEntryWide(size_t entry, size_t k) const {
    if (entry >= L::kHeaderEntryCount || k >= 4) return 0;
    return GetU64(bytes(), EntryBase(entry) + L::kHeaderEntryWideValues + 8 * k);
}
void StreamFileHeader::setHeaderEntryWide(size_t entry, size_t k, uint64_t v) {
    if (entry < L::kHeaderEntryCount && k < 4) PutU64(bytes(), EntryBase(entry) + L::kHeaderEntryWideValues + 8 * k, v);
}
const char* StreamFileHeader::headerEntryText(size_t entry) const {
    if (entry >= L::kHeaderEntryCount) return "";
    return text(EntryBase(entry) + L::kHeaderEntryText);
}
void StreamFileHeader::setHeaderEntryText(size_t entry, const std::string& s) {
    if (entry < L::kHeaderEntryCount)
        PutText(bytes(), EntryBase(entry) + L::kHeaderEntryText, L::kHeaderEntrySize - L::kHeaderEntryText, s);
}

void StreamFileHeader::TerminateTexts() {
    uint8_t* b = bytes();
    b[L::kComment + L::kCommentWidth - 1] = 0;
    b[L::kTriggerTag1 + L::kTriggerTagWidth - 1] = 0;
    b[L::kTriggerTag2 + L::kTriggerTagWidth - 1] = 0;
    for (size_t e = 0; e < L::kHeaderEntryCount; ++e) b[EntryBase(e) + L::kHeaderEntrySize - 1] = 0;
    b[L::kText2208 + L::kText2208Width - 1] = 0;
    b[L::kText2288 + L::kText2288Width - 1] = 0;
}

void ApplyFileHeaderPreReadDefaults(StreamFileHeader& h) {
    if (h.version() != 0) return;
    // Version-0 records end before the channel counts; the recorder of that
    // time only knew the standard 60-electrode array with 3 analog inputs and
    // one digital word.
    h.setSourceType(kSourceElectrodeArray);
    h.setElectrodeCount(60);
    h.setElectrodeFirst(0);
    h.setAnalogCount(3);
    h.setAnalogFirst(60);
    h.setDigitalCount(1);
    h.setDigitalFirst(63);
    h.setTotalChannelCount(64);
}

void ApplyFileHeaderPostReadDefaults(StreamFileHeader& h) {
    const uint16_t v = h.version();
    if (v == 0) {
        // No sweep timing, fixed chunking and a fixed 25 kHz in the first format.
        h.setSweepOffset(-1.0f);
        h.setSweepLength(-1.0f);
        h.setChunkDuration(128000000);
        h.setSampleRate(25000000);
        h.setStartTime(h.fileTime());
    } else if (v == 1) {
        h.setChunkDuration(128000000);
        h.setStartTime(h.fileTime());
    } else if (v == 2) {
        h.setStartTime(h.fileTime());
    }
    if (v < 8) {
        // The additional channel groups did not exist yet; place them after
        // the electrodes and analog inputs.
        const int electrodesAndAnalog = h.electrodeCount() + h.analogCount();
        h.setAdditionalElectrodeFirst(static_cast<int16_t>(electrodesAndAnalog));
        h.setAdditionalAnalogFirst(static_cast<int16_t>(electrodesAndAnalog + h.additionalElectrodeCount()));
        h.setWord2200(0xFFFFFFFFu);
    }
}

bool ReadFileHeader(BinaryFile& file, StreamFileHeader& header) {
    header.Clear();
    uint8_t versionBytes[2];
    if (!file.Read(versionBytes, sizeof versionBytes)) return false;
    const uint16_t version = GetU16(versionBytes, 0);
    const size_t body = FileHeaderBodySize(version);
    if (body == 0) return false;
    header.setVersion(version);
    ApplyFileHeaderPreReadDefaults(header);
    if (!file.Read(header.bytes() + 2, body)) return false;
    header.TerminateTexts();
    ApplyFileHeaderPostReadDefaults(header);
    return true;
}

void WriteFileHeader(const StreamFileHeader& header, LeWriter& out, bool fullRecord) {
    size_t size = FileHeaderRecordSize(header.version());
    if (fullRecord || size == 0) size = StreamFileHeader::kSize;
    out.Bytes(header.bytes(), size);
}

}  // namespace qrd
