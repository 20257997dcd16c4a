#include "api/item_time.h"

#include "container/stream_file.h"
#include "container/time_stamp.h"

namespace qrd {

double ItemTime(const CQRVATimeStamp& stamp, double timeOffset) {
    // The sub-second parts are below 1000 in magnitude, so they are the same
    // whether taken as 16- or 32-bit values.
    double seconds = static_cast<double>(stamp.ElapsedSeconds());
    seconds += static_cast<int16_t>(stamp.ElapsedMilliseconds()) / 1000.0;
    seconds += static_cast<int16_t>(stamp.ElapsedMicroseconds()) / 1000000.0;
    seconds += static_cast<int16_t>(stamp.ElapsedNanoseconds()) / 1000000000.0;
    return seconds + timeOffset;
}

double TimeOffsetOf(const CQRVAStreamFile& file, int32_t baseIsPressedStart) {
    if (baseIsPressedStart == 0) return 0.0;
    const CQRVATimeStamp* start = file.GetStartTime();
    const CQRVATimeStamp* fileTime = file.GetFileTime();
    if (start == nullptr || fileTime == nullptr) return 0.0;
    // Both are truncated to whole microseconds before they are subtracted.
    const uint64_t s = start->GetTicks() / 1000;
    const uint64_t f = fileTime->GetTicks() / 1000;
    const int64_t micros = static_cast<int64_t>(s - f);
    return static_cast<double>(micros) / 1000000.0;
}

double SampleSpanSeconds(double samples, uint32_t rateMilliHz) {
    if (rateMilliHz == 0) return 0.0;
    return samples * 1000.0 / rateMilliHz;
}

}  // namespace qrd
