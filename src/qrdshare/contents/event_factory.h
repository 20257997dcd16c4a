// Which cursor class reads a stream's chunks, and how a chunk becomes the
// first event of its payload.
//
//   "spikes"   -> CQRVAEvtSpike             "trigger"  -> CQRVAEvtTrigger
//   "average"  -> CQRVAEvtAverage           "params"   -> CQRVAEvtParam
//   "spkparam" -> CQRVAEvtSpikeParameter    "bstparam" -> CQRVAEvtBurstParameter
//   "analog", "digital", "chat", "filter"   -> CQRVAEvtRaw
//   any other type has no cursor.
#pragma once

#include <memory>

#include "contents/event.h"

namespace qrd {

class CQRVAChunk;
class CQRVAStream;

// A fresh, unloaded cursor of the stream's class, or null.
std::unique_ptr<CQRVAEvent> NewEventFor(const CQRVAStream& stream);

// The first event of a chunk's payload.  On success the event owns the chunk
// (chunk is left null); null when the stream type has no cursor, the payload
// is empty or cannot be read, or it holds no complete first record: the chunk
// then stays the caller's, who goes on to the next chunk with it.
std::unique_ptr<CQRVAEvent> CreateEvent(std::unique_ptr<CQRVAChunk>& chunk);

// An independent copy of any cursor (its own payload copy and chunk
// description), or null for null.
std::unique_ptr<CQRVAEvent> CloneEvent(const CQRVAEvent* event);

}  // namespace qrd
