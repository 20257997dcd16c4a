// Recordings for the entity and query tests, written by our own recording
// writer, and a host-side handle that opens one through the loaded library
// and closes it again.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "container/event_payload_writer.h"
#include "container/recording_writer.h"
#include "container/time_stamp.h"
#include "contents/settings_writer.h"
#include "contents/trigger_property.h"
#include "support/fresh_library.h"
#include "support/temp_dir.h"

namespace qrd_test {

constexpr uint32_t kRate25k = 25000000;        // millihertz
constexpr double kPeriod25k = 1000.0 / 25000000;  // seconds per sample

// 2026-06-01 10:00:00 UTC.
inline uint64_t EntityRecordingStart() { return qrd::UtcTicks(2026, 6, 1, 10, 0, 0); }
constexpr uint64_t kMs = 1000000;  // ticks per millisecond

// ---- continuous electrode + digital data -------------------------------------

// Raw electrode value of channel c at sample i.
inline uint16_t ElectrodeSample(uint32_t c, uint64_t i) { return static_cast<uint16_t>(30000 + c * 97 + i % 211); }

// Digital word at sample i: bit 0 toggles every 10 samples, bit 3 is set for
// samples 100..199, bit 15 from sample 2000 on.
inline uint16_t DigitalWord(uint64_t i) {
    uint16_t w = static_cast<uint16_t>((i / 10) & 1);
    if (i >= 100 && i < 200) w |= 0x8;
    if (i >= 2000) w |= 0x8000;
    return w;
}

// "MEA cont El,Di": 100 ms at 25 kHz (2500 samples) of an electrode stream
// with `electrodes` channels and a one-channel digital stream.
inline qrd::RecordingSpec ElectrodeAndDigital(uint32_t electrodes, uint64_t samples = 2500) {
    qrd::RecordingSpec desc;
    desc.startTime = EntityRecordingStart();
    desc.sourceType = qrd::kSourceElectrodeArray;
    qrd::ContinuousStreamOptions raw;
    raw.channelCount = electrodes;
    raw.channelNamePrefix = "E";
    raw.chunkDuration = 10 * kMs;
    raw.format.adcZero = 32768;
    raw.format.unitStep = 1.0e-7;
    raw.spans.push_back({desc.startTime, samples});
    qrd::AddContinuousStream(desc, raw, ElectrodeSample);

    qrd::ContinuousStreamOptions digital = raw;
    digital.id = 2;
    digital.channelCount = 1;
    digital.firstChannelNumber = 61;
    digital.firstHardwareIndex = 0;
    digital.channelNamePrefix = "D";
    qrd::AddDigitalStream(desc, digital, DigitalWord);
    qrd::InterleaveChunks(desc);
    return desc;
}

// ---- events --------------------------------------------------------------------

struct TriggerEvent {
    uint64_t offset;  // ticks after the start
    uint16_t word;
};

// A trigger stream (stream header version 5) with the detector's event
// value in its settings (or no settings at all) and its events in two chunks.
inline qrd::StreamSpec TriggerStream(int32_t eventValue, bool withSettings, uint16_t id = 3) {
    qrd::StreamSpec s;
    s.typeName = "trigger";
    s.name = "Trigger 1";
    s.tag = "trig0001";
    s.id = id;
    s.headerVersion = 5;
    if (withSettings) {
        qrd::CMMEATriggerProperty p;
        p.eventValue = eventValue;
        s.settings = qrd::WriteTriggerSettings(p, 5, 3);
    }
    return s;
}

inline void AddTriggerEvents(qrd::RecordingSpec& desc, const qrd::StreamSpec& stream,
                             const std::vector<TriggerEvent>& events) {
    const uint64_t t0 = desc.startTime;
    std::vector<uint8_t> first, second;
    for (const TriggerEvent& e : events)
        qrd::AppendTriggerRecord(e.offset < 50 * kMs ? first : second, stream.headerVersion, t0 + e.offset, e.word);
    qrd::AddEventStream(desc, stream, {{t0, t0 + 50 * kMs, first}, {t0 + 50 * kMs, t0 + 100 * kMs, second}});
}

struct Spike {
    uint64_t offset;          // ticks after the start
    uint16_t hardwareIndex;   // as stored in the record
    uint16_t unit;
    std::vector<uint16_t> samples;
};

// A "spikes" stream (stream header version 8) whose channels have the given
// hardware indexes and groups; spikes in one chunk per 40 ms.
inline qrd::StreamSpec SpikeStream(const std::vector<int32_t>& hardwareIndexes, const std::vector<uint16_t>& groups) {
    qrd::StreamSpec s;
    s.typeName = "spikes";
    s.name = "Spikes 1";
    s.tag = "spks0001";
    s.id = 4;
    s.headerVersion = 8;
    s.format.adcZero = 32768;
    s.format.unitStep = 2.0e-7;
    for (size_t i = 0; i < hardwareIndexes.size(); ++i) {
        qrd::ChannelSpec ch;
        ch.number = static_cast<int32_t>(i + 1);
        ch.hardwareIndex = hardwareIndexes[i];
        ch.name = "S" + std::to_string(i + 1);
        ch.group = groups[i];
        s.channels.push_back(ch);
    }
    return s;
}

inline void AddSpikes(qrd::RecordingSpec& desc, const qrd::StreamSpec& stream, const std::vector<Spike>& spikes) {
    const uint64_t t0 = desc.startTime;
    std::vector<qrd::EventChunk> chunks;
    for (const Spike& spike : spikes) {
        const uint64_t slot = spike.offset / (40 * kMs);
        while (chunks.size() <= slot) {
            const uint64_t begin = t0 + chunks.size() * 40 * kMs;
            chunks.push_back({begin, begin + 40 * kMs, {}});
        }
        qrd::AppendSpikeRecord(chunks[slot].payload, stream.headerVersion, t0 + spike.offset, spike.hardwareIndex,
                               spike.samples, spike.unit);
    }
    qrd::AddEventStream(desc, stream, chunks);
}

// ---- sweeps --------------------------------------------------------------------

// Raw analog value of channel c at sample i of the whole stream.
inline uint16_t SweepSample(uint32_t c, uint64_t i) { return static_cast<uint16_t>(1000 * (c + 1) + i); }

// A triggered recording: a 2-channel analog stream ("anlg0001", channel
// numbers 1 and 2) with one sweep per entry of `lengths` (samples at 25 kHz,
// sweep w starting at w x 100 ms), and the trigger stream that started them.
inline qrd::RecordingSpec SweepRecording(const std::vector<uint64_t>& lengths, uint16_t version = 10) {
    qrd::RecordingSpec desc;
    desc.version = version;
    desc.startTime = EntityRecordingStart();
    desc.stopTime = desc.startTime + (lengths.size() + 1) * 100 * kMs;
    desc.recordingMode = qrd::kModeTriggered;
    desc.triggerTag1 = "trig0001";
    desc.index = qrd::IndexChoice::kEmbedded;
    qrd::ContinuousStreamOptions raw;
    raw.typeName = "analog";
    raw.name = "Analog Raw Data";
    raw.tag = "anlg0001";
    raw.channelCount = 2;
    raw.channelNamePrefix = "A";
    raw.chunkDuration = 10 * kMs;
    std::vector<qrd::SweepEntry> sweeps;
    std::vector<TriggerEvent> triggers;
    for (size_t w = 0; w < lengths.size(); ++w) {
        const uint64_t begin = desc.startTime + w * 100 * kMs;
        raw.spans.push_back({begin, lengths[w]});
        sweeps.push_back({begin, begin + qrd::SampleTime(0, lengths[w], kRate25k)});
        triggers.push_back({w * 100 * kMs, static_cast<uint16_t>(w + 1)});
    }
    qrd::AddContinuousStream(desc, raw, SweepSample);
    desc.sweeps = sweeps;
    qrd::StreamSpec trigger = TriggerStream(5, true, 9);
    AddTriggerEvents(desc, trigger, triggers);
    qrd::InterleaveChunks(desc);
    return desc;
}

// ---- host side -----------------------------------------------------------------

// A recording opened through a loaded library; closed when the test ends.
class OpenRecording {
public:
    OpenRecording(NsLibrary& lib, const std::string& path) : lib_(lib) {
        result_ = lib_.OpenFile(path.c_str(), &id_);
    }
    ~OpenRecording() {
        if (result_ == ns_OK) lib_.CloseFile(id_);
    }
    OpenRecording(const OpenRecording&) = delete;
    OpenRecording& operator=(const OpenRecording&) = delete;

    ns_RESULT result() const { return result_; }
    uint32_t id() const { return id_; }

    ns_FILEINFO FileInfo() {
        ns_FILEINFO info;
        std::memset(&info, 0, sizeof info);
        EXPECT_EQ(lib_.GetFileInfo(id_, &info, sizeof info), ns_OK);
        return info;
    }
    ns_ENTITYINFO Entity(uint32_t e) {
        ns_ENTITYINFO info;
        std::memset(&info, 0, sizeof info);
        EXPECT_EQ(lib_.GetEntityInfo(id_, e, &info, sizeof info), ns_OK) << e;
        return info;
    }
    std::string Label(uint32_t e) { return Entity(e).szEntityLabel; }

private:
    NsLibrary& lib_;
    uint32_t id_ = 0;
    ns_RESULT result_ = ns_LIBERROR;
};

inline std::string WriteRecordingTo(const TempDir& dir, const std::string& name, const qrd::RecordingSpec& desc) {
    const std::string path = dir.File(name);
    std::string error;
    EXPECT_TRUE(qrd::WriteRecording(desc, path, &error)) << error;
    return path;
}

}  // namespace qrd_test
