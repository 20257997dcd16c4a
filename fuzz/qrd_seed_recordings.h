// Small whole recordings, made with our recording writer, that together hold
// every kind of stream it writes (electrode, analog, filter, channel-tool and
// digital raw data; trigger, spike, average, parameter, spike and burst
// analyzer and raw event streams), every recording mode (continuous, one
// trigger, start and stop trigger), every layout source (linear, electrode
// array, double array, configured layout block), header versions 0 to 10,
// channel records of both versions with extra items, a stream without a
// sample rate, and recordings with and without an embedded index.  The fuzz
// targets that open whole recordings start from these besides their own
// seeds.  Each is a few kilobytes, so an execution stays short.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "container/event_payload_writer.h"
#include "container/event_record_writer.h"
#include "container/file_header.h"
#include "container/le_codec.h"
#include "container/recording_writer.h"
#include "container/time_stamp.h"
#include "contents/settings_writer.h"
#include "layout/qr_layout.h"

namespace qrd_fuzz {

struct SeedRecording {
    std::string name;
    qrd::RecordingSpec recording;
};

namespace seeds {

inline uint64_t Start() { return qrd::UtcTicks(2026, 3, 4, 5, 6, 7); }
inline uint64_t Ms(uint64_t ms) { return Start() + ms * 1000000ull; }

inline qrd::StreamSpec Events(const std::string& type, const std::string& tag, uint16_t id, uint16_t version,
                              uint32_t channels) {
    qrd::StreamSpec s;
    s.typeName = type;
    // Recordings before header version 5 store no tag: the reader derives it
    // from the stream name, whose trailing number is the tag's.
    s.name = type + " " + std::to_string(id);
    s.tag = tag;
    s.id = id;
    s.headerVersion = version;
    for (uint32_t c = 0; c < channels; ++c) {
        qrd::ChannelSpec ch;
        ch.number = static_cast<int32_t>(c + 1);
        ch.hardwareIndex = static_cast<int32_t>(c);
        ch.name = "C" + std::to_string(c + 1);
        s.channels.push_back(ch);
    }
    return s;
}

// Raw data of `channels` channels in `spans` (starts in ms, 40 samples each)
// at 25 kHz in chunks of 1 ms.
inline int Raw(qrd::RecordingSpec& d, const std::string& type, const std::string& tag, uint16_t id,
               uint32_t channels, const std::vector<uint64_t>& spans, uint16_t headerVersion = 1) {
    qrd::ContinuousStreamOptions o;
    o.typeName = type;
    // Named as the recorder names them, so old headers derive the same tags.
    o.name = tag.compare(0, 4, "elec") == 0   ? "Electrode Raw Data"
             : tag.compare(0, 4, "anlg") == 0 ? "Analog Raw Data"
                                              : type + " " + std::to_string(id);
    o.tag = tag;
    o.id = id;
    o.headerVersion = headerVersion;
    o.channelCount = channels;
    o.chunkDuration = 1000000;
    o.format.word18 = 2000;
    for (uint64_t ms : spans) o.spans.push_back({Ms(ms), 40});
    return qrd::AddContinuousStream(d, o, [](uint32_t c, uint64_t i) {
        return static_cast<uint16_t>(32768 + 100 * c + ((i * 37) % 200));
    });
}

inline int Digital(qrd::RecordingSpec& d, uint16_t id, const std::vector<uint64_t>& spans) {
    qrd::ContinuousStreamOptions o;
    o.id = id;
    o.chunkDuration = 1000000;
    o.format.adcZero = 0;
    o.format.unitStep = 1.0;
    for (uint64_t ms : spans) o.spans.push_back({Ms(ms), 40});
    return qrd::AddDigitalStream(d, o, [](uint64_t i) { return static_cast<uint16_t>(((i / 5) & 0x3) | (((i / 13) & 1) << 15)); });
}

inline qrd::StreamSpec Trigger(const std::string& tag, uint16_t id, uint16_t version) {
    qrd::StreamSpec s = Events("trigger", tag, id, version, 0);
    qrd::CMMEATriggerProperty p;
    p.eventValue = 2;
    p.inputStreamTag = "elec0001";
    s.settings = qrd::WriteTriggerSettings(p, version, 3);
    return s;
}

inline std::vector<qrd::EventChunk> TriggerChunks(uint16_t version, const std::vector<uint64_t>& ms) {
    std::vector<qrd::EventChunk> chunks;
    for (uint64_t at : ms) {
        qrd::EventChunk c{Ms(at), Ms(at) + 1000000, {}};
        qrd::AppendTriggerRecord(c.payload, version, Ms(at), 1, 7);
        chunks.push_back(c);
    }
    return chunks;
}

// Spikes on channels 0 to 2 of a spike stream of this record version.
inline void Spikes(qrd::RecordingSpec& d, uint16_t id, uint16_t version) {
    qrd::StreamSpec s = Events("spikes", "spks000" + std::to_string(id % 10), id, version, 3);
    s.channels[1].group = 1;
    if (version >= 5) {
        qrd::SpikeDetectorSettings detector;
        detector.windowTimes = {{1000, 2000, 500}};
        detector.inputStreamTag = "elec0001";
        detector.channels.resize(3);
        s.settings = qrd::WriteSpikeSettings(detector, version);
    }
    std::vector<qrd::EventChunk> chunks;
    for (uint64_t k = 0; k < 2; ++k) {
        qrd::EventChunk c{Ms(k), Ms(k + 1), {}};
        qrd::AppendSpikeRecord(c.payload, version, Ms(k) + 1000, 0, {32768, 33000, 32500}, 1, 2, 3);
        qrd::AppendSpikeRecord(c.payload, version, Ms(k) + 2000, 2, {32768, 32000}, 2);
        qrd::AppendSpikeRecord(c.payload, version, Ms(k) + 3000, 1, {40000}, 0);
        chunks.push_back(c);
    }
    qrd::AddEventStream(d, s, chunks);
}

inline void Analyzers(qrd::RecordingSpec& d, uint16_t firstId) {
    qrd::StreamSpec average = Events("average", "aver0001", firstId, 5, 2);
    qrd::CMEvokedProperty evoked;
    evoked.label = "average";
    average.settings = qrd::WriteAverageSettings(evoked);
    qrd::EventChunk a{Ms(0), Ms(2), {}};
    qrd::AppendAverageRecord(a.payload, 5, Ms(1), 1, {10, 20, 30}, 1, 2);
    qrd::AddEventStream(d, average, {a});

    qrd::StreamSpec spk = Events("spkparam", "spkp0001", static_cast<uint16_t>(firstId + 1), 2, 1);
    spk.settings = qrd::WriteSpikeParameterSettings(qrd::CMSpikeAnalyzerProperty());
    qrd::EventChunk s{Ms(0), Ms(2), {}};
    qrd::AppendSpikeParamRecord(s.payload, 2, Ms(1), {1, 2, 3}, 1000, 2.5f, Ms(1));
    qrd::AddEventStream(d, spk, {s});

    qrd::StreamSpec bst = Events("bstparam", "bstp0001", static_cast<uint16_t>(firstId + 2), 0, 1);
    bst.settings = qrd::WriteBurstParameterSettings(qrd::CMBurstAnalyzerProperty());
    qrd::EventChunk b{Ms(0), Ms(2), {}};
    qrd::AppendBurstParamRecord(b.payload, Ms(1), {4, 5, 6}, 42, 4096, 3, 50.0f);
    qrd::AddEventStream(d, bst, {b});

    std::array<bool, qrd::kAnalyzerKindCount> kinds{};
    kinds[0] = kinds[8] = kinds[9] = true;
    qrd::StreamSpec params = Events("params", "parm0001", static_cast<uint16_t>(firstId + 3), 5, 2);
    params.settings = qrd::WriteParamSettings(qrd::MakeParamSettings(kinds, 1), 5);
    qrd::EventChunk p{Ms(0), Ms(2), {}};
    std::vector<uint8_t> block(10, 0);
    qrd::PutI32(block.data(), 0, 30000);
    qrd::PutU16(block.data(), 4, 3);
    qrd::PutF32(block.data(), 6, 1.5f);
    qrd::AppendParamRecord(p.payload, Ms(1), {block, block});
    qrd::AddEventStream(d, params, {p});

    qrd::StreamSpec raw = Events("analog", "rawe0001", static_cast<uint16_t>(firstId + 4), 5, 2);
    qrd::EventChunk r{Ms(0), Ms(1), qrd::RawPayload({{1, 2}, {3, 4}, {5, 6}})};
    qrd::AddEventStream(d, raw, {r});
}

inline qrd::RecordingSpec Base(uint16_t version, uint32_t sourceType) {
    qrd::RecordingSpec d;
    d.version = version;
    d.startTime = Start();
    d.comment = "fuzz seed";
    d.sourceType = sourceType;
    d.chunkDuration = 1000000;
    if (version >= 3) d.index = qrd::IndexChoice::kEmbedded;
    return d;
}

}  // namespace seeds

inline std::vector<SeedRecording> SeedRecordings() {
    using namespace seeds;
    std::vector<SeedRecording> out;

    {   // Every raw-data stream kind, continuous, electrode array.
        qrd::RecordingSpec d = Base(10, qrd::kSourceElectrodeArray);
        Raw(d, "analog", "elec0001", 1, 2, {0});
        Raw(d, "analog", "anlg0001", 2, 1, {0});
        const int filter = Raw(d, "filter", "filt0001", 3, 2, {0});
        qrd::CMFilterProperty f;
        f.SetCutoffs(300, 3000, 50, 2, "Butterworth 2nd order", 3);
        f.coefficients = {1.0, -0.5, 0.25};
        d.streams[static_cast<size_t>(filter)].settings = qrd::WriteFilterSettings(f, 3);
        const int tool = Raw(d, "chat", "chtl0001", 4, 1, {0});
        qrd::CMChannelToolProperty t;
        t.firstText = "sum";
        t.secondText = "1+2";
        d.streams[static_cast<size_t>(tool)].settings = qrd::WriteChannelToolSettings(t);
        Digital(d, 5, {0});
        qrd::InterleaveChunks(d);
        out.push_back({"raw-kinds", d});
    }
    {   // Every event stream kind, linear layout, no index.
        qrd::RecordingSpec d = Base(7, qrd::kSourceLinear);
        d.index = qrd::IndexChoice::kNone;
        d.electrodeCount = 3;
        d.analogCount = 1;
        d.digitalCount = 1;
        d.totalChannelCount = 5;
        qrd::AddEventStream(d, Trigger("trig0001", 1, 5), TriggerChunks(5, {0, 1}));
        Spikes(d, 2, 8);
        Analyzers(d, 3);
        qrd::InterleaveChunks(d);
        out.push_back({"event-kinds", d});
    }
    {   // Spike records of every version, double electrode array.
        for (uint16_t v : {1, 4, 5, 6, 7, 8}) {
            qrd::RecordingSpec d = Base(6, qrd::kSourceDoubleElectrodeArray);
            d.electrodeCount = 120;
            d.analogCount = 7;
            d.totalChannelCount = 128;
            Raw(d, "analog", "elec0001", 1, 3, {0});
            Spikes(d, 2, v);
            qrd::InterleaveChunks(d);
            out.push_back({"spikes-v" + std::to_string(v), d});
        }
    }
    {   // One trigger: sweeps of electrode and digital data.
        qrd::RecordingSpec d = Base(10, qrd::kSourceElectrodeArray);
        d.recordingMode = qrd::kModeTriggered;
        d.sweepLength = 1.6f;
        d.triggerTag1 = "trig0001";
        qrd::AddEventStream(d, Trigger("trig0001", 1, 5), TriggerChunks(5, {0, 5, 10}));
        Digital(d, 3, {0, 5, 10});
        Raw(d, "analog", "elec0001", 2, 2, {0, 5, 10});
        qrd::InterleaveChunks(d);
        out.push_back({"triggered", d});
        d.index = qrd::IndexChoice::kNone;
        out.push_back({"triggered-scan", d});
    }
    {   // Start and stop triggers.
        qrd::RecordingSpec d = Base(9, qrd::kSourceElectrodeArray);
        d.recordingMode = qrd::kModeStartStopTrigger;
        d.sweepLength = 1.6f;
        d.triggerTag1 = "trig0001";
        d.triggerTag2 = "trig0002";
        qrd::AddEventStream(d, Trigger("trig0001", 1, 5), TriggerChunks(5, {0, 5}));
        qrd::AddEventStream(d, Trigger("trig0002", 2, 5), TriggerChunks(5, {1, 6}));
        Raw(d, "analog", "elec0001", 3, 1, {0, 5});
        qrd::InterleaveChunks(d);
        out.push_back({"start-stop", d});
    }
    {   // Old headers that name the trigger stream by ID.
        for (uint16_t v : {1, 2, 3, 4}) {
            qrd::RecordingSpec d = Base(v, qrd::kSourceElectrodeArray);
            d.recordingMode = qrd::kModeTriggered;
            d.sweepLength = 1.6f;
            d.triggerStreamId = 1;
            qrd::AddEventStream(d, Trigger("trig0001", 1, 4), TriggerChunks(4, {0, 5}));
            Raw(d, "analog", "elec0001", 2, 1, {0, 5}, 0);
            qrd::InterleaveChunks(d);
            out.push_back({"header-v" + std::to_string(v), d});
        }
    }
    {   // Version 0: no stop time, the stream list trailer.
        qrd::RecordingSpec d = Base(0, qrd::kSourceElectrodeArray);
        Raw(d, "analog", "elec0001", 1, 2, {0}, 0);
        Digital(d, 2, {0});
        qrd::InterleaveChunks(d);
        out.push_back({"header-v0", d});
    }
    {   // A configured layout block; channel records of version 1 and 2 with
        // extra items; a stream stored without a sample rate.
        qrd::RecordingSpec d = Base(8, qrd::kSourceConfiguredLayout);
        qrd::CQRLayout layout;
        qrd::BuildStandardLayout(layout, 0, 4, 2, 1, 1, 0);
        layout.sourceType = qrd::kSourceConfiguredLayout;
        qrd::WriteLayoutBlock(layout, d.layoutBlock);
        const int s = Raw(d, "analog", "elec0001", 1, 2, {0});
        qrd::StreamSpec& stream = d.streams[static_cast<size_t>(s)];
        stream.channels[0].recordVersion = 1;
        stream.channels[1].extraItems.push_back(qrd::ExtraItem());
        stream.channels[1].positionX = 200;
        stream.channels[1].lowerCorner = 1000;
        stream.channels[1].upperCorner = 3000000;
        const int still = Raw(d, "analog", "anlg0001", 2, 1, {0});
        d.streams[static_cast<size_t>(still)].sampleRate = 0;
        qrd::InterleaveChunks(d);
        out.push_back({"configured-layout", d});
    }
    return out;
}

// Writes every seed recording into dir as kind-<name>.qrd.
inline bool WriteSeedRecordings(const std::string& dir) {
    for (const SeedRecording& r : SeedRecordings()) {
        std::string error;
        const std::string path = dir + "/kind-" + r.name + ".qrd";
        if (!qrd::WriteRecording(r.recording, path, &error)) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace qrd_fuzz
