#include "contents/event_walk.h"

#include "container/chunk.h"
#include "container/stream.h"
#include "container/time_stamp.h"
#include "contents/event_factory.h"
#include "contents/event_spike.h"

namespace qrd {

namespace {

// The first event from chunk on; chunks that yield none are skipped.
std::unique_ptr<CQRVAEvent> FirstEventFrom(CQRVAStream& stream, std::unique_ptr<CQRVAChunk> chunk) {
    while (chunk) {
        std::unique_ptr<CQRVAEvent> event = CreateEvent(chunk);
        if (event) return event;
        std::unique_ptr<CQRVAChunk> following = stream.NextChunk(chunk);
        chunk = std::move(following);
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<CQRVAEvent> FirstEventOf(CQRVAStream& stream) { return FirstEventFrom(stream, stream.FirstChunk()); }

std::unique_ptr<CQRVAEvent> EventAtTimeOf(CQRVAStream& stream, const CQRVATimeStamp& t) {
    std::unique_ptr<CQRVAChunk> chunk = stream.ChunkAtTime(t);
    std::unique_ptr<CQRVAEvent> event;
    // A raw stream whose chunk at the time holds no instant gives no event;
    // event streams look on in the following chunks.
    const bool skipEmpty = !(stream.IsType("analog") || stream.IsType("chat") || stream.IsType("filter"));
    if (skipEmpty) {
        event = FirstEventFrom(stream, std::move(chunk));
    } else if (chunk) {
        event = CreateEvent(chunk);
    }
    if (!event) return nullptr;
    const uint64_t ticks = t.GetTicks();
    while (event->GetTicks() < ticks) {
        // Every event of the stream lies before t.
        if (!event->Next()) return nullptr;
    }
    return event;
}

void CountEventsOf(CQRVAStream& stream, const CQRVATimeStamp& from, const CQRVATimeStamp& to, uint32_t* counts,
                   size_t countsSize) {
    if (!counts || countsSize == 0) return;
    std::unique_ptr<CQRVAEvent> event = EventAtTimeOf(stream, from);
    if (!event) return;
    const uint64_t first = from.GetTicks(), end = to.GetTicks();
    // Records are walked to the end of the stream, so a record out of time
    // order is still counted when it falls inside the window.
    do {
        const uint64_t ticks = event->GetTicks();
        if (ticks < first || ticks >= end) continue;
        const CQRVAEvtSpike* spike = EventCast<CQRVAEvtSpike>(event.get());
        const size_t slot = spike ? spike->GetHardwareIndex() : 0;
        if (slot < countsSize) ++counts[slot];
    } while (event->Next());
}

}  // namespace qrd
