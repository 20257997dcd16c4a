// The last step of parsing: sorted units of segment channels and mapped
// digital or port channels become Sorted Neural entities.
#pragma once

namespace mapshare {

class MapFile;

void postProcess(MapFile& file);

}  // namespace mapshare
