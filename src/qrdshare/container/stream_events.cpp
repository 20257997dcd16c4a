// Event access of a stream: the first event, the event at a time and event
// counts over a window.  The walks themselves (contents/event_walk.h) work
// with owning pointers; these slots hand the cursor over as a plain pointer
// that the caller deletes (or wraps in a std::unique_ptr).
#include "container/stream.h"
#include "contents/event.h"
#include "contents/event_walk.h"

namespace qrd {

CQRVAEvent* CQRVAStream::FirstEvent() { return FirstEventOf(*this).release(); }

CQRVAEvent* CQRVAStream::EventAtTime(const CQRVATimeStamp& t) { return EventAtTimeOf(*this, t).release(); }

void CQRVAStream::CountEventsBefore(const CQRVATimeStamp& from, const CQRVATimeStamp& to, uint32_t* counts,
                                    uint32_t countsSize) {
    CountEventsOf(*this, from, to, counts, countsSize);
}

}  // namespace qrd
