#include "container/stream_header.h"

#include "container/binary_file.h"

namespace qrd {

namespace L = stream_header_layout;

void StreamHeader::TerminateTexts() {
    uint8_t* b = bytes();
    b[L::kTypeName + L::kTypeNameWidth - 1] = 0;
    b[L::kName + L::kNameWidth - 1] = 0;
    b[L::kComment + L::kCommentWidth - 1] = 0;
    b[L::kStreamTag + L::kStreamTagWidth - 1] = 0;
}

bool ReadStreamHeaderRecord(BinaryFile& file, uint16_t fileHeaderVersion, StreamHeader& header) {
    header.Clear();
    if (!file.Read(header.bytes(), StreamHeaderRecordSize(fileHeaderVersion))) return false;
    header.TerminateTexts();
    // The first format had no stream header versions; whatever is stored there
    // is not one.
    if (fileHeaderVersion == 0) header.setVersion(0);
    return true;
}

void WriteStreamHeaderRecord(const StreamHeader& header, LeWriter& out, uint16_t fileHeaderVersion) {
    out.Bytes(header.bytes(), StreamHeaderRecordSize(fileHeaderVersion));
}

}  // namespace qrd
