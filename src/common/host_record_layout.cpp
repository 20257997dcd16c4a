#include "common/host_record_layout.h"

#include <cstring>

namespace nscommon {

void GatherAlignedFields(const RecordField* fields, size_t count, const void* aligned, void* packed) {
    const auto* from = static_cast<const unsigned char*>(aligned);
    auto* to = static_cast<unsigned char*>(packed);
    for (size_t i = 0; i < count; ++i) std::memcpy(to + fields[i].packedOffset, from + fields[i].alignedOffset, fields[i].width);
}

void ScatterAlignedFields(const RecordField* fields, size_t count, const void* packed, void* aligned) {
    const auto* from = static_cast<const unsigned char*>(packed);
    auto* to = static_cast<unsigned char*>(aligned);
    for (size_t i = 0; i < count; ++i) std::memcpy(to + fields[i].alignedOffset, from + fields[i].packedOffset, fields[i].width);
}

}  // namespace nscommon
