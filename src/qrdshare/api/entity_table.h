// The entity list of one open recording, as the host numbers it.
//
// A recording is a list of streams with channels; a Neuroshare host sees a
// flat list of entities (event, analog and segment).  Each open file slot of
// the registry owns one EntityTable, built right after the file is opened and
// read-only afterwards: the position of a record in the table is the entity
// index the host passes in, and every item time is precomputed here so that
// index/time conversions never touch the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qrd {

// A run of items that share one start time: one event, one spike, one sweep,
// or the whole of a continuous channel.
struct ItemBlock {
    uint32_t firstIndex = 0;   // entity item index of the block's first item
    uint32_t count = 0;        // items in the block
    double startTime = 0.0;    // seconds of the first item
    uint8_t edge = 0;          // digital edges: 1 rising, 0xFF falling
    uint16_t eventValue = 0;   // trigger items only
    uint16_t triggerWord = 0;  // trigger items only
};

// A chunk of a spike stream that holds counted spikes.
struct SpikeChunk {
    uint64_t dataOffset = 0;  // file offset of the payload
    uint64_t dataSize = 0;    // payload bytes
    uint32_t spikes = 0;      // spikes counted in it, over all entities
};

// Where one spike record lies: recorded while the spikes are counted at
// open, one per item of a spike segment entity.
struct SpikePosition {
    uint64_t offset = 0;      // of the record in the chunk's payload
    uint32_t chunk = 0;       // index into the stream's SpikeChunk list
    int32_t sampleCount = 0;  // samples of the cut-out, as counted
};
static_assert(sizeof(SpikePosition) <= 16, "a spike's position costs at most 16 bytes");

// Entity types as the host sees them (ns_ENTITY_EVENT, _ANALOG, _SEGMENT).
enum EntityKind : int32_t {
    kEntityEvent = 1,
    kEntityAnalog = 2,
    kEntitySegment = 3,
};

// Everything the query calls need to find an entity's stream and channel
// again, plus its precomputed items.
struct EntityRecord {
    std::string streamTag;        // stream tag text: four letters, four hex digits
    int32_t streamIndex = 0;      // index of the stream in the file
    int32_t channelNumber = 0;    // channel number; 0 for trigger entities
    int32_t channelPosition = 0;  // channel column used to read samples
    int32_t hardwareIndex = 0;    // spike segment entities: matched against spike ids
    std::string channelLabel;     // channel label; the stream tag for trigger entities
    int32_t bitNumber = -1;       // 0..15 for a digital-bit event entity, else -1
    int32_t entityType = 0;       // EntityKind
    int32_t itemCount = 0;
    std::vector<ItemBlock> blocks;
    int32_t minSampleCount = 0;   // segment entities: shortest segment
    int32_t maxSampleCount = 0;   // segment entities: longest segment
    // Items per block when all blocks hold the same number (1 for events and
    // segments, the sweep length for sweep-mode analog entities, 0 when the
    // lengths differ or the channel is continuous, -1 without sweeps).
    int32_t blockLength = 0;
    // The blocks' start and end times never decrease, so a time can be
    // looked up by bisection (set when the entity is built).
    bool timeOrdered = false;
    // Spike segment entities: where each item's spike record lies, so that
    // a cut-out is read straight from its place, in any order; the chunks
    // are listed once per stream and shared by its entities.
    std::vector<SpikePosition> spikes;
    std::shared_ptr<const std::vector<SpikeChunk>> spikeChunks;

    EntityRecord();
    ~EntityRecord();
    EntityRecord(const EntityRecord&) = delete;
    EntityRecord& operator=(const EntityRecord&) = delete;
};

class EntityTable {
public:
    EntityTable() = default;
    EntityTable(const EntityTable&) = delete;
    EntityTable& operator=(const EntityTable&) = delete;

    size_t Count() const { return records_.size(); }
    // The record at entity index i, or null when i is out of range.
    const EntityRecord* At(uint32_t i) const { return i < records_.size() ? records_[i].get() : nullptr; }
    EntityRecord* At(uint32_t i) { return i < records_.size() ? records_[i].get() : nullptr; }

    // Appends a new record with the defaults above and returns it for filling.
    EntityRecord& Add();

private:
    std::vector<std::unique_ptr<EntityRecord>> records_;
};

}  // namespace qrd
