// The stream-level event walks: the first event of a stream, the first
// event at or after a time, and counting events in a time window.  The
// stream's event operations are these walks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "contents/event.h"

namespace qrd {

class CQRVAStream;
class CQRVATimeStamp;

// The first event of the stream: the first record of its first chunk that
// yields one; null when none does.
std::unique_ptr<CQRVAEvent> FirstEventOf(CQRVAStream& stream);

// The first event whose ticks are not below t's, found from the chunk that
// covers t; null when the stream has none.
std::unique_ptr<CQRVAEvent> EventAtTimeOf(CQRVAStream& stream, const CQRVATimeStamp& t);

// Adds 1 for every event with from <= ticks < to: to counts[the spike's
// hardware index] for a "spikes" stream (indices not below countsSize are
// left out), to counts[0] for any other stream.
void CountEventsOf(CQRVAStream& stream, const CQRVATimeStamp& from, const CQRVATimeStamp& to, uint32_t* counts,
                   size_t countsSize);

}  // namespace qrd
