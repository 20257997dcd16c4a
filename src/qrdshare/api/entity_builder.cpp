#include "api/entity_builder.h"

#include "api/entity_build_steps.h"
#include "api/entity_table.h"
#include "api/index_by_time.h"
#include "api/item_time.h"
#include "api/stream_kind.h"
#include "container/binary_file.h"
#include "container/span_cache.h"
#include "container/stream.h"
#include "container/stream_file.h"

#include <cstring>
#include <string>
#include <vector>

namespace qrd {

namespace {

// The stream tag as text; the field is 12 bytes and need not end in a NUL.
std::string TagText(const CQRVAStream& stream) {
    const char* tag = stream.GetStreamTag();
    return tag ? std::string(tag, strnlen(tag, 12)) : std::string();
}

}  // namespace

uint64_t MaxSamplesPerChannel(CQRVAStreamFile& file, uint32_t channelCount) {
    if (channelCount == 0) return 0;
    const BinaryFile* handle = file.GetFileHandle();
    const uint64_t size = handle ? handle->Size() : 0;
    return size / 2 / channelCount;
}

bool BuildEntityTable(CQRVAStreamFile& file, int32_t baseIsPressedStart, EntityTable& table) {
    EntityBuild build{file, table, TimeOffsetOf(file, baseIsPressedStart)};
    // The count is asked again before every stream, as a walk over a live list.
    for (uint32_t s = 0; s < file.GetStreamCount(); ++s) {
        CQRVAStream* stream = file.GetStream(s);
        if (stream == nullptr) continue;
        const std::string tag = TagText(*stream);
        const int32_t index = static_cast<int32_t>(s);
        const size_t before = table.Count();
        switch (StreamKindOfTag(tag)) {
            case StreamKind::kTrigger:
                AddTriggerEntity(build, *stream, index, tag);
                break;
            case StreamKind::kSpikes:
                if (!AddSpikeEntities(build, *stream, index, tag)) return false;
                break;
            case StreamKind::kRawData:
                AddRawDataEntities(build, *stream, index, tag);
                break;
            case StreamKind::kNone:
                break;
        }
        std::vector<uint32_t> columns;
        for (size_t e = before; e < table.Count(); ++e) {
            EntityRecord& record = *table.At(static_cast<uint32_t>(e));
            record.timeOrdered = BlocksInTimeOrder(record.blocks, stream->GetSampleRate());
            if (record.entityType == kEntityAnalog && record.channelPosition >= 0)
                columns.push_back(static_cast<uint32_t>(record.channelPosition));
        }
        // The span cache drops a decoded span once every one of these
        // columns has read it.
        if (!columns.empty()) file.GetSpanCache().SetReadColumns(s, columns);
    }
    return true;
}

}  // namespace qrd
