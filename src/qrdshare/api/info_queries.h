// Bodies of the entity information calls.  They run after the entry point's
// checks have passed (the identifier names an open file, the record size is
// right, the entity exists and has the type the call serves) and always
// succeed from there.
#pragma once

#include "nsapi/nsapi.h"

namespace qrd {

class CQRVAStreamFile;
struct EntityRecord;

// Each returns ns_OK once it filled the record; ns_LIBERROR while the body
// is not available for that kind of record.
ns_RESULT FillEntityInfo(const CQRVAStreamFile& file, const EntityRecord& entity, ns_ENTITYINFO& info);
ns_RESULT FillEventInfo(const CQRVAStreamFile& file, const EntityRecord& entity, ns_EVENTINFO& info);
ns_RESULT FillAnalogInfo(const CQRVAStreamFile& file, const EntityRecord& entity, ns_ANALOGINFO& info);
ns_RESULT FillSegmentInfo(const CQRVAStreamFile& file, const EntityRecord& entity, ns_SEGMENTINFO& info);
ns_RESULT FillSegmentSourceInfo(const CQRVAStreamFile& file, const EntityRecord& entity, ns_SEGSOURCEINFO& info);

}  // namespace qrd
