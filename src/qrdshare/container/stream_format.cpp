#include "container/stream_format.h"

#include "container/binary_file.h"

namespace qrd {

bool ReadStreamFormat(BinaryFile& file, StreamFormat& format) {
    format.Clear();
    return file.Read(format.bytes(), StreamFormat::kSize);
}

void WriteStreamFormat(const StreamFormat& format, LeWriter& out) { out.Bytes(format.bytes(), StreamFormat::kSize); }

}  // namespace qrd
