#include "api/sample_scale.h"

#include "container/stream.h"

namespace qrd {

SampleScale StreamScale(const CQRVAStream& stream) { return SampleScale{stream.GetAdcZero(), stream.GetUnitStep()}; }

}  // namespace qrd
