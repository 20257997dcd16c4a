// Event stream recordings for the cursor tests: one event stream (plus
// whatever else a test adds) written by our recording writer, opened, and
// small walkers that collect what a cursor reads.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "container/event_payload_writer.h"
#include "container/event_record_writer.h"
#include "container/recording_writer.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"
#include "contents/event.h"
#include "support/temp_dir.h"

namespace qrd_test {

// 2026-05-02 08:30:00 UTC.
inline uint64_t EventRecordingStart() { return qrd::UtcTicks(2026, 5, 2, 8, 30, 0); }

// A stream of `type` with stream header version `version` and channelCount
// channels (hardware indices 0, 1, ...).
inline qrd::StreamSpec EventStream(const std::string& type, uint16_t version, uint32_t channelCount = 1,
                                   uint16_t id = 5) {
    qrd::StreamSpec s;
    s.typeName = type;
    s.name = type + " stream";
    s.tag = type.substr(0, 4) + "0001";
    s.id = id;
    s.headerVersion = version;
    for (uint32_t c = 0; c < channelCount; ++c) {
        qrd::ChannelSpec ch;
        ch.number = static_cast<int32_t>(c + 1);
        ch.hardwareIndex = static_cast<int32_t>(c);
        ch.name = "C" + std::to_string(c + 1);
        s.channels.push_back(ch);
    }
    return s;
}

// A recording holding the stream with one chunk per payload; chunk i spans
// [start + i x 100 ms, start + (i + 1) x 100 ms).
inline qrd::RecordingSpec OneStreamRecording(const qrd::StreamSpec& stream,
                                             const std::vector<std::vector<uint8_t>>& payloads) {
    qrd::RecordingSpec desc;
    desc.startTime = EventRecordingStart();
    std::vector<qrd::EventChunk> chunks;
    for (size_t i = 0; i < payloads.size(); ++i) {
        const uint64_t start = desc.startTime + i * 100000000ull;
        chunks.push_back({start, start + 100000000ull, payloads[i]});
    }
    qrd::AddEventStream(desc, stream, chunks);
    return desc;
}

// Ticks of an event at ms milliseconds (plus us microseconds) after the start.
inline uint64_t At(uint64_t ms, uint64_t us = 0) { return EventRecordingStart() + ms * 1000000ull + us * 1000ull; }

// Writes and opens a recording; the file stays open while the object lives.
class OpenRecording {
public:
    explicit OpenRecording(const qrd::RecordingSpec& desc, const std::string& name = "events.qrd") {
        const std::string path = dir_.File(name);
        std::string error;
        written_ = qrd::WriteRecording(desc, path, &error);
        EXPECT_TRUE(written_) << error;
        if (written_) opened_ = file_.Open(path.c_str()) == qrd::CQRVAStreamFile::kOpenOk;
        EXPECT_TRUE(opened_);
    }
    bool ok() const { return written_ && opened_; }
    qrd::CQRVAStreamFile& file() { return file_; }
    qrd::CQRVAStream& stream(uint32_t i = 0) { return *file_.GetStream(i); }

private:
    TempDir dir_;
    qrd::CQRVAStreamFile file_;
    bool written_ = false;
    bool opened_ = false;
};

// The stream's first event, as a host gets it.
inline std::unique_ptr<qrd::CQRVAEvent> FirstEvent(qrd::CQRVAStream& stream) {
    return std::unique_ptr<qrd::CQRVAEvent>(stream.FirstEvent());
}

// The first event at or after ticks.
inline std::unique_ptr<qrd::CQRVAEvent> EventAtTime(qrd::CQRVAStream& stream, uint64_t ticks) {
    return std::unique_ptr<qrd::CQRVAEvent>(stream.EventAtTime(qrd::CQRVATimeStamp(ticks, 0)));
}

// Event counts in [from, to) by slot.
inline std::vector<uint32_t> CountEvents(qrd::CQRVAStream& stream, uint64_t from, uint64_t to, size_t slots) {
    std::vector<uint32_t> counts(slots, 0);
    stream.CountEventsBefore(qrd::CQRVATimeStamp(from, 0), qrd::CQRVATimeStamp(to, 0), counts.data(),
                             static_cast<uint32_t>(slots));
    return counts;
}

// Calls visit on every event from `first` on; stops after limit events so a
// walk that does not end shows as a wrong count instead of a hang.
template <class Visit>
size_t WalkEvents(qrd::CQRVAEvent* first, Visit visit, size_t limit = 100000) {
    size_t n = 0;
    if (!first) return 0;
    do {
        visit(*first);
        ++n;
    } while (n < limit && first->Next());
    return n;
}

// Ticks of every event from `first` on.
inline std::vector<uint64_t> EventTicks(qrd::CQRVAEvent* first) {
    std::vector<uint64_t> ticks;
    WalkEvents(first, [&](qrd::CQRVAEvent& e) { ticks.push_back(e.GetTicks()); });
    return ticks;
}

}  // namespace qrd_test
