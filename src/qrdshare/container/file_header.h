// The QRD file header record ("QRVHDR  " section).
//
// On disk the record starts with a u16 version; the version fixes how many
// bytes follow (808 bytes in all for version 0 up to 2320 for version 10).  In
// memory it is always the full 2320-byte image, cleared before reading, so
// fields a short record does not carry read as zero unless a version default
// fills them.  Fields marked "exposed unchanged" are passed through to callers
// without meaning attached.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "container/le_codec.h"

namespace qrd {

class BinaryFile;

// Recording modes stored at offset 808.
enum RecordingMode : int32_t {
    kModeContinuous = 0,
    kModeTriggered = 1,       // sweeps started by one trigger stream
    kModeStartStopTrigger = 2 // sweeps between a start and a stop trigger stream
};

// Source types stored at offset 824.
enum SourceType : uint32_t {
    kSourceLinear = 0,
    kSourceElectrodeArray = 1,
    kSourceDoubleElectrodeArray = 2,
    kSourceConfiguredLayout = 3  // a layout block follows the file header
};

namespace file_header_layout {
constexpr size_t kVersion = 0;
constexpr size_t kAppVersion = 4;  // u32: major in the high, minor in the low half
constexpr size_t kAppBuild = 8;    // u32: third number high, fourth number low
constexpr size_t kComment = 272;
constexpr size_t kCommentWidth = 792 - 272;
constexpr size_t kFileTime = 792;
constexpr size_t kStreamCount = 800;
constexpr size_t kSampleRate = 804;
constexpr size_t kRecordingMode = 808;
constexpr size_t kSweepOffset = 812;
constexpr size_t kSweepLength = 816;
constexpr size_t kTriggerStreamId = 820;
constexpr size_t kSourceType = 824;
constexpr size_t kElectrodeCount = 828;
constexpr size_t kElectrodeFirst = 830;
constexpr size_t kAnalogCount = 832;
constexpr size_t kAnalogFirst = 834;
constexpr size_t kDigitalCount = 836;
constexpr size_t kDigitalFirst = 838;
constexpr size_t kTotalChannelCount = 840;
constexpr size_t kStopTime = 848;
constexpr size_t kChunkCount = 856;
constexpr size_t kIndexFlag = 864;
constexpr size_t kChunkDuration = 868;
constexpr size_t kStartTime = 872;
constexpr size_t kWord880 = 880;
constexpr size_t kWord884 = 884;
constexpr size_t kTriggerTag1 = 888;
constexpr size_t kTriggerTag2 = 897;
constexpr size_t kTriggerTagWidth = 9;
constexpr size_t kHeaderTable = 912;
constexpr size_t kHeaderEntrySize = 320;
constexpr size_t kHeaderEntryCount = 4;
constexpr size_t kHeaderEntryWideValues = 24;  // four 64-bit values
constexpr size_t kHeaderEntryText = 56;
constexpr size_t kAdditionalElectrodeCount = 2192;
constexpr size_t kAdditionalElectrodeFirst = 2194;
constexpr size_t kAdditionalAnalogCount = 2196;
constexpr size_t kAdditionalAnalogFirst = 2198;
constexpr size_t kWord2200 = 2200;
constexpr size_t kWord2204 = 2204;
constexpr size_t kText2208 = 2208;
constexpr size_t kText2208Width = 80;
constexpr size_t kText2288 = 2288;
constexpr size_t kText2288Width = 20;
constexpr size_t kWord2308 = 2308;
constexpr size_t kWord2312 = 2312;
constexpr size_t kWord2316 = 2316;
constexpr size_t kRecordSize = 2320;
static_assert(kHeaderTable + kHeaderEntryCount * kHeaderEntrySize == kAdditionalElectrodeCount,
              "the header table ends where the additional channel counts begin");
static_assert(kWord2316 + 4 == kRecordSize, "the last field ends the record");
}  // namespace file_header_layout

// Newest header version this reader understands.
constexpr uint16_t kNewestFileHeaderVersion = 10;

// Bytes stored after the version field for a header version; 0 = unknown version.
size_t FileHeaderBodySize(uint16_t version);
// Bytes of the whole record on disk (version field included); 0 = unknown version.
inline size_t FileHeaderRecordSize(uint16_t version) {
    size_t body = FileHeaderBodySize(version);
    return body ? body + 2 : 0;
}

class StreamFileHeader {
public:
    static constexpr size_t kSize = file_header_layout::kRecordSize;

    StreamFileHeader() { Clear(); }
    void Clear() { bytes_.fill(0); }
    uint8_t* bytes() { return bytes_.data(); }
    const uint8_t* bytes() const { return bytes_.data(); }

    uint16_t version() const { return u16(file_header_layout::kVersion); }
    void setVersion(uint16_t v) { PutU16(bytes(), file_header_layout::kVersion, v); }
    uint32_t appVersion() const { return u32(file_header_layout::kAppVersion); }
    void setAppVersion(uint32_t v) { PutU32(bytes(), file_header_layout::kAppVersion, v); }
    // Major and minor of the recording application, from the first version word.
    uint16_t appMajor() const { return u16(file_header_layout::kAppVersion + 2); }
    uint16_t appMinor() const { return u16(file_header_layout::kAppVersion); }
    uint32_t appBuild() const { return u32(file_header_layout::kAppBuild); }
    void setAppBuild(uint32_t v) { PutU32(bytes(), file_header_layout::kAppBuild, v); }
    // "major.minor.third.fourth"
    std::string appVersionText() const;

    // Pointer into the image; NUL-terminated within its field after reading.
    const char* comment() const { return text(file_header_layout::kComment); }
    void setComment(const std::string& s) {
        PutText(bytes(), file_header_layout::kComment, file_header_layout::kCommentWidth, s);
    }
    uint64_t fileTime() const { return u64(file_header_layout::kFileTime); }
    void setFileTime(uint64_t v) { PutU64(bytes(), file_header_layout::kFileTime, v); }
    uint32_t streamCount() const { return u32(file_header_layout::kStreamCount); }
    void setStreamCount(uint32_t v) { PutU32(bytes(), file_header_layout::kStreamCount, v); }
    uint32_t sampleRate() const { return u32(file_header_layout::kSampleRate); }  // millihertz
    void setSampleRate(uint32_t v) { PutU32(bytes(), file_header_layout::kSampleRate, v); }
    int32_t recordingMode() const { return GetI32(bytes(), file_header_layout::kRecordingMode); }
    void setRecordingMode(int32_t v) { PutI32(bytes(), file_header_layout::kRecordingMode, v); }
    float sweepOffset() const { return GetF32(bytes(), file_header_layout::kSweepOffset); }
    void setSweepOffset(float v) { PutF32(bytes(), file_header_layout::kSweepOffset, v); }
    float sweepLength() const { return GetF32(bytes(), file_header_layout::kSweepLength); }  // ms
    void setSweepLength(float v) { PutF32(bytes(), file_header_layout::kSweepLength, v); }
    uint16_t triggerStreamId() const { return u16(file_header_layout::kTriggerStreamId); }
    void setTriggerStreamId(uint16_t v) { PutU16(bytes(), file_header_layout::kTriggerStreamId, v); }
    uint32_t sourceType() const { return u32(file_header_layout::kSourceType); }
    void setSourceType(uint32_t v) { PutU32(bytes(), file_header_layout::kSourceType, v); }

    uint16_t electrodeCount() const { return u16(file_header_layout::kElectrodeCount); }
    void setElectrodeCount(uint16_t v) { PutU16(bytes(), file_header_layout::kElectrodeCount, v); }
    int16_t electrodeFirst() const { return i16(file_header_layout::kElectrodeFirst); }
    void setElectrodeFirst(int16_t v) { PutI16(bytes(), file_header_layout::kElectrodeFirst, v); }
    uint16_t analogCount() const { return u16(file_header_layout::kAnalogCount); }
    void setAnalogCount(uint16_t v) { PutU16(bytes(), file_header_layout::kAnalogCount, v); }
    int16_t analogFirst() const { return i16(file_header_layout::kAnalogFirst); }
    void setAnalogFirst(int16_t v) { PutI16(bytes(), file_header_layout::kAnalogFirst, v); }
    int16_t digitalCount() const { return i16(file_header_layout::kDigitalCount); }
    void setDigitalCount(int16_t v) { PutI16(bytes(), file_header_layout::kDigitalCount, v); }
    int16_t digitalFirst() const { return i16(file_header_layout::kDigitalFirst); }
    void setDigitalFirst(int16_t v) { PutI16(bytes(), file_header_layout::kDigitalFirst, v); }
    int16_t totalChannelCount() const { return i16(file_header_layout::kTotalChannelCount); }
    void setTotalChannelCount(int16_t v) { PutI16(bytes(), file_header_layout::kTotalChannelCount, v); }

    uint64_t stopTime() const { return u64(file_header_layout::kStopTime); }
    void setStopTime(uint64_t v) { PutU64(bytes(), file_header_layout::kStopTime, v); }
    uint64_t chunkCount() const { return u64(file_header_layout::kChunkCount); }
    void setChunkCount(uint64_t v) { PutU64(bytes(), file_header_layout::kChunkCount, v); }
    uint32_t indexFlag() const { return u32(file_header_layout::kIndexFlag); }
    void setIndexFlag(uint32_t v) { PutU32(bytes(), file_header_layout::kIndexFlag, v); }
    uint32_t chunkDuration() const { return u32(file_header_layout::kChunkDuration); }  // ns
    void setChunkDuration(uint32_t v) { PutU32(bytes(), file_header_layout::kChunkDuration, v); }
    uint64_t startTime() const { return u64(file_header_layout::kStartTime); }
    void setStartTime(uint64_t v) { PutU64(bytes(), file_header_layout::kStartTime, v); }

    // Tags of the start and stop trigger streams: 8 characters, NUL-terminated.
    const char* triggerTag1() const { return text(file_header_layout::kTriggerTag1); }
    void setTriggerTag1(const std::string& s) {
        PutText(bytes(), file_header_layout::kTriggerTag1, file_header_layout::kTriggerTagWidth, s);
    }
    const char* triggerTag2() const { return text(file_header_layout::kTriggerTag2); }
    void setTriggerTag2(const std::string& s) {
        PutText(bytes(), file_header_layout::kTriggerTag2, file_header_layout::kTriggerTagWidth, s);
    }

    // Header table, entries 0..3, exposed unchanged.  Out-of-range arguments
    // read 0 / an empty text and write nothing.
    int32_t headerEntryValue(size_t entry, size_t k) const;       // k = 0..5
    void setHeaderEntryValue(size_t entry, size_t k, int32_t v);
    uint64_t headerEntryWide(size_t entry, size_t k) const;       // k = 0..3
    void setHeaderEntryWide(size_t entry, size_t k, uint64_t v);
    const char* headerEntryText(size_t entry) const;
    void setHeaderEntryText(size_t entry, const std::string& s);

    uint16_t additionalElectrodeCount() const { return u16(file_header_layout::kAdditionalElectrodeCount); }
    void setAdditionalElectrodeCount(uint16_t v) {
        PutU16(bytes(), file_header_layout::kAdditionalElectrodeCount, v);
    }
    int16_t additionalElectrodeFirst() const { return i16(file_header_layout::kAdditionalElectrodeFirst); }
    void setAdditionalElectrodeFirst(int16_t v) {
        PutI16(bytes(), file_header_layout::kAdditionalElectrodeFirst, v);
    }
    int16_t additionalAnalogCount() const { return i16(file_header_layout::kAdditionalAnalogCount); }
    void setAdditionalAnalogCount(int16_t v) { PutI16(bytes(), file_header_layout::kAdditionalAnalogCount, v); }
    int16_t additionalAnalogFirst() const { return i16(file_header_layout::kAdditionalAnalogFirst); }
    void setAdditionalAnalogFirst(int16_t v) { PutI16(bytes(), file_header_layout::kAdditionalAnalogFirst, v); }

    // Words and texts exposed unchanged, named by their offset.
    uint32_t word880() const { return u32(file_header_layout::kWord880); }
    void setWord880(uint32_t v) { PutU32(bytes(), file_header_layout::kWord880, v); }
    uint32_t word884() const { return u32(file_header_layout::kWord884); }
    void setWord884(uint32_t v) { PutU32(bytes(), file_header_layout::kWord884, v); }
    uint32_t word2200() const { return u32(file_header_layout::kWord2200); }
    void setWord2200(uint32_t v) { PutU32(bytes(), file_header_layout::kWord2200, v); }
    uint32_t word2204() const { return u32(file_header_layout::kWord2204); }
    void setWord2204(uint32_t v) { PutU32(bytes(), file_header_layout::kWord2204, v); }
    uint32_t word2308() const { return u32(file_header_layout::kWord2308); }
    void setWord2308(uint32_t v) { PutU32(bytes(), file_header_layout::kWord2308, v); }
    uint32_t word2312() const { return u32(file_header_layout::kWord2312); }
    void setWord2312(uint32_t v) { PutU32(bytes(), file_header_layout::kWord2312, v); }
    uint32_t word2316() const { return u32(file_header_layout::kWord2316); }
    void setWord2316(uint32_t v) { PutU32(bytes(), file_header_layout::kWord2316, v); }
    const char* text2208() const { return text(file_header_layout::kText2208); }
    void setText2208(const std::string& s) {
        PutText(bytes(), file_header_layout::kText2208, file_header_layout::kText2208Width, s);
    }
    const char* text2288() const { return text(file_header_layout::kText2288); }
    void setText2288(const std::string& s) {
        PutText(bytes(), file_header_layout::kText2288, file_header_layout::kText2288Width, s);
    }

    // Puts a NUL at the last byte of every text field, so pointers handed out
    // never run past their field, whatever the file held.
    void TerminateTexts();

private:
    uint16_t u16(size_t off) const { return GetU16(bytes(), off); }
    int16_t i16(size_t off) const { return GetI16(bytes(), off); }
    uint32_t u32(size_t off) const { return GetU32(bytes(), off); }
    uint64_t u64(size_t off) const { return GetU64(bytes(), off); }
    const char* text(size_t off) const { return reinterpret_cast<const char*>(bytes() + off); }

    std::array<uint8_t, kSize> bytes_;
};
static_assert(sizeof(std::array<uint8_t, StreamFileHeader::kSize>) == 2320, "file header image size");

// Version defaults that have to be in place before the body is read
// (version 0 records end before the channel counts).
void ApplyFileHeaderPreReadDefaults(StreamFileHeader& header);
// Defaults and derived values applied after reading a record of header's
// version, except the trigger-tag rule of versions 1 to 4, which needs the
// streams and is applied by the stream file.
void ApplyFileHeaderPostReadDefaults(StreamFileHeader& header);

// Reads the version and its body at the current position: clears the image,
// applies the pre-read defaults, reads, terminates the texts and applies the
// post-read defaults.  False on an unknown version or a short read (the image
// contents are then unspecified).
bool ReadFileHeader(BinaryFile& file, StreamFileHeader& header);

// Appends the on-disk record of the header's version (808 bytes for version 0
// ... 2320 for version 10) or, with fullRecord (or an unknown version), all
// 2320 bytes.
void WriteFileHeader(const StreamFileHeader& header, LeWriter& out, bool fullRecord);

}  // namespace qrd
