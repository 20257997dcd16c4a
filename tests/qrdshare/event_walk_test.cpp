// Walking event streams: Next across chunks (skipping empty and damaged
// ones), the end of a stream, cursor copies, the raw cursor's clock, and the
// stream walks that position and count events by time.
#include <gtest/gtest.h>

#include <vector>

#include "container/chunk.h"
#include "contents/event_factory.h"
#include "contents/event_raw.h"
#include "contents/event_spike.h"
#include "contents/event_trigger.h"
#include "event_test_streams.h"

namespace qrd {
namespace {

using qrd_test::At;
using qrd_test::EventStream;
using qrd_test::OneStreamRecording;
using qrd_test::OpenRecording;

std::vector<uint8_t> Spikes(uint16_t version, const std::vector<std::pair<uint64_t, uint16_t>>& spikes) {
    std::vector<uint8_t> payload;
    for (const auto& s : spikes) AppendSpikeRecord(payload, version, s.first, s.second, {s.second, 1, 2}, 1);
    return payload;
}

TEST(EventWalk, NextSkipsEmptyChunksAndEndsWithoutAChunk) {
    const std::vector<std::vector<uint8_t>> chunks = {
        Spikes(5, {{At(10), 0}, {At(20), 1}}), {}, {}, Spikes(5, {{At(350), 2}}), {}};
    OpenRecording rec(OneStreamRecording(EventStream("spikes", 5, 3), chunks));
    ASSERT_TRUE(rec.ok());
    std::unique_ptr<CQRVAEvent> event = qrd_test::FirstEvent(rec.stream());
    ASSERT_NE(event, nullptr);
    ASSERT_TRUE(event->Next());
    ASSERT_TRUE(event->Next());  // over the two empty chunks
    EXPECT_EQ(event->GetTicks(), At(350));
    EXPECT_EQ(event->GetChunk()->GetStartTicks(), At(300));
    EXPECT_FALSE(event->Next());  // only an empty chunk follows
    EXPECT_EQ(event->GetChunk(), nullptr);
    EXPECT_FALSE(event->Next());
    // The last record is still readable.
    EXPECT_EQ(event->GetTicks(), At(350));
    EXPECT_EQ(EventCast<CQRVAEvtSpike>(event.get())->GetHardwareIndex(), 2);
    EXPECT_EQ(EventCast<CQRVAEvtSpike>(event.get())->GetSample(0), 2);

    // A stream whose chunks are all empty has no first event.
    OpenRecording empty(OneStreamRecording(EventStream("spikes", 5, 3), {{}, {}}), "empty.qrd");
    ASSERT_TRUE(empty.ok());
    EXPECT_EQ(qrd_test::FirstEvent(empty.stream()), nullptr);
}

TEST(EventWalk, DamagedRecordsNeverReadPastTheirPayload) {
    std::vector<uint8_t> cut = Spikes(8, {{At(10), 1}, {At(20), 2}});
    cut.resize(cut.size() - 2);               // the second spike's samples run past the payload
    std::vector<uint8_t> stub(5, 0xAB);       // not even a time stamp
    std::vector<uint8_t> negative;            // a head claiming -1 samples
    AppendSpikeRecord(negative, 8, At(210), 1, {}, 0);
    PutI32(negative.data(), 18, -1);
    const std::vector<std::vector<uint8_t>> chunks = {cut, stub, negative, Spikes(8, {{At(310), 3}})};
    OpenRecording rec(OneStreamRecording(EventStream("spikes", 8, 4), chunks));
    ASSERT_TRUE(rec.ok());
    std::unique_ptr<CQRVAEvent> event = qrd_test::FirstEvent(rec.stream());
    // The unreadable rest of a payload and unreadable chunks are passed over.
    EXPECT_EQ(qrd_test::EventTicks(event.get()), (std::vector<uint64_t>{At(10), At(310)}));

    // A trigger payload with a partial record at its end.
    std::vector<uint8_t> triggers;
    AppendTriggerRecord(triggers, 5, At(1), 1);
    AppendTriggerRecord(triggers, 5, At(2), 2);
    triggers.resize(triggers.size() + 7, 0xFF);
    OpenRecording trig(OneStreamRecording(EventStream("trigger", 5), {triggers}), "trig.qrd");
    ASSERT_TRUE(trig.ok());
    event = qrd_test::FirstEvent(trig.stream());
    EXPECT_EQ(qrd_test::EventTicks(event.get()), (std::vector<uint64_t>{At(1), At(2)}));
}

TEST(EventWalk, CopiesWalkOnTheirOwn) {
    const std::vector<std::vector<uint8_t>> chunks = {Spikes(7, {{At(10), 0}, {At(20), 1}}),
                                                      Spikes(7, {{At(110), 2}, {At(120), 3}})};
    OpenRecording rec(OneStreamRecording(EventStream("spikes", 7, 4), chunks));
    ASSERT_TRUE(rec.ok());
    std::unique_ptr<CQRVAEvent> event = qrd_test::FirstEvent(rec.stream());
    ASSERT_TRUE(event->Next());
    std::unique_ptr<CQRVAEvent> copy = CloneEvent(event.get());
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->GetKind(), EventKind::Spike);

    // The copied cursor crosses into the second chunk and runs off the end ...
    EXPECT_EQ(qrd_test::EventTicks(event.get()), (std::vector<uint64_t>{At(20), At(110), At(120)}));
    EXPECT_EQ(event->GetChunk(), nullptr);
    // ... while the copy still stands on the record it was taken at, with its
    // own payload, and walks the same way.
    EXPECT_EQ(EventCast<CQRVAEvtSpike>(copy.get())->GetHardwareIndex(), 1);
    CQRVAEvtSpike second(*EventCast<CQRVAEvtSpike>(copy.get()));
    EXPECT_EQ(qrd_test::EventTicks(copy.get()), (std::vector<uint64_t>{At(20), At(110), At(120)}));
    EXPECT_EQ(EventCast<CQRVAEvtSpike>(copy.get())->GetHardwareIndex(), 3);
    EXPECT_EQ(second.GetHardwareIndex(), 1);
    ASSERT_TRUE(second.Next());
    EXPECT_EQ(second.GetHardwareIndex(), 2);

    // A copy of a cursor at the end of the stream ends too.
    std::unique_ptr<CQRVAEvent> late = CloneEvent(event.get());
    EXPECT_EQ(late->GetChunk(), nullptr);
    EXPECT_FALSE(late->Next());
    EXPECT_EQ(late->GetTicks(), At(120));
}

// An analog stream of two channels at 30 kHz; chunk payloads hold instants.
StreamSpec RawStream(uint32_t channels) {
    StreamSpec s = EventStream("analog", 5, channels, 1);
    s.sampleRate = 30000000;
    return s;
}

TEST(EventWalk, RawCursorStepsWholeMicroseconds) {
    const std::vector<std::vector<uint8_t>> chunks = {RawPayload({{1, 2}, {3, 4}, {5, 6}}), {},
                                                      RawPayload({{7, 8}, {9, 10}})};
    OpenRecording rec(OneStreamRecording(RawStream(2), chunks));
    ASSERT_TRUE(rec.ok());
    std::unique_ptr<CQRVAEvent> event = qrd_test::FirstEvent(rec.stream());
    CQRVAEvtRaw* raw = EventCast<CQRVAEvtRaw>(event.get());
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->GetPayloadSize(), 4u);
    std::vector<uint64_t> ticks;
    std::vector<uint16_t> values;
    qrd_test::WalkEvents(raw, [&](CQRVAEvent& e) {
        CQRVAEvtRaw& r = *EventCast<CQRVAEvtRaw>(&e);
        ticks.push_back(r.GetTicks());
        uint16_t instant[2];
        EXPECT_TRUE(r.CopySamples(instant, 2));
        EXPECT_EQ(instant[1], r.GetSample(1));
        values.push_back(instant[0]);
        EXPECT_EQ(r.GetSample(2), 0);
        EXPECT_EQ(r.GetSample(-1), 0);
    });
    // 33000 ns per instant inside a chunk; a new chunk starts at its own start.
    EXPECT_EQ(ticks, (std::vector<uint64_t>{At(0), At(0, 33), At(0, 66), At(200), At(200, 33)}));
    EXPECT_EQ(values, (std::vector<uint16_t>{1, 3, 5, 7, 9}));
    EXPECT_EQ(raw->GetChunk(), nullptr);

    // A stream without channels has no instants, so no cursor that could
    // step forever.
    OpenRecording none(OneStreamRecording(RawStream(0), {RawPayload({{1, 2}})}), "none.qrd");
    ASSERT_TRUE(none.ok());
    EXPECT_EQ(qrd_test::FirstEvent(none.stream()), nullptr);
}

// Triggers at 10, 20, 150 and 250 ms in chunks [0, 100), [100, 200),
// [200, 300) ms, with an empty chunk [300, 400) after them.
std::vector<std::vector<uint8_t>> TriggerChunks() {
    std::vector<std::vector<uint8_t>> chunks(4);
    AppendTriggerRecord(chunks[0], 5, At(10), 1);
    AppendTriggerRecord(chunks[0], 5, At(20), 2);
    AppendTriggerRecord(chunks[1], 5, At(150), 3);
    AppendTriggerRecord(chunks[2], 5, At(250), 4);
    return chunks;
}

TEST(EventWalk, EventAtTimeFindsTheFirstEventNotBefore) {
    for (IndexChoice index : {IndexChoice::kNone, IndexChoice::kEmbedded}) {
        SCOPED_TRACE(index == IndexChoice::kNone ? "no index" : "position index");
        RecordingSpec desc = OneStreamRecording(EventStream("trigger", 5), TriggerChunks());
        desc.index = index;
        desc.positionSpacing = 0;
        OpenRecording rec(desc);
        ASSERT_TRUE(rec.ok());
        auto wordAt = [&](uint64_t ticks) -> int {
            std::unique_ptr<CQRVAEvent> e = qrd_test::EventAtTime(rec.stream(), ticks);
            CQRVAEvtTrigger* t = EventCast<CQRVAEvtTrigger>(e.get());
            return t ? t->GetTriggerWord() : -1;
        };
        EXPECT_EQ(wordAt(At(0)), 1);
        EXPECT_EQ(wordAt(At(20)), 2);
        EXPECT_EQ(wordAt(At(20) + 1), 3);   // across a chunk boundary
        EXPECT_EQ(wordAt(At(160)), 4);
        EXPECT_EQ(wordAt(At(250)), 4);
        EXPECT_EQ(wordAt(At(250) + 1), -1);  // nothing at or after
        EXPECT_EQ(wordAt(At(350)), -1);      // only the empty chunk covers it
        EXPECT_EQ(wordAt(At(5000)), -1);
    }
}

TEST(EventWalk, CountEventsPerSpikeChannelOrInTheFirstSlot) {
    const std::vector<std::vector<uint8_t>> spikes = {
        Spikes(5, {{At(10), 0}, {At(20), 2}, {At(30), 2}}), {}, Spikes(5, {{At(210), 1}, {At(220), 7}})};
    OpenRecording rec(OneStreamRecording(EventStream("spikes", 5, 3), spikes));
    ASSERT_TRUE(rec.ok());
    EXPECT_EQ(qrd_test::CountEvents(rec.stream(), At(0), At(1000), 3), (std::vector<uint32_t>{1, 1, 2}));
    // [from, to): an event at `to` is left out, one at `from` counted.
    EXPECT_EQ(qrd_test::CountEvents(rec.stream(), At(20), At(210), 3), (std::vector<uint32_t>{0, 0, 2}));
    // Hardware index 7 has no slot in a 3-slot array; an 8-slot one takes it.
    EXPECT_EQ(qrd_test::CountEvents(rec.stream(), At(0), At(1000), 8)[7], 1u);
    // A window after every event counts nothing.
    EXPECT_EQ(qrd_test::CountEvents(rec.stream(), At(500), At(1000), 3), (std::vector<uint32_t>{0, 0, 0}));

    OpenRecording trig(OneStreamRecording(EventStream("trigger", 5), TriggerChunks()), "trig.qrd");
    ASSERT_TRUE(trig.ok());
    EXPECT_EQ(qrd_test::CountEvents(trig.stream(), At(15), At(250), 2), (std::vector<uint32_t>{2, 0}));
    EXPECT_EQ(qrd_test::CountEvents(trig.stream(), At(0), At(1000), 1), (std::vector<uint32_t>{4}));
}

}  // namespace
}  // namespace qrd
