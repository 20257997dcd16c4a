// Filling the Neuroshare information records of the MAP reader.  Each fill
// writes only the fields it names, and texts only up to their NUL, so bytes
// of a host's record that no field covers keep what the host put there.
#pragma once

#include <nsapi/nsapi.h>

namespace mapshare {

class MapChannel;

const ns_LIBRARYINFO& libraryInfo();
void fillEntityInfo(const MapChannel& channel, ns_ENTITYINFO& info);
void fillEventInfo(const MapChannel& channel, ns_EVENTINFO& info);
void fillAnalogInfo(const MapChannel& channel, ns_ANALOGINFO& info);
void fillSegmentInfo(const MapChannel& channel, ns_SEGMENTINFO& info);
void fillSegmentSourceInfo(const MapChannel& channel, ns_SEGSOURCEINFO& info);
void fillNeuralInfo(const MapChannel& channel, ns_NEURALINFO& info);

}  // namespace mapshare
