// Encoders of the event records that event streams carry in their chunk
// payloads, laid out by the stream header version.  Used to write recordings
// with trigger and spike streams (tests, samples, fuzz seeds).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qrd {

// Trigger record: u64 ticks, u16 word, and from version 5 on a u32 extra value
// (10 or 14 bytes).
void AppendTriggerRecord(std::vector<uint8_t>& out, uint16_t streamVersion, uint64_t ticks, uint16_t word,
                         uint32_t extra = 0);

// Spike record: u64 ticks, u16 hardware index, auxiliary value 1 (u16, u32
// from version 8), unit ID (from version 5), auxiliary value 2 (from
// version 6), i32 sample count and the samples (16 + 2n ... 22 + 2n bytes).
// Fields a version does not store are dropped.
void AppendSpikeRecord(std::vector<uint8_t>& out, uint16_t streamVersion, uint64_t ticks,
                       uint16_t hardwareIndex, const std::vector<uint16_t>& samples, uint16_t unitId = 0,
                       uint32_t aux1 = 0, uint16_t aux2 = 0xFFFF);

// Size of one spike record of n samples in a stream of this version.
size_t SpikeRecordSize(uint16_t streamVersion, size_t sampleCount);

}  // namespace qrd
