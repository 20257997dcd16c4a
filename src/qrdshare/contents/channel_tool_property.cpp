#include "contents/channel_tool_property.h"

#include "contents/settings_text.h"

namespace qrd {

// Channel tool block: u16 tool value, then two counted texts (i32 length).
bool DecodeChannelToolSettings(LeReader& r, CMChannelToolProperty& out) {
    out.toolValue = r.U16();
    out.firstText = ReadTextI32(r, TextEnd::Counted);
    out.secondText = ReadTextI32(r, TextEnd::Counted);
    return r.ok();
}

}  // namespace qrd
