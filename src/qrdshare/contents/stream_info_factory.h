// Turns a stream's stored tool settings into the info object of its type.
//
//   "trigger"  -> CQRVAInfoTrigger          "PARAMTRG"
//   "chat"     -> CMChannelToolProperty     "PARAMCHT"
//   "filter"   -> CMFilterProperty          "PARAMFLT"
//   "spikes"   -> CQRVAInfoSpike            "PARAMSPK"
//   "average"  -> CQRVAInfoAverage          "PARAMEVP"
//   "spkparam" -> CQRVAInfoSpikeParameter   "PARAMSPP"
//   "bstparam" -> CQRVAInfoBurstParameter   "PARAMBSP"
//   "params"   -> CQRVAInfoParam            (no marker; opens with "FMTBLPAR")
//   "analog", "digital" and unknown types have no info.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "contents/info_object.h"

namespace qrd {

struct StreamInfoInput {
    std::string typeName;                 // stream type name, e.g. "trigger"
    const uint8_t* settings = nullptr;    // the STRMFMT settings bytes (may be null)
    size_t settingsLength = 0;
    uint32_t streamVersion = 0;           // stream header version
    double unitStep = 0.0;                // format header values, used by "params"
    uint16_t adcZero = 0;
    int16_t adcBits = 0;
    uint16_t appMajorVersion = 0;         // application major version of the owning recording
};

// A new info object for the stream (the caller owns it; tell the classes
// apart with GetKind or InfoCast), or null: a type without info, a marker
// that does not match, or settings that do not decode.
std::unique_ptr<InfoObject> CreateStreamInfo(const StreamInfoInput& in);

}  // namespace qrd
