// Builds the entity list of a freshly opened recording.
//
// The streams are walked once, in file order; each kind of stream (see
// stream_kind.h) adds its entities with every item time computed here, so the
// index/time conversions never touch the file afterwards.  Analog entities of
// a continuous recording need no sample reads at all (their count comes from
// the recording's start and stop times), so opening an analog-only recording
// with an embedded index reads no samples; only digital channels are scanned
// for their edges.
#pragma once

#include <cstdint>

namespace qrd {

class CQRVAStreamFile;
class EntityTable;

// Appends the entities of every stream of file to table (normally empty).
// Entities are appended as they are made, so after a failure the table keeps
// what was built before it.  False when a spike stream has a channel group
// above 128; such a stream and every later stream get no entities.
bool BuildEntityTable(CQRVAStreamFile& file, int32_t baseIsPressedStart, EntityTable& table);

}  // namespace qrd
