#include "container/event_record_writer.h"

#include "container/le_codec.h"

namespace qrd {

void AppendAverageRecord(std::vector<uint8_t>& out, uint16_t streamVersion, uint64_t ticks, uint16_t channel,
                         const std::vector<uint16_t>& samples, uint16_t aux1, uint16_t aux2) {
    LeWriter w(out);
    w.U64(ticks);
    w.U16(channel);
    if (streamVersion >= 5) w.U16(aux1);
    w.U16(aux2);
    w.U32(static_cast<uint32_t>(samples.size()));
    for (uint16_t s : samples) w.U16(s);
}

void AppendSpikeParamRecord(std::vector<uint8_t>& out, uint16_t streamVersion, uint64_t ticks,
                            const AnalyzerWords& words, uint64_t interval, float rate, uint64_t spikeTicks) {
    LeWriter w(out);
    w.U64(ticks);
    w.U16(words.word1);
    w.U16(words.word2);
    w.U16(words.word3);
    w.U64(interval);
    w.F32(rate);
    if (streamVersion >= 2) w.U64(spikeTicks);
}

void AppendBurstParamRecord(std::vector<uint8_t>& out, uint64_t ticks, const AnalyzerWords& words,
                            uint64_t longValue, uint64_t marker, int32_t spikeNumber, float frequency) {
    LeWriter w(out);
    w.U64(ticks);
    w.U16(words.word1);
    w.U16(words.word2);
    w.U16(words.word3);
    w.U64(longValue);
    w.U64(marker);
    w.I32(spikeNumber);
    w.F32(frequency);
}

void AppendParamRecord(std::vector<uint8_t>& out, uint64_t ticks, const std::vector<std::vector<uint8_t>>& blocks) {
    LeWriter w(out);
    w.U64(ticks);
    for (const std::vector<uint8_t>& block : blocks) w.Bytes(block.data(), block.size());
}

std::vector<uint8_t> RawPayload(const std::vector<std::vector<uint16_t>>& instants) {
    std::vector<uint8_t> out;
    LeWriter w(out);
    for (const std::vector<uint16_t>& instant : instants)
        for (uint16_t v : instant) w.U16(v);
    return out;
}

}  // namespace qrd
