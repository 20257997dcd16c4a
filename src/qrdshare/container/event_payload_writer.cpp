#include "container/event_payload_writer.h"

#include "container/le_codec.h"

namespace qrd {

void AppendTriggerRecord(std::vector<uint8_t>& out, uint16_t streamVersion, uint64_t ticks, uint16_t word,
                         uint32_t extra) {
    LeWriter w(out);
    w.U64(ticks);
    w.U16(word);
    if (streamVersion >= 5) w.U32(extra);
}

size_t SpikeRecordSize(uint16_t streamVersion, size_t sampleCount) {
    size_t head = 16;
    if (streamVersion >= 8) head = 22;
    else if (streamVersion >= 6) head = 20;
    else if (streamVersion == 5) head = 18;
    return head + 2 * sampleCount;
}

void AppendSpikeRecord(std::vector<uint8_t>& out, uint16_t streamVersion, uint64_t ticks, uint16_t hardwareIndex,
                       const std::vector<uint16_t>& samples, uint16_t unitId, uint32_t aux1, uint16_t aux2) {
    LeWriter w(out);
    w.U64(ticks);
    w.U16(hardwareIndex);
    if (streamVersion >= 8) w.U32(aux1);
    else w.U16(static_cast<uint16_t>(aux1));
    if (streamVersion >= 5) w.U16(unitId);
    if (streamVersion >= 6) w.U16(aux2);
    w.I32(static_cast<int32_t>(samples.size()));
    for (uint16_t s : samples) w.U16(s);
}

}  // namespace qrd
