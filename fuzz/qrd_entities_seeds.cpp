// Writes a seed corpus for qrd_entities_fuzz with our own recording writer:
// continuous and triggered recordings with electrode, digital, trigger and
// spike streams, so every kind of entity is present, and the recordings of
// every stream kind (qrd_seed_recordings.h).
#include <cstdio>
#include <string>
#include <vector>

#include "container/event_payload_writer.h"
#include "container/file_header.h"
#include "container/recording_writer.h"
#include "container/time_stamp.h"
#include "qrd_seed_recordings.h"

namespace {

qrd::RecordingSpec Seed(uint16_t version, bool triggered, bool index) {
    qrd::RecordingSpec desc;
    desc.version = version;
    desc.startTime = qrd::UtcTicks(2025, 6, 1, 12);
    qrd::ContinuousStreamOptions raw;
    raw.channelCount = 2;
    raw.chunkDuration = 2000000;
    raw.format.word18 = 2000;
    raw.spans.push_back({desc.startTime, 120});
    if (triggered) raw.spans.push_back({desc.startTime + 20000000, 100});
    qrd::AddContinuousStream(desc, raw, [](uint32_t c, uint64_t i) { return static_cast<uint16_t>(c + i); });
    qrd::ContinuousStreamOptions digital = raw;
    digital.id = 2;
    qrd::AddDigitalStream(desc, digital, [](uint64_t i) { return static_cast<uint16_t>(i / 7); });

    qrd::StreamSpec trigger;
    trigger.typeName = "trigger";
    trigger.name = "Trigger 1";
    trigger.tag = "trig0001";
    trigger.id = 3;
    trigger.headerVersion = 5;
    std::vector<uint8_t> triggers;
    qrd::AppendTriggerRecord(triggers, 5, desc.startTime + 1000, 1);
    qrd::AppendTriggerRecord(triggers, 5, desc.startTime + 20000000, 2);
    qrd::AddEventStream(desc, trigger, {{desc.startTime, desc.startTime + 30000000, triggers}});

    qrd::StreamSpec spikes;
    spikes.typeName = "spikes";
    spikes.name = "Spikes";
    spikes.tag = "spks0001";
    spikes.id = 4;
    spikes.headerVersion = 8;
    for (int c = 0; c < 3; ++c) {
        qrd::ChannelSpec ch;
        ch.number = c + 1;
        ch.hardwareIndex = c;
        ch.name = "S" + std::to_string(c);
        ch.group = static_cast<uint16_t>(c == 1 ? 1 : 0);
        spikes.channels.push_back(ch);
    }
    std::vector<uint8_t> cutouts;
    qrd::AppendSpikeRecord(cutouts, 8, desc.startTime + 3000, 0, {1, 2, 3}, 1);
    qrd::AppendSpikeRecord(cutouts, 8, desc.startTime + 4000, 2, {4, 5}, 2);
    qrd::AppendSpikeRecord(cutouts, 8, desc.startTime + 5000, 1, {6}, 3);
    qrd::AddEventStream(desc, spikes, {{desc.startTime, desc.startTime + 30000000, cutouts}});
    qrd::InterleaveChunks(desc);
    if (triggered) {
        desc.recordingMode = qrd::kModeTriggered;
        desc.triggerTag1 = "trig0001";
        desc.triggerStreamId = 3;
    }
    if (index) desc.index = qrd::IndexChoice::kEmbedded;
    return desc;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    int n = 0;
    for (uint16_t version : {4, 7, 10}) {
        for (bool triggered : {false, true}) {
            const std::string path = std::string(argv[1]) + "/seed" + std::to_string(n++) + ".qrd";
            if (!qrd::WriteRecording(Seed(version, triggered, true), path)) return 1;
        }
    }
    return qrd_fuzz::WriteSeedRecordings(argv[1]) ? 0 : 1;
}
