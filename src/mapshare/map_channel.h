// One channel of a MAP recording, which is one Neuroshare entity, with the
// block descriptors that parsing found for it.
#pragma once

#include "table_arena.h"

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

// Where one data block of a channel lies in the file.  A long recording has
// millions of blocks, and filling their memory is most of what opening it
// costs, so a block takes 16 bytes: the time stamp is kept as stored and the
// channel applies its pre-trigger shift when it hands out the start tick.
struct MapBlock {
    uint32_t stamp;        // time stamp as stored in the file
    uint32_t position;     // absolute file position of the first payload byte
    uint16_t sampleCount;  // at most 32765: a record holds at most 65535 bytes
    int16_t value;         // port or digital value of an event block
    int8_t unit;           // sorting result of a segment, 0 for multiplexed blocks
};
static_assert(sizeof(MapBlock) <= 16, "a million blocks must stay small in memory");

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

    // The block tables take their memory from tables (the file's arena), or
    // from the heap without one.
    MapChannel(MapChannelType type, uint16_t number, float rateKHz, std::string name, TableArena* tables = nullptr);

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

    // Segment blocks are stamped at the trigger; their first stored sample
    // lies this many ticks earlier.  0 for the other types.
    int32_t startShift() const { return startShift_; }
    void setStartShift(int32_t ticks) { startShift_ = ticks; }
    // First sample of a block, in ticks of the channel.  Signed: the shift
    // may move a block start below tick 0, and that must not wrap around.
    int64_t startTick(const MapBlock& block) const { return int64_t{block.stamp} - startShift_; }

    // Appends a block and updates the statistics.
    void appendBlock(const MapBlock& block);
    // Builds the search tables of the blocks; called once after parsing.
    void finishBlocks();
    void reserveBlocks(size_t count) { blocks_.reserve(count); }

    const Table<MapBlock>& blocks() const { return blocks_; }
    uint64_t sampleSum() const { return sampleSum_; }
    uint32_t minSampleCount() const { return minSampleCount_; }
    uint32_t maxSampleCount() const { return maxSampleCount_; }
    int64_t minTimeStamp() const { return int64_t{minStamp_} - startShift_; }
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

    Table<MapBlock> blocks_;
    // Items before each block.  32 bits suffice: every sample of a channel
    // takes two bytes of its own in a file of at most 4 GiB.
    Table<uint32_t> firstItem_;
    // Largest block end tick up to each block; left empty when the block ends
    // ascend (as in any recording written in time order), since the ends
    // themselves then answer the search.
    Table<int64_t> maxEndTick_;
    uint64_t sampleSum_ = 0;
    uint32_t minSampleCount_ = 0;
    uint32_t maxSampleCount_ = 0;
    uint32_t minStamp_ = 0;
    uint32_t maxStamp_ = 0;
    int32_t startShift_ = 0;
    int16_t unitCount_ = 1;
};

}  // namespace mapshare
