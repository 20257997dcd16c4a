// Writes a seed corpus for the createinfo fuzz target into the folder named on
// the command line: valid settings blocks of every stream type and layout
// version, made with our settings writers, each behind its stream header.
#include <cstdio>
#include <string>
#include <vector>

#include "container/binary_file.h"
#include "contents/settings_writer.h"
#include "qrd_createinfo_header.h"

namespace {

int saved = 0;

void Save(const std::string& dir, size_t type, uint8_t version, uint8_t appMajor, const qrd::SettingsBytes& body) {
    std::vector<uint8_t> bytes = qrd_fuzz::MakeHeader(type, version, appMajor);
    bytes.insert(bytes.end(), body.begin(), body.end());
    qrd::BinaryFile out;
    const std::string name = dir + "/seed-" + std::to_string(saved++);
    if (out.OpenWrite(name)) {
        out.Write(bytes.data(), bytes.size());
        out.Close();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    enum { kTrigger, kChat, kFilter, kSpikes, kAverage, kParams, kSpkParam, kBstParam, kAnalog };

    qrd::CMMEATriggerProperty trigger;
    trigger.inputStreamSelector = 1;
    trigger.inputStreamTag = "anlg0001";
    trigger.text2 = "t2";
    for (uint8_t v = 0; v <= 5; ++v)
        for (uint8_t app : {2, 3}) {
            Save(dir, kTrigger, v, app, qrd::WriteTriggerSettings(trigger, v, app));
            if (v >= 1 && v <= 4)
                Save(dir, kSpikes, v, app, qrd::WriteOldSpikeSettings({trigger, trigger}, 1000000, 2000000, 3000000, v, app));
        }

    qrd::CMChannelToolProperty tool;
    tool.firstText = "sum";
    tool.secondText = "1+2";
    Save(dir, kChat, 0, 3, qrd::WriteChannelToolSettings(tool));

    qrd::CMFilterProperty filter;
    filter.SetCutoffs(300, 3000, 50, 2, "Butterworth 2nd order", 3);
    filter.coefficients = {1.0, -0.5, 0.25};
    for (uint8_t v = 0; v <= 3; ++v) Save(dir, kFilter, v, 3, qrd::WriteFilterSettings(filter, v));

    qrd::SpikeDetectorSettings spikes;
    spikes.windowTimes = {{1000, 2000, 500}};
    spikes.inputStreamTag = "filt0001";
    spikes.channels.resize(2);
    spikes.channels[1].channelKey = 7;
    spikes.channels[1].units[2] = qrd::SpikeUnitEntry();
    for (uint8_t v = 5; v <= 8; ++v) Save(dir, kSpikes, v, 3, qrd::WriteSpikeSettings(spikes, v));

    qrd::CMEvokedProperty evoked;
    evoked.label = "average";
    evoked.GetTimeWindow().firstLabel = "window";
    Save(dir, kAverage, 3, 3, qrd::WriteAverageSettings(evoked));

    std::array<bool, qrd::kAnalyzerKindCount> kinds{};
    for (int k : {0, 1, 2, 5, 7, 8, 9, 12}) kinds[static_cast<size_t>(k)] = true;
    for (int32_t mode : {0, 1}) {
        const qrd::ParamSettingsImage image = qrd::MakeParamSettings(kinds, mode);
        for (uint8_t v = 0; v <= 5; ++v) {
            qrd::SettingsBytes bytes = qrd::WriteParamSettings(image, v);
            // A record of four channel blocks behind the settings feeds the value decoder.
            bytes.resize(bytes.size() + 4 * 40, 0x11);
            Save(dir, kParams, v, 3, bytes);
        }
    }

    Save(dir, kSpkParam, 2, 3, qrd::WriteSpikeParameterSettings(qrd::CMSpikeAnalyzerProperty()));
    Save(dir, kBstParam, 0, 3, qrd::WriteBurstParameterSettings(qrd::CMBurstAnalyzerProperty()));
    // Raw data streams carry no settings.
    Save(dir, kAnalog, 0, 3, {});
    std::printf("wrote %d seeds\n", saved);
    return 0;
}
