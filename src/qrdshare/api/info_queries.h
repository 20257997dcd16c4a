// Bodies of the entity information calls.  They run after the entry point's
// checks have passed (the identifier names an open file, the record size is
// right, the entity exists and has the type the call serves) and always
// succeed from there.
#pragma once

#include "nsapi/nsapi.h"

namespace qrd {

class CQRVAStreamFile;
struct EntityRecord;

// Each fills the record's fields (texts only up to their NUL) and returns
// ns_OK.  An entity whose column names no channel of its stream reports
// zeros for the channel's location and filter corners.
ns_RESULT FillEntityInfo(const CQRVAStreamFile& file, const EntityRecord& entity, ns_ENTITYINFO& info);
ns_RESULT FillEventInfo(const CQRVAStreamFile& file, const EntityRecord& entity, ns_EVENTINFO& info);
ns_RESULT FillAnalogInfo(const CQRVAStreamFile& file, const EntityRecord& entity, ns_ANALOGINFO& info);
ns_RESULT FillSegmentInfo(const CQRVAStreamFile& file, const EntityRecord& entity, ns_SEGMENTINFO& info);
ns_RESULT FillSegmentSourceInfo(const CQRVAStreamFile& file, const EntityRecord& entity, ns_SEGSOURCEINFO& info);

}  // namespace qrd
