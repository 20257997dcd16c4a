// Sample and event access of a stream: reading continuous samples by time,
// sweep or sample index, and starting event cursors.
//
// Not yet implemented: every operation here answers "nothing read" (0 values,
// no event) until the sample readers and event cursors are added.
#include "container/stream.h"

namespace qrd {

uint32_t CQRVAStream::ReadSamplesBetween(uint16_t*, uint32_t, const CQRVATimeStamp&, const CQRVATimeStamp&) {
    return 0;  // not yet implemented
}

uint32_t CQRVAStream::ReadChannel(uint16_t*, uint32_t, uint32_t) {
    return 0;  // not yet implemented
}

uint32_t CQRVAStream::ReadChannelRange(uint16_t*, uint32_t, uint32_t, uint32_t) {
    return 0;  // not yet implemented
}

uint32_t CQRVAStream::SampleCountBetween(const CQRVATimeStamp&, const CQRVATimeStamp&) const {
    return 0;  // not yet implemented
}

uint32_t CQRVAStream::TotalSampleCount() const {
    return 0;  // not yet implemented
}

uint32_t CQRVAStream::SweepSampleCount(uint32_t) const {
    return 0;  // not yet implemented
}

uint32_t CQRVAStream::ReadSweepSlice(uint16_t*, uint32_t, uint32_t, uint32_t, uint32_t) {
    return 0;  // not yet implemented
}

uint32_t CQRVAStream::ReadSweep(uint16_t*, uint32_t, uint32_t) {
    return 0;  // not yet implemented
}

uint32_t CQRVAStream::ReadSweepSliceChannel(uint16_t*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {
    return 0;  // not yet implemented
}

uint32_t CQRVAStream::ReadSweepChannel(uint16_t*, uint32_t, uint32_t, uint32_t) {
    return 0;  // not yet implemented
}

CQRVAEvent* CQRVAStream::FirstEvent() {
    return nullptr;  // not yet implemented
}

CQRVAEvent* CQRVAStream::EventAtTime(const CQRVATimeStamp&) {
    return nullptr;  // not yet implemented
}

void CQRVAStream::CountEventsBefore(const CQRVATimeStamp&, const CQRVATimeStamp&, uint32_t*, uint32_t) {
    // not yet implemented
}

}  // namespace qrd
