// One channel of a MAP recording, which is one Neuroshare entity, with the
// block descriptors that parsing found for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mapshare {

enum class MapChannelType : uint32_t {
    Empty = 0,
    Port = 1,
    Continuous = 2,
    Level = 3,
    WindowDiscriminator = 4,
    Digital = 5,
    ExternalTrigger = 6,
    SortedNeural = 7,
};

const char* typeName(MapChannelType type);
uint32_t entityTypeOf(MapChannelType type);
bool isSegmentType(MapChannelType type);   // Level, Window Discriminator, External Trigger
bool isEventType(MapChannelType type);     // Port, Digital
bool hasPreTrigger(MapChannelType type);   // the segment types store samples before the trigger

// Where one data block of a channel lies in the file.  Time stamps are kept as
// signed tick counts: the pre-trigger correction may move a block start below
// tick 0, and that must not wrap around 2^32.
struct MapBlock {
    int64_t timeStamp;     // first sample of the block, in ticks of the channel
    uint32_t position;     // absolute file position of the first payload byte
    uint32_t sampleCount;
    int16_t unit;          // sorting result of a segment, 0 for multiplexed blocks
    int16_t value;         // port or digital value of an event block
};
static_assert(sizeof(MapBlock) <= 24, "a million blocks must stay small in memory");

// What a Sorted Neural channel knows about its origin.
struct NeuralDefinition {
    uint32_t sourceEntity = 0;
    uint32_t sourceUnit = 0;
    std::string probeText;          // at most kNeuralProbeLength characters
};
constexpr size_t kNeuralProbeLength = 69;

class MapChannel {
public:
    // Longest channel name kept; longer names from the file are cut.
    static constexpr size_t kMaxNameLength = 255;

    MapChannel(MapChannelType type, uint16_t number, float rateKHz, std::string name);

    MapChannelType type() const { return type_; }
    uint16_t number() const { return number_; }
    int16_t signedNumber() const { return static_cast<int16_t>(number_); }
    const std::string& name() const { return name_; }
    uint32_t entityType() const { return entityTypeOf(type_); }

    // Sampling rate in kHz as the definition gives it (a Port takes the rate of
    // its matching Digital channel once parsing has seen every definition).
    float rateKHz() const { return rateKHz_; }
    void setRateKHz(float rate) { rateKHz_ = rate; }
    // A Port without its Digital channel: its rate reads as 0, and every use
    // of that rate reports "Could not get the port samplingrate".
    bool portRateMissing = false;
    // Leaves that message (if none is set yet) when the rate is unknown.
    void noteRateUse() const;
    // Ticks per second, or 0 when the rate cannot turn ticks into times
    // (zero, negative or not finite).
    double ticksPerSecond() const;

    // Definition details the parser and postProcess need later.
    float preTriggerMs = 0.0f;
    int16_t subRecordWords = 0;   // words of a multiplexed sub-record (samples + 2)
    int32_t portGroup = 0;        // Port: words P1 and P2 of the definition
    int32_t portNumber = 0;
    NeuralDefinition neural;      // Sorted Neural only

    // Appends a block and updates the statistics.
    void appendBlock(const MapBlock& block);
    // Builds the search tables of the blocks; called once after parsing.
    void finishBlocks();
    void reserveBlocks(size_t count) { blocks_.reserve(count); }

    const std::vector<MapBlock>& blocks() const { return blocks_; }
    uint64_t sampleSum() const { return sampleSum_; }
    uint32_t minSampleCount() const { return minSampleCount_; }
    uint32_t maxSampleCount() const { return maxSampleCount_; }
    int64_t minTimeStamp() const { return minTimeStamp_; }
    int16_t unitCount() const { return unitCount_; }
    // Items of the entity: samples for event and analog entities, blocks for
    // segment and neural entities.
    uint64_t itemCount() const;

    double timeOffset = 0.0;      // seconds, the file's earliest block time

    // Seconds of a tick count on this channel; call only with a usable rate.
    double timeOfTick(int64_t tick) const;

    // Block holding sample item (event and analog entities), or -1.
    int64_t blockOfItem(uint64_t item) const;
    uint64_t firstItemOfBlock(size_t block) const { return firstItem_[block]; }
    // First block whose end tick (time stamp + sample count) lies after tick;
    // blocks.size() when there is none.  This is where a walk over the blocks
    // in file order stops for tick.
    size_t firstBlockEndingAfter(int64_t tick) const;

private:
    MapChannelType type_;
    uint16_t number_;
    float rateKHz_;
    std::string name_;

    std::vector<MapBlock> blocks_;
    std::vector<uint64_t> firstItem_;    // items before each block
    std::vector<int64_t> maxEndTick_;    // largest block end tick up to each block
    uint64_t sampleSum_ = 0;
    uint32_t minSampleCount_ = 0;
    uint32_t maxSampleCount_ = 0;
    int64_t minTimeStamp_ = 0;
    int64_t maxTimeStamp_ = 0;
    int16_t unitCount_ = 1;
};

}  // namespace mapshare
