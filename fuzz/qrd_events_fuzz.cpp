// Feeds arbitrary bytes as a whole recording to the stream file and walks the
// events of every stream it opens: the first event, Next a bounded number of
// times reading every accessor of the cursor's class, a copy of a cursor, the
// event at a time and the event counts of a window.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "container/stream.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"
#include "contents/event_average.h"
#include "contents/event_burst_param.h"
#include "contents/event_factory.h"
#include "contents/event_param.h"
#include "contents/event_raw.h"
#include "contents/event_spike.h"
#include "contents/event_spike_param.h"
#include "contents/event_trigger.h"
#include "memory_file.h"

namespace {

constexpr size_t kMaxEventsPerStream = 2000;

// Sums every accessor so nothing is optimised away.
uint64_t ReadAll(qrd::CQRVAEvent& e) {
    uint64_t sum = e.GetTicks() + e.GetPayloadSize() + (e.GetSeconds() < 0.0 ? 1u : 0u);
    sum += e.GetYear() + e.GetMillisecond() + static_cast<uint64_t>(e.GetElapsedNanoseconds());
    uint16_t samples[64];
    if (auto* s = qrd::EventCast<qrd::CQRVAEvtSpike>(&e)) {
        sum += s->GetHardwareIndex() + s->GetUnitId() + s->GetAuxValue1() + s->GetAuxValue2();
        sum += s->GetSample(0) + s->GetSample(s->GetSampleCount() - 1) + s->GetSample(s->GetSampleCount());
        s->CopySamples(samples, 64);
    } else if (auto* t = qrd::EventCast<qrd::CQRVAEvtTrigger>(&e)) {
        sum += t->GetTriggerWord() + t->GetTriggerExtra();
    } else if (auto* a = qrd::EventCast<qrd::CQRVAEvtAverage>(&e)) {
        sum += a->GetHardwareIndex() + a->GetAuxValue1() + a->GetAuxValue2() + a->GetSample(0);
        sum += a->GetSample(static_cast<int64_t>(a->GetSampleCount()) - 1);
        a->CopySamples(samples, 64);
    } else if (auto* sp = qrd::EventCast<qrd::CQRVAEvtSpikeParameter>(&e)) {
        sum += sp->GetWord1() + sp->GetWord2() + sp->GetWord3();
        for (int i = 0; i < 4; ++i) sum += static_cast<uint64_t>(sp->GetParameter(i) != 0.0f);
    } else if (auto* b = qrd::EventCast<qrd::CQRVAEvtBurstParameter>(&e)) {
        sum += b->GetWord1() + b->GetWord2() + b->GetWord3() + b->GetLongValue();
        for (int i = 0; i < 4; ++i) sum += static_cast<uint64_t>(b->GetParameter(i) != 0.0f);
    } else if (auto* p = qrd::EventCast<qrd::CQRVAEvtParam>(&e)) {
        std::vector<float> values;
        for (uint32_t c = 0; c < 4; ++c) sum += p->GetChannelValues(c, values) ? values.size() : 0;
        for (int k = -1; k <= qrd::kParamSlotCount; ++k) sum += static_cast<uint64_t>(p->GetSlotValue(k, 0) != 0.0f);
    } else if (auto* r = qrd::EventCast<qrd::CQRVAEvtRaw>(&e)) {
        sum += r->GetSample(0) + r->GetSample(-1) + r->GetSample(1000);
        r->CopySamples(samples, 64);
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzinput::MemoryFile& input = fuzzinput::InputFile();
    if (!input.assign(data, size)) return 0;
    qrd::CQRVAStreamFile file;
    if (file.Open(input.path().c_str()) != qrd::CQRVAStreamFile::kOpenOk) return 0;
    volatile uint64_t sink = 0;
    for (uint32_t s = 0; s < file.GetStreamCount(); ++s) {
        qrd::CQRVAStream* stream = file.GetStream(s);
        if (!stream) continue;
        std::unique_ptr<qrd::CQRVAEvent> event(stream->FirstEvent());
        if (!event) continue;
        const uint64_t firstTicks = event->GetTicks();
        std::unique_ptr<qrd::CQRVAEvent> copy;
        size_t n = 0;
        do {
            sink = sink + ReadAll(*event);
            if (n == 1) copy = qrd::CloneEvent(event.get());
        } while (++n < kMaxEventsPerStream && event->Next());
        if (copy) {
            for (size_t k = 0; k < 8 && copy->Next(); ++k) sink = sink + ReadAll(*copy);
        }
        const qrd::CQRVATimeStamp at(firstTicks + 1, 0), until(firstTicks + 1000000000ull, 0);
        std::unique_ptr<qrd::CQRVAEvent> later(stream->EventAtTime(at));
        if (later) sink = sink + ReadAll(*later);
        uint32_t counts[16] = {0};
        stream->CountEventsBefore(at, until, counts, 16);
        sink = sink + counts[0];
    }
    return 0;
}
