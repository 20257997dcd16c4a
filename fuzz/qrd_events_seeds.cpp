// Writes a seed corpus for the events fuzz target into the folder named on
// the command line: whole recordings, made with our recording writer, holding
// event streams of every type and record layout version, with several chunks
// (some empty) per stream, and a continuous stream for the raw cursor; and
// the recordings of every stream kind (qrd_seed_recordings.h).
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "container/event_payload_writer.h"
#include "container/event_record_writer.h"
#include "container/le_codec.h"
#include "container/recording_writer.h"
#include "container/time_stamp.h"
#include "contents/settings_writer.h"
#include "qrd_seed_recordings.h"

namespace {

int saved = 0;
const uint64_t kStart = qrd::UtcTicks(2026, 5, 2, 8, 30, 0);

uint64_t Ms(uint64_t ms) { return kStart + ms * 1000000ull; }

qrd::StreamSpec Stream(const std::string& type, uint16_t version, uint32_t channels, uint16_t id) {
    qrd::StreamSpec s =
        qrd_fuzz::seeds::Events(type, type.substr(0, 4) + "000" + std::to_string(id % 10), id, version, channels);
    s.name = type;
    return s;
}

// Three chunks of 100 ms: records from make(chunk), an empty chunk, records again.
template <class Make>
std::vector<qrd::EventChunk> Chunks(Make make) {
    std::vector<qrd::EventChunk> chunks;
    for (uint64_t i = 0; i < 3; ++i) {
        qrd::EventChunk c{Ms(100 * i), Ms(100 * (i + 1)), {}};
        if (i != 1) make(c.payload, 100 * i);
        chunks.push_back(c);
    }
    return chunks;
}

void Save(const std::string& dir, qrd::RecordingSpec desc) {
    desc.startTime = kStart;
    qrd::InterleaveChunks(desc);
    const std::string name = dir + "/seed-" + std::to_string(saved++) + ".qrd";
    std::string error;
    if (!qrd::WriteRecording(desc, name, &error)) std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];

    for (uint16_t v : {4, 5, 7, 8}) {
        qrd::RecordingSpec desc;
        qrd::AddEventStream(desc, Stream("spikes", v, 3, 1), Chunks([v](std::vector<uint8_t>& p, uint64_t ms) {
                                qrd::AppendSpikeRecord(p, v, Ms(ms + 1), 0, {1, 2, 3, 4}, 1, 7, 8);
                                qrd::AppendSpikeRecord(p, v, Ms(ms + 2), 2, {5, 6}, 2, 9, 10);
                            }));
        qrd::AddEventStream(desc, Stream("trigger", v >= 5 ? 5 : 4, 0, 2),
                            Chunks([v](std::vector<uint8_t>& p, uint64_t ms) {
                                qrd::AppendTriggerRecord(p, v, Ms(ms + 3), 1, 2);
                                qrd::AppendTriggerRecord(p, v, Ms(ms + 4), 3, 4);
                            }));
        Save(dir, desc);
    }

    for (uint16_t v : {4, 5}) {
        qrd::RecordingSpec desc;
        qrd::AddEventStream(desc, Stream("average", v, 2, 3), Chunks([v](std::vector<uint8_t>& p, uint64_t ms) {
                                qrd::AppendAverageRecord(p, v, Ms(ms + 5), 1, {10, 20, 30}, 1, 2);
                            }));
        Save(dir, desc);
    }

    for (uint16_t v : {1, 2}) {
        qrd::RecordingSpec desc;
        qrd::AddEventStream(desc, Stream("spkparam", v, 1, 4), Chunks([v](std::vector<uint8_t>& p, uint64_t ms) {
                                qrd::AppendSpikeParamRecord(p, v, Ms(ms + 6), {1, 2, 3}, 1000, 2.5f, Ms(ms + 6));
                            }));
        qrd::AddEventStream(desc, Stream("bstparam", v, 1, 5), Chunks([](std::vector<uint8_t>& p, uint64_t ms) {
                                qrd::AppendBurstParamRecord(p, Ms(ms + 7), {4, 5, 6}, 42, 4096, 3, 50.0f);
                            }));
        Save(dir, desc);
    }

    {
        std::array<bool, qrd::kAnalyzerKindCount> selected{};
        selected[0] = selected[8] = selected[9] = true;
        qrd::StreamSpec params = Stream("params", 5, 2, 6);
        params.settings = qrd::WriteParamSettings(qrd::MakeParamSettings(selected, 1), 5);
        qrd::RecordingSpec desc;
        // Blocks of 10 bytes: i32 minimum, u16 spike number, f32 rate.
        qrd::AddEventStream(desc, params, Chunks([](std::vector<uint8_t>& p, uint64_t ms) {
                                std::vector<uint8_t> block(10, 0);
                                qrd::PutI32(block.data(), 0, 30000);
                                qrd::PutU16(block.data(), 4, 3);
                                qrd::PutF32(block.data(), 6, 1.5f);
                                qrd::AppendParamRecord(p, Ms(ms + 8), {block, block});
                            }));
        Save(dir, desc);
    }

    {
        qrd::StreamSpec analog = Stream("analog", 5, 2, 7);
        analog.sampleRate = 30000000;
        qrd::RecordingSpec desc;
        qrd::AddEventStream(desc, analog, Chunks([](std::vector<uint8_t>& p, uint64_t) {
                                p = qrd::RawPayload({{1, 2}, {3, 4}, {5, 6}});
                            }));
        Save(dir, desc);
    }
    if (!qrd_fuzz::WriteSeedRecordings(dir)) return 1;
    std::printf("%d seeds and the recordings of every kind\n", saved);
    return 0;
}
