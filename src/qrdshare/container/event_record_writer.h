// Encoders of the event records that the trigger and spike encoders
// (event_payload_writer.h) do not cover: averages, spike and burst analyzer
// results and parameter analyzer results.  Laid out by the stream header
// version like the recorder writes them; used to write test recordings and
// fuzz seeds.
#pragma once

#include <cstdint>
#include <vector>

namespace qrd {

// Average record: u64 ticks, u16 channel index, from version 5 a u16
// auxiliary value 1, u16 auxiliary value 2, u32 sample count and the samples
// (16 + 2n or 18 + 2n bytes).
void AppendAverageRecord(std::vector<uint8_t>& out, uint16_t streamVersion, uint64_t ticks, uint16_t channel,
                         const std::vector<uint16_t>& samples, uint16_t aux1 = 0xFFFF, uint16_t aux2 = 0);

struct AnalyzerWords {
    uint16_t word1 = 0, word2 = 0, word3 = 0;
};

// Spike analyzer record: u64 ticks, three words, u64 interval, f32 rate and
// from version 2 the spike's absolute time (26 or 34 bytes).
void AppendSpikeParamRecord(std::vector<uint8_t>& out, uint16_t streamVersion, uint64_t ticks,
                            const AnalyzerWords& words, uint64_t interval, float rate, uint64_t spikeTicks);

// Burst analyzer record (38 bytes): u64 ticks, three words, u64 long value,
// u64 marker, i32 spike number, f32 spike frequency.
void AppendBurstParamRecord(std::vector<uint8_t>& out, uint64_t ticks, const AnalyzerWords& words,
                            uint64_t longValue, uint64_t marker, int32_t spikeNumber, float frequency);

// Parameter analyzer record: u64 ticks and the channel blocks as given (each
// block must already have the stream's bytes-per-channel size).
void AppendParamRecord(std::vector<uint8_t>& out, uint64_t ticks, const std::vector<std::vector<uint8_t>>& blocks);

// Raw payload of one chunk of a continuous stream: instants of interleaved
// channel values, instants[i][c] = value of channel c at instant i.
std::vector<uint8_t> RawPayload(const std::vector<std::vector<uint16_t>>& instants);

}  // namespace qrd
