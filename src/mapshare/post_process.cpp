#include "post_process.h"

#include "channel_number_table.h"
#include "map_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

namespace mapshare {
namespace {

std::string unitName(const std::string& name, long long unit) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, " Unit %lld", unit);
    return name + suffix;
}

std::string probeText(const std::string& name, long long unit) {
    std::string text = unitName(name, unit);
    if (text.size() > kNeuralProbeLength) text.resize(kNeuralProbeLength);
    return text;
}

// A neural entity made from a mapped event channel; its source entity is
// resolved once the final order of the list is known.
struct MappedNeural {
    MapChannel* channel;
    uint32_t analogNumber;
    std::string eventName;
};

class PostProcessor {
public:
    explicit PostProcessor(MapFile& file) : file_(file) {}
    void run();

private:
    void splitUnits(MapChannel& segment, uint32_t position);
    void replaceMapped(std::unique_ptr<MapChannel> event, uint32_t analogNumber);
    void addNeural(std::unique_ptr<MapChannel> neural, const std::string& key);
    void resolveSources();

    MapFile& file_;
    std::vector<std::unique_ptr<MapChannel>> kept_;
    std::vector<std::unique_ptr<MapChannel>> neurals_;
    std::vector<MappedNeural> mapped_;
    std::unordered_set<std::string> neuralKeys_;
    int32_t nextNumber_ = 1;
    uint32_t previousAnalog_ = 0;
    uint32_t unitCounter_ = 0;
};

// Visiting the channels in list order, taking mapped event channels out and
// appending every new Sorted Neural channel at the end, is the same as
// keeping the untouched channels in order and then listing the new ones in
// the order they were made.  Building the two lists avoids shifting the
// channel list once per removed channel.
void PostProcessor::run() {
    auto& list = file_.channels();
    int32_t largest = 0;
    for (const auto& c : list) largest = std::max<int32_t>(largest, c->signedNumber());
    nextNumber_ = largest + 1;

    for (auto& channel : list) {
        if (isSegmentType(channel->type())) {
            const auto position = static_cast<uint32_t>(kept_.size());
            kept_.push_back(std::move(channel));
            splitUnits(*kept_.back(), position);
            continue;
        }
        const uint32_t analog = isEventType(channel->type()) ? file_.mapping.lookup(channel->number()) : 0;
        if (analog != 0) {
            replaceMapped(std::move(channel), analog);
        } else {
            kept_.push_back(std::move(channel));
        }
    }
    list = std::move(kept_);
    for (auto& neural : neurals_) list.push_back(std::move(neural));
    resolveSources();
}

// One Sorted Neural channel per unit of a segment channel, holding the blocks
// that the spike sorting gave to that unit.
void PostProcessor::splitUnits(MapChannel& segment, uint32_t position) {
    const int16_t units = segment.unitCount();
    std::vector<MapChannel*> byUnit(static_cast<size_t>(std::max<int16_t>(units, 0)), nullptr);
    std::vector<std::unique_ptr<MapChannel>> made;
    for (int16_t u = 0; u < units; ++u) {
        const std::string name = unitName(segment.name(), u);
        auto neural = std::make_unique<MapChannel>(MapChannelType::SortedNeural, static_cast<uint16_t>(nextNumber_),
                                                   segment.rateKHz(), name, file_.tables());
        ++nextNumber_;
        neural->neural.sourceEntity = position;
        neural->neural.sourceUnit = static_cast<uint32_t>(u);
        neural->neural.probeText = probeText(segment.name(), u);
        neural->setStartShift(segment.startShift());
        byUnit[static_cast<size_t>(u)] = neural.get();
        made.push_back(std::move(neural));
    }
    for (const MapBlock& block : segment.blocks()) {
        if (block.unit >= 0 && block.unit < units) {
            MapBlock copy = block;
            copy.value = 0;
            byUnit[static_cast<size_t>(block.unit)]->appendBlock(copy);
        }
    }
    for (auto& neural : made) {
        const std::string key = "segment " + std::to_string(position) + " " +
                                std::to_string(neural->neural.sourceUnit) + " " + neural->name();
        addNeural(std::move(neural), key);
    }
}

// A digital or port channel that the defaults file pairs with an analog
// channel carries the sorted spikes of that analog channel: it becomes one of
// its units.  Consecutive event channels with the same target count 1, 2, ...
void PostProcessor::replaceMapped(std::unique_ptr<MapChannel> event, uint32_t analogNumber) {
    if (analogNumber != previousAnalog_) unitCounter_ = 1;
    previousAnalog_ = analogNumber;
    const uint32_t unit = unitCounter_++;
    event->noteRateUse();
    auto neural = std::make_unique<MapChannel>(MapChannelType::SortedNeural, event->number(), event->rateKHz(),
                                               unitName(event->name(), unit), file_.tables());
    neural->neural.sourceUnit = unit;
    neural->reserveBlocks(event->blocks().size());
    for (const MapBlock& block : event->blocks()) {
        // A mapped spike is one unit of its own: the unit byte of the event
        // record is not carried over.
        MapBlock copy = block;
        copy.value = 0;
        copy.unit = 0;
        neural->appendBlock(copy);
    }
    const std::string key = "mapped " + std::to_string(analogNumber) + " " + std::to_string(unit) + " " +
                            std::to_string(event->number()) + " " + neural->name();
    mapped_.push_back(MappedNeural{neural.get(), analogNumber, event->name()});
    addNeural(std::move(neural), key);
}

void PostProcessor::addNeural(std::unique_ptr<MapChannel> neural, const std::string& key) {
    // A neural definition that is already listed is dropped.
    if (!neuralKeys_.insert(key).second) {
        for (auto& m : mapped_)
            if (m.channel == neural.get()) m.channel = nullptr;
        return;
    }
    neurals_.push_back(std::move(neural));
}

// The source entity of a mapped unit is the position, in the final list, of
// the first channel numbered like its analog target.
void PostProcessor::resolveSources() {
    const auto& list = file_.channels();
    ChannelNumberTable firstByNumber;
    for (size_t i = 0; i < list.size(); ++i) firstByNumber.insertFirst(list[i]->number(), static_cast<int32_t>(i));
    for (const MappedNeural& m : mapped_) {
        if (!m.channel) continue;
        const int32_t target = firstByNumber.find(m.analogNumber);
        NeuralDefinition& def = m.channel->neural;
        if (target >= 0) {
            def.sourceEntity = static_cast<uint32_t>(target);
            def.probeText = probeText(list[static_cast<size_t>(target)]->name(), def.sourceUnit);
        } else {
            // No channel carries the target number: point at entity 0 and name
            // the event channel the spikes came from.
            def.sourceEntity = 0;
            def.probeText = probeText(m.eventName, def.sourceUnit);
        }
    }
}

}  // namespace

void postProcess(MapFile& file) { PostProcessor(file).run(); }

}  // namespace mapshare
