#include "sample_recordings.h"

#include <cmath>

#include "container/event_payload_writer.h"
#include "contents/settings_writer.h"

namespace qrdsample {

using namespace qrd;

namespace {

const uint64_t kStart = UtcTicks(2026, 11, 3, 14, 25, 0);
constexpr double kPi = 3.14159265358979323846;

// Deterministic noise in -64..63 from (channel, index), so every run writes
// the same bytes.
int Noise(uint32_t channel, uint64_t index) {
    uint64_t x = (index + 1) * 0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(channel) << 32);
    x ^= x >> 29;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 32;
    return static_cast<int>(x & 127) - 64;
}

// A sine of a channel-specific frequency plus noise, around the ADC zero.
SampleFunction SineAndNoise(uint32_t rateHz, uint16_t zero) {
    return [rateHz, zero](uint32_t channel, uint64_t index) {
        const double t = static_cast<double>(index) / rateHz;
        const double sine = 400.0 * std::sin(2.0 * kPi * (2.0 + channel) * t);
        return static_cast<uint16_t>(zero + static_cast<int>(sine) + Noise(channel, index));
    };
}

// The 60 electrodes of an 8 x 8 array without its corners, named by column
// and row ("12" ... "87"), 200 um apart.
void NameMeaChannels(StreamSpec& stream) {
    size_t k = 0;
    for (int col = 1; col <= 8; ++col) {
        for (int row = 1; row <= 8; ++row) {
            if ((col == 1 || col == 8) && (row == 1 || row == 8)) continue;
            if (k >= stream.channels.size()) return;
            ChannelSpec& c = stream.channels[k++];
            c.number = col * 10 + row;
            c.name = std::to_string(c.number);
            c.label = c.name;
            c.positionX = static_cast<uint32_t>((col - 1) * 200);
            c.positionY = static_cast<uint32_t>((row - 1) * 200);
            c.lowerCorner = 1000;      // 1 Hz
            c.upperCorner = 3000000;   // 3 kHz
        }
    }
}

StreamSpec TriggerStream(uint16_t id, const std::string& tag, uint16_t headerVersion) {
    StreamSpec trig;
    trig.typeName = "trigger";
    trig.name = "Trigger 1";
    trig.id = id;
    trig.tag = tag;
    trig.headerVersion = headerVersion;
    CMMEATriggerProperty p;
    p.eventValue = 1;
    p.inputStreamTag = "elec0001";
    trig.settings = WriteTriggerSettings(p, headerVersion, 3);
    return trig;
}

}  // namespace

SampleRecording ContinuousMea() {
    SampleRecording s;
    s.fileName = "continuous_mea.qrd";
    s.summary = "continuous, 60 electrodes + digital stream, 3 s at 25 kHz, header v10, embedded index";
    RecordingSpec& desc = s.desc;
    desc.version = 10;
    desc.comment = "Sample recording: continuous 60-electrode array";
    desc.startTime = kStart;
    desc.index = IndexChoice::kEmbedded;
    desc.indexPath = s.fileName;

    ContinuousStreamOptions o;
    o.channelCount = 60;
    o.headerVersion = 1;
    o.format.unitStep = 1.9073486328125e-7;  // +-6.25 mV over 16 bits
    o.spans = {{kStart, SamplesIn(3 * kTicksPerSecond, o.sampleRate)}};
    const int elec = AddContinuousStream(desc, o, SineAndNoise(25000, 32768));
    NameMeaChannels(desc.streams[elec]);

    ContinuousStreamOptions d = o;
    d.id = 2;
    d.firstChannelNumber = 1;
    // Recordings of header version 9 and above keep the stored hardware index,
    // and readers take it as the channel's column in the stream's samples: the
    // one digital channel is column 0 of its own stream.
    d.firstHardwareIndex = 0;
    d.format.unitStep = 1.0;
    d.format.adcZero = 0;
    AddDigitalStream(desc, d, [](uint64_t i) {
        // Bit 0 toggles every 250 ms, bit 1 every second.
        return static_cast<uint16_t>(((i / 6250) & 1) | (((i / 25000) & 1) << 1));
    });
    InterleaveChunks(desc);
    return s;
}

SampleRecording TriggeredSweeps() {
    SampleRecording s;
    s.fileName = "triggered_sweeps.qrd";
    s.summary = "triggered, 5 sweeps of 200 ms on 8 electrodes, trigger stream, header v10";
    RecordingSpec& desc = s.desc;
    desc.version = 10;
    desc.comment = "Sample recording: triggered sweeps";
    desc.startTime = kStart;
    desc.recordingMode = kModeTriggered;
    desc.sweepLength = 200.0f;
    desc.triggerTag1 = "trig0001";
    desc.index = IndexChoice::kEmbedded;
    desc.indexPath = s.fileName;

    const int sweeps = 5;
    std::vector<EventChunk> triggers;
    std::vector<SampleSpan> spans;
    const uint64_t sweepTicks = 200 * kTicksPerMillisecond;
    for (int k = 0; k < sweeps; ++k) {
        const uint64_t start = kStart + static_cast<uint64_t>(k) * kTicksPerSecond;
        EventChunk c;
        c.start = start;
        c.end = start + sweepTicks;
        AppendTriggerRecord(c.payload, 5, start, 1);
        triggers.push_back(c);
        spans.push_back({start, SamplesIn(sweepTicks, 25000000)});
    }
    // The trigger stream comes first, so the raw data stream is the last one
    // with chunks and its gaps mark the sweeps.
    AddEventStream(desc, TriggerStream(1, "trig0001", 5), triggers);

    ContinuousStreamOptions o;
    o.id = 2;
    o.channelCount = 8;
    o.headerVersion = 1;
    o.chunkDuration = 50000000;
    o.spans = spans;
    const int elec = AddContinuousStream(desc, o, SineAndNoise(25000, 32768));
    NameMeaChannels(desc.streams[elec]);
    InterleaveChunks(desc);
    return s;
}

SampleRecording Version4() {
    SampleRecording s;
    s.fileName = "version4.qrd";
    s.summary = "continuous, 4 electrodes + 2 analog inputs, 2 s at 10 kHz, header v4, no index";
    RecordingSpec& desc = s.desc;
    desc.version = 4;
    desc.appVersion = (2u << 16) | 1u;
    desc.comment = "Sample recording: header version 4";
    desc.startTime = kStart;
    desc.sampleRate = 10000000;
    desc.electrodeCount = 4;
    desc.analogCount = 2;
    desc.analogFirst = 4;
    desc.digitalCount = 0;
    desc.digitalFirst = 6;
    desc.totalChannelCount = 6;
    desc.index = IndexChoice::kNone;

    ContinuousStreamOptions o;
    o.sampleRate = 10000000;
    o.channelCount = 4;
    o.chunkDuration = 128000000;
    o.spans = {{kStart, SamplesIn(2 * kTicksPerSecond, o.sampleRate)}};
    AddContinuousStream(desc, o, SineAndNoise(10000, 32768));
    ContinuousStreamOptions a = o;
    a.name = "Analog Raw Data";
    a.tag = "anlg0001";
    a.id = 2;
    a.channelCount = 2;
    a.firstChannelNumber = 1;
    a.firstHardwareIndex = 4;
    a.channelNamePrefix = "A";
    AddContinuousStream(desc, a, SineAndNoise(10000, 32768));
    InterleaveChunks(desc);
    return s;
}

SampleRecording SpikesAndTriggers() {
    SampleRecording s;
    s.fileName = "spikes.qrd";
    s.summary = "continuous, 4 electrodes, spike stream (v8 records) and trigger stream, 1 s, header v10";
    RecordingSpec& desc = s.desc;
    desc.version = 10;
    desc.comment = "Sample recording: spikes and triggers";
    desc.startTime = kStart;
    desc.index = IndexChoice::kEmbedded;
    desc.indexPath = s.fileName;

    const uint64_t chunkTicks = 100 * kTicksPerMillisecond;
    const int chunks = 10;

    // Spike cut-outs: 40 samples (1.6 ms) of a negative peak, a few per chunk,
    // on the four electrodes of the raw stream (hardware indices 0..3).
    StreamSpec spikes;
    spikes.typeName = "spikes";
    spikes.name = "Spikes 1";
    spikes.id = 3;
    spikes.tag = "spks0001";
    spikes.headerVersion = 8;
    spikes.channels.resize(4);
    for (size_t c = 0; c < spikes.channels.size(); ++c) spikes.channels[c].hardwareIndex = static_cast<int32_t>(c);
    NameMeaChannels(spikes);
    SpikeDetectorSettings detector;
    detector.inputStreamTag = "elec0001";
    detector.windowTimes = {1000, 600, 1000};
    for (const ChannelSpec& c : spikes.channels) {
        SpikeChannelEntry e;
        e.channelKey = static_cast<uint16_t>(c.hardwareIndex);
        detector.channels.push_back(e);
    }
    spikes.settings = WriteSpikeSettings(detector, spikes.headerVersion);

    std::vector<EventChunk> spikeChunks, triggerChunks;
    for (int k = 0; k < chunks; ++k) {
        const uint64_t start = kStart + static_cast<uint64_t>(k) * chunkTicks;
        EventChunk sc{start, start + chunkTicks, {}};
        for (int n = 0; n < 3; ++n) {
            const uint16_t channel = static_cast<uint16_t>((k + n) % 4);
            std::vector<uint16_t> wave(40);
            for (size_t i = 0; i < wave.size(); ++i) {
                const double x = (static_cast<double>(i) - 15.0) / 4.0;
                wave[i] = static_cast<uint16_t>(32768 - static_cast<int>(900.0 * std::exp(-x * x)) + Noise(channel, i));
            }
            const uint64_t at = start + static_cast<uint64_t>(n + 1) * 25 * kTicksPerMillisecond;
            AppendSpikeRecord(sc.payload, spikes.headerVersion, at, channel, wave, static_cast<uint16_t>(n % 2));
        }
        spikeChunks.push_back(sc);
        EventChunk tc{start, start + chunkTicks, {}};
        AppendTriggerRecord(tc.payload, 5, start + 10 * kTicksPerMillisecond, static_cast<uint16_t>(k + 1));
        triggerChunks.push_back(tc);
    }
    // Event streams first, so the raw stream is the last one with chunks and
    // gives the index its sweep.
    AddEventStream(desc, spikes, spikeChunks);
    AddEventStream(desc, TriggerStream(4, "trig0001", 5), triggerChunks);

    ContinuousStreamOptions o;
    o.channelCount = 4;
    o.headerVersion = 1;
    o.spans = {{kStart, SamplesIn(chunks * chunkTicks, o.sampleRate)}};
    const int elec = AddContinuousStream(desc, o, SineAndNoise(25000, 32768));
    NameMeaChannels(desc.streams[elec]);
    InterleaveChunks(desc);
    return s;
}

std::vector<SampleRecording> AllSamples() {
    return {ContinuousMea(), TriggeredSweeps(), Version4(), SpikesAndTriggers()};
}

}  // namespace qrdsample
