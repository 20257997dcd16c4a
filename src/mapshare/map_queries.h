// The data and index/time queries of one channel.  Each returns a success
// flag; a failure leaves its message in the last-error text and the export
// answers ns_BADINDEX.
#pragma once

#include <cstdint>

namespace mapshare {

class MapChannel;
class SampleReader;

// Segment and neural entities: one item per block (a cut-out or a spike).
bool hasBlockItems(const MapChannel& channel);

// Samples from item first on, following the blocks while they are contiguous.
// values may be null (only the time is wanted); it must hold count values.
// For Port and Digital channels the one event value is written.  copied
// receives the number of values written.  A read of 0 items starting at the
// item count (index 0 of an empty channel) succeeds and writes nothing.
// Samples come through reader (the file's sample reader,
// MapFile::sampleReader()).
bool readSamples(SampleReader& reader, const MapChannel& channel, uint64_t first, uint32_t count, double* values,
                 double* time, uint32_t* copied);

// Segment index of a segment entity: its time, up to capacity samples and the
// unit bit.  values may be null (time only, count and unit 0).
bool readSegment(SampleReader& reader, const MapChannel& channel, int32_t index, double* time, double* values,
                 uint32_t capacity, uint32_t* count, uint32_t* unitId);

// Spike times start .. start + count - 1 of a neural entity; times may be null.
// A count of 0 may start at the spike count (0 for a unit without spikes).
bool spikeTimes(const MapChannel& channel, uint32_t start, uint32_t count, double* times);

bool indexByTime(const MapChannel& channel, double time, int32_t flag, uint32_t* index);
bool timeByIndex(const MapChannel& channel, uint32_t index, double* time);

// The unit id bit of a sorting unit: 1 << unit for units 0 to 31, else 0.
uint32_t unitIdBit(int16_t unit);

}  // namespace mapshare
