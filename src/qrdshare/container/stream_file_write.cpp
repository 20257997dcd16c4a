// Re-emitting the header list of an open recording, the first step of
// writing a merged recording.
#include <cstring>
#include <vector>

#include "container/binary_file.h"
#include "container/block_tags.h"
#include "container/file_header.h"
#include "container/le_codec.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "layout/qr_layout.h"

namespace qrd {

bool CQRVAStreamFile::WriteHeader(BinaryFile& out) {
    if (!header_) return false;
    std::vector<uint8_t> bytes;
    LeWriter writer(bytes);
    writer.Tag(kTagSignature);
    const uint8_t filler[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    writer.Bytes(filler, sizeof filler);
    writer.Tag(kTagHeaderList);
    writer.U64(headerListLength_);
    writer.Tag(kTagFileHeader);
    writer.U64(StreamFileHeader::kSize);
    // The full record is written, and readers size the record by its
    // version: it goes out as the version whose record is the full one.
    // Streams are written in the newest layout for the same reason.
    StreamFileHeader header = *header_;
    header.setVersion(kNewestFileHeaderVersion);
    WriteFileHeader(header, writer, true);
    if (!out.Write(bytes.data(), bytes.size())) return false;
    if (header_->sourceType() == kSourceConfiguredLayout && !WriteLayoutBlock(*layout_, out)) return false;
    for (const auto& stream : streams_)
        if (!stream->WriteStreamHeader(out)) return false;
    bytes.clear();
    writer.Tag(kTagIndexPointer);
    writer.U64(8);
    if (!out.Write(bytes.data(), bytes.size())) return false;
    // The merger patches the index offset here once the index is written.
    indexPointerPosition_ = out.Tell();
    return out.WriteU64(0);
}

}  // namespace qrd
