#include "api/data_queries.h"

#include "api/entity_table.h"

namespace qrd {

// Entity records are not produced yet (every open file has an empty entity
// table), so the entry points never reach these bodies; until they exist
// every request reports failure and writes nothing.

bool ReadEventData(CQRVAStreamFile&, EntityRecord&, uint32_t, double*, void*, uint32_t, uint32_t*) { return false; }
bool ReadAnalogData(CQRVAStreamFile&, EntityRecord&, uint32_t, uint32_t, uint32_t*, double*) { return false; }
bool ReadSegmentData(CQRVAStreamFile&, EntityRecord&, int32_t, double*, double*, uint32_t, uint32_t*, uint32_t*) {
    return false;
}
bool IndexByTime(CQRVAStreamFile&, EntityRecord&, double, int32_t, uint32_t&) { return false; }
bool TimeByIndex(CQRVAStreamFile&, EntityRecord&, uint32_t, double&) { return false; }

}  // namespace qrd
