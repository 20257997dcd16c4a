// The stream header record of a stream block (after "STRMHDR " + u64 length).
//
// In memory an 804-byte image.  Files of header version 5 and above store all
// 804 bytes; older files store the first 792 (no stream tag; the reader makes
// one up from the type and name).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "container/le_codec.h"

namespace qrd {

class BinaryFile;

namespace stream_header_layout {
constexpr size_t kVersion = 0;
constexpr size_t kTypeName = 2;
constexpr size_t kTypeNameWidth = 9;
constexpr size_t kName = 11;
constexpr size_t kNameWidth = 257;
constexpr size_t kComment = 268;
constexpr size_t kCommentWidth = 514;
constexpr size_t kStreamId = 782;
constexpr size_t kSampleRate = 784;
constexpr size_t kChannelCount = 788;
constexpr size_t kStreamTag = 792;
constexpr size_t kStreamTagWidth = 12;
constexpr size_t kRecordSize = 804;
constexpr size_t kRecordSizeWithoutTag = 792;
static_assert(kComment + kCommentWidth == kStreamId, "comment ends at the stream ID");
static_assert(kStreamTag + kStreamTagWidth == kRecordSize, "the tag ends the record");
}  // namespace stream_header_layout

// Bytes of the stream header record on disk in a file of this header version.
inline size_t StreamHeaderRecordSize(uint16_t fileHeaderVersion) {
    return fileHeaderVersion >= 5 ? stream_header_layout::kRecordSize
                                  : stream_header_layout::kRecordSizeWithoutTag;
}

class StreamHeader {
public:
    static constexpr size_t kSize = stream_header_layout::kRecordSize;

    StreamHeader() { Clear(); }
    void Clear() { bytes_.fill(0); }
    uint8_t* bytes() { return bytes_.data(); }
    const uint8_t* bytes() const { return bytes_.data(); }

    // The format version of the stream's event payloads and settings.
    uint16_t version() const { return GetU16(bytes(), stream_header_layout::kVersion); }
    void setVersion(uint16_t v) { PutU16(bytes(), stream_header_layout::kVersion, v); }
    // Texts: pointers into the image, NUL-terminated within their fields after reading.
    const char* typeName() const { return text(stream_header_layout::kTypeName); }
    void setTypeName(const std::string& s) {
        PutText(bytes(), stream_header_layout::kTypeName, stream_header_layout::kTypeNameWidth, s);
    }
    const char* name() const { return text(stream_header_layout::kName); }
    void setName(const std::string& s) {
        PutText(bytes(), stream_header_layout::kName, stream_header_layout::kNameWidth, s);
    }
    const char* comment() const { return text(stream_header_layout::kComment); }
    void setComment(const std::string& s) {
        PutText(bytes(), stream_header_layout::kComment, stream_header_layout::kCommentWidth, s);
    }
    uint16_t streamId() const { return GetU16(bytes(), stream_header_layout::kStreamId); }
    void setStreamId(uint16_t v) { PutU16(bytes(), stream_header_layout::kStreamId, v); }
    uint32_t sampleRate() const { return GetU32(bytes(), stream_header_layout::kSampleRate); }  // mHz
    void setSampleRate(uint32_t v) { PutU32(bytes(), stream_header_layout::kSampleRate, v); }
    uint32_t channelCount() const { return GetU32(bytes(), stream_header_layout::kChannelCount); }
    void setChannelCount(uint32_t v) { PutU32(bytes(), stream_header_layout::kChannelCount, v); }
    // The 12-byte stream tag field: 8 characters, NUL-terminated.
    const char* streamTag() const { return text(stream_header_layout::kStreamTag); }
    char* streamTagField() { return reinterpret_cast<char*>(bytes() + stream_header_layout::kStreamTag); }
    void setStreamTag(const std::string& s) {
        PutText(bytes(), stream_header_layout::kStreamTag, stream_header_layout::kStreamTagWidth, s);
    }

    // Puts a NUL at the last byte of every text field.
    void TerminateTexts();

private:
    const char* text(size_t off) const { return reinterpret_cast<const char*>(bytes() + off); }
    std::array<uint8_t, kSize> bytes_;
};

// Reads the record at the current position: 804 bytes for file header
// version 5 and above, else 792.  Clears the image first, terminates its texts
// and forces the stream header version to 0 in version-0 files.  False on a
// short read.
bool ReadStreamHeaderRecord(BinaryFile& file, uint16_t fileHeaderVersion, StreamHeader& header);
// Appends the record as a file of that header version stores it.
void WriteStreamHeaderRecord(const StreamHeader& header, LeWriter& out, uint16_t fileHeaderVersion);

}  // namespace qrd
