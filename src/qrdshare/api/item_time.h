// Item times as the host sees them: seconds since the recording start (or,
// with the "BaseIsPressedStart" setting, since the file time), computed once
// when the entity table is built.
#pragma once

#include <cstdint>

namespace qrd {

class CQRVAStreamFile;
class CQRVATimeStamp;

// Seconds of a time stamp relative to its origin, built from its elapsed
// seconds, milliseconds, microseconds and nanoseconds in that order, plus
// timeOffset.  Summing the parts (rather than dividing the tick difference
// once) is what every reader of these recordings reports, to the last bit.
double ItemTime(const CQRVATimeStamp& stamp, double timeOffset);

// The offset added to every item time of a file: 0 unless the setting is on,
// else the distance from the file time to the recording start in whole
// microseconds, as seconds.  A file without time stamps gets 0.
double TimeOffsetOf(const CQRVAStreamFile& file, int32_t baseIsPressedStart);

// Seconds covered by `samples` sample periods at a rate in millihertz; 0 for
// a rate of 0 (callers keep such streams from having samples at all).
double SampleSpanSeconds(double samples, uint32_t rateMilliHz);

}  // namespace qrd
