#include "api/info_queries.h"

#include "api/entity_table.h"

namespace qrd {

// Entity records are not produced yet (every open file has an empty entity
// table), so the entry points never reach these bodies; they refuse rather
// than hand out a record they did not fill.

ns_RESULT FillEntityInfo(const CQRVAStreamFile&, const EntityRecord&, ns_ENTITYINFO&) { return ns_LIBERROR; }
ns_RESULT FillEventInfo(const CQRVAStreamFile&, const EntityRecord&, ns_EVENTINFO&) { return ns_LIBERROR; }
ns_RESULT FillAnalogInfo(const CQRVAStreamFile&, const EntityRecord&, ns_ANALOGINFO&) { return ns_LIBERROR; }
ns_RESULT FillSegmentInfo(const CQRVAStreamFile&, const EntityRecord&, ns_SEGMENTINFO&) { return ns_LIBERROR; }
ns_RESULT FillSegmentSourceInfo(const CQRVAStreamFile&, const EntityRecord&, ns_SEGSOURCEINFO&) {
    return ns_LIBERROR;
}

}  // namespace qrd
