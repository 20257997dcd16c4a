#include "contents/info_average.h"

#include "container/le_codec.h"
#include "contents/settings_text.h"

namespace qrd {

// Averager block (all versions):
//   i32 value 2, i32 value 1 (low 16 bits kept), time window label and
//   averager label (zero-ended, i32 length), u16 channel, f32 window start,
//   f32 window end.  The window's two labels and two channels are one value.
bool CQRVAInfoAverage::Decode(const uint8_t* body, size_t length, uint32_t /*version*/) {
    if (body == nullptr) return false;
    LeReader r(body, length);
    property_.value2 = r.U32();
    property_.value1 = static_cast<uint16_t>(r.U32());
    CMTimeWindowProperty& window = property_.GetTimeWindow();
    window.firstLabel = ReadTextI32(r, TextEnd::ZeroEnded);
    window.secondLabel = window.firstLabel;
    property_.label = ReadTextI32(r, TextEnd::ZeroEnded);
    window.firstChannel = r.U16();
    window.secondChannel = window.firstChannel;
    window.windowStart = r.F32();
    window.windowEnd = r.F32();
    return r.ok();
}

}  // namespace qrd
