// Writes a seed corpus for qrd_samples_fuzz with our own recording writer:
// continuous and triggered recordings of raw and digital streams, with and
// without an embedded index, in old and new header versions, and the
// recordings of every stream kind (qrd_seed_recordings.h).
#include <cstdio>
#include <string>

#include "container/file_header.h"
#include "container/recording_writer.h"
#include "container/time_stamp.h"
#include "qrd_seed_recordings.h"

namespace {

qrd::RecordingSpec Seed(uint16_t version, bool triggered, bool index, uint32_t rate) {
    qrd::RecordingSpec desc;
    desc.version = version;
    desc.startTime = qrd::UtcTicks(2025, 9, 1, 10);
    desc.sampleRate = rate;
    const uint64_t s = desc.startTime;
    qrd::StreamSpec trigger;
    trigger.typeName = "trigger";
    trigger.name = "Trigger 1";
    trigger.tag = "trig0001";
    trigger.id = 3;
    qrd::AddEventStream(desc, trigger, {{s, s + 1000, {}}, {s + 30000000, s + 30001000, {}}});
    qrd::ContinuousStreamOptions raw;
    raw.sampleRate = rate;
    raw.channelCount = 3;
    raw.chunkDuration = 4000000;
    raw.format.word18 = 2000;
    raw.spans.push_back({s, 200});
    if (triggered) raw.spans.push_back({s + 30000000, 130});
    qrd::AddContinuousStream(desc, raw, [](uint32_t c, uint64_t i) { return static_cast<uint16_t>(c * 100 + i); });
    qrd::ContinuousStreamOptions digital = raw;
    digital.id = 2;
    qrd::AddDigitalStream(desc, digital, [](uint64_t i) { return static_cast<uint16_t>(i / 7); });
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
    const std::string dir = argv[1];
    int n = 0;
    for (uint16_t version : {0, 4, 10})
        for (bool triggered : {false, true})
            for (bool index : {false, true})
                for (uint32_t rate : {25000000u, 30000000u}) {
                    const std::string path = dir + "/seed" + std::to_string(n++) + ".qrd";
                    if (!qrd::WriteRecording(Seed(version, triggered, index, rate), path)) {
                        std::fprintf(stderr, "cannot write %s\n", path.c_str());
                        return 1;
                    }
                }
    return qrd_fuzz::WriteSeedRecordings(dir) ? 0 : 1;
}
