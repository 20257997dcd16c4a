// The per-stream steps of the entity table build (entity_builder.cpp runs
// them in stream order).  Each appends its records to the table.
#pragma once

#include <cstdint>
#include <string>

namespace qrd {

class CQRVAStream;
class CQRVAStreamFile;
class EntityTable;
struct EntityRecord;

struct EntityBuild {
    CQRVAStreamFile& file;
    EntityTable& table;
    double timeOffset;
};

// One event entity whose items are the stream's trigger events.
void AddTriggerEntity(EntityBuild& build, CQRVAStream& stream, int32_t streamIndex, const std::string& tag);

// One segment entity per group-0 channel, items counted from the spikes.
// False (nothing appended) when a channel's group is above 128.
bool AddSpikeEntities(EntityBuild& build, CQRVAStream& stream, int32_t streamIndex, const std::string& tag);

// Analog entities, the 16 bit entities of digital channels and, in sweep
// recordings, one segment entity per channel.
void AddRawDataEntities(EntityBuild& build, CQRVAStream& stream, int32_t streamIndex, const std::string& tag);

// Largest number of samples per channel the stream's file could hold: no
// count derived from time stamps may exceed it.
uint64_t MaxSamplesPerChannel(CQRVAStreamFile& file, uint32_t channelCount);

}  // namespace qrd
