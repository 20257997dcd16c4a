#include "contents/event_factory.h"

#include "container/chunk.h"
#include "container/stream.h"
#include "contents/event_average.h"
#include "contents/event_burst_param.h"
#include "contents/event_param.h"
#include "contents/event_raw.h"
#include "contents/event_spike.h"
#include "contents/event_spike_param.h"
#include "contents/event_trigger.h"

namespace qrd {

namespace {

template <class T>
std::unique_ptr<CQRVAEvent> CopyAs(const CQRVAEvent& event) {
    return std::unique_ptr<CQRVAEvent>(new T(static_cast<const T&>(event)));
}

}  // namespace

std::unique_ptr<CQRVAEvent> NewEventFor(const CQRVAStream& stream) {
    if (stream.IsType("spikes")) return std::unique_ptr<CQRVAEvent>(new CQRVAEvtSpike());
    if (stream.IsType("trigger")) return std::unique_ptr<CQRVAEvent>(new CQRVAEvtTrigger());
    if (stream.IsType("average")) return std::unique_ptr<CQRVAEvent>(new CQRVAEvtAverage());
    if (stream.IsType("params")) return std::unique_ptr<CQRVAEvent>(new CQRVAEvtParam());
    if (stream.IsType("spkparam")) return std::unique_ptr<CQRVAEvent>(new CQRVAEvtSpikeParameter());
    if (stream.IsType("bstparam")) return std::unique_ptr<CQRVAEvent>(new CQRVAEvtBurstParameter());
    if (stream.IsContinuousType()) return std::unique_ptr<CQRVAEvent>(new CQRVAEvtRaw());
    return nullptr;
}

std::unique_ptr<CQRVAEvent> CreateEvent(std::unique_ptr<CQRVAChunk>& chunk) {
    if (!chunk || !chunk->GetStream()) return nullptr;
    std::unique_ptr<CQRVAEvent> event = NewEventFor(*chunk->GetStream());
    if (!event || !event->Load(chunk)) return nullptr;
    return event;
}

std::unique_ptr<CQRVAEvent> CloneEvent(const CQRVAEvent* event) {
    if (!event) return nullptr;
    switch (event->GetKind()) {
        case EventKind::Spike: return CopyAs<CQRVAEvtSpike>(*event);
        case EventKind::Trigger: return CopyAs<CQRVAEvtTrigger>(*event);
        case EventKind::Average: return CopyAs<CQRVAEvtAverage>(*event);
        case EventKind::SpikeParameter: return CopyAs<CQRVAEvtSpikeParameter>(*event);
        case EventKind::BurstParameter: return CopyAs<CQRVAEvtBurstParameter>(*event);
        case EventKind::Param: return CopyAs<CQRVAEvtParam>(*event);
        case EventKind::Raw: return CopyAs<CQRVAEvtRaw>(*event);
    }
    return nullptr;
}

}  // namespace qrd
