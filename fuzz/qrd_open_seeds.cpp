// Writes a seed corpus for qrd_open_fuzz with our own recording writer:
// recordings of several header versions, with and without an embedded index,
// with a configured-layout block, and with event streams; and the
// recordings of every stream kind (qrd_seed_recordings.h).
#include <cstdio>
#include <string>
#include <vector>

#include "container/event_payload_writer.h"
#include "container/file_header.h"
#include "container/recording_writer.h"
#include "container/time_stamp.h"
#include "layout/qr_layout.h"
#include "qrd_seed_recordings.h"

namespace {

qrd::RecordingSpec Seed(uint16_t version, bool index, bool layout, bool triggered) {
    qrd::RecordingSpec desc;
    desc.version = version;
    desc.startTime = qrd::UtcTicks(2025, 6, 1, 12);
    desc.comment = "seed";
    qrd::ContinuousStreamOptions raw;
    raw.channelCount = 2;
    raw.chunkDuration = 2000000;
    raw.format.word18 = 2000;
    raw.spans.push_back({desc.startTime, 150});
    if (triggered) raw.spans.push_back({desc.startTime + 20000000, 150});
    qrd::AddContinuousStream(desc, raw, [](uint32_t c, uint64_t i) { return static_cast<uint16_t>(c + i); });
    qrd::ContinuousStreamOptions digital = raw;
    digital.id = 2;
    qrd::AddDigitalStream(desc, digital, [](uint64_t i) { return static_cast<uint16_t>(i % 3); });
    qrd::StreamSpec trigger;
    trigger.typeName = "trigger";
    trigger.name = "Trigger 1";
    trigger.tag = "trig0001";
    trigger.id = 3;
    std::vector<uint8_t> payload;
    qrd::AppendTriggerRecord(payload, 0, desc.startTime + 1000, 1);
    qrd::AddEventStream(desc, trigger, {{desc.startTime, desc.startTime + 2000000, payload}});
    qrd::InterleaveChunks(desc);
    if (triggered) {
        desc.recordingMode = qrd::kModeTriggered;
        desc.triggerTag1 = "trig0001";
        desc.triggerStreamId = 3;
        desc.sweepLength = 6.0f;
    }
    if (index && version >= 3) desc.index = qrd::IndexChoice::kEmbedded;
    if (layout) {
        qrd::CQRLayout l;
        qrd::BuildStandardLayout(l, 0, 4, 2, 1, 1, 0);
        l.sourceType = 3;
        qrd::WriteLayoutBlock(l, desc.layoutBlock);
        desc.sourceType = qrd::kSourceConfiguredLayout;
    }
    return desc;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus-dir>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    int n = 0;
    for (uint16_t version : {0, 1, 2, 4, 5, 6, 8, 10}) {
        for (int variant = 0; variant < 3; ++variant) {
            const bool index = variant == 1;
            const bool layout = variant == 2;
            const bool triggered = variant != 0;
            std::string error;
            const std::string path = dir + "/seed_v" + std::to_string(version) + "_" + std::to_string(variant);
            if (!qrd::WriteRecording(Seed(version, index, layout, triggered), path, &error)) {
                std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
                return 1;
            }
            ++n;
        }
    }
    if (!qrd_fuzz::WriteSeedRecordings(dir)) return 1;
    std::printf("wrote %d seeds and the recordings of every kind\n", n);
    return 0;
}
