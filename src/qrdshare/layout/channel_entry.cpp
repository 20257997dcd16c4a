#include "layout/channel_entry.h"

namespace qrd {

// The values an entry has before anything names or places it: no hardware
// index and no kind (-1), a unit cube of 1000 for the electrode extent and a
// 100 x 100 drawing cell.  Texts are empty and every other field is zero.
CChannelEntry::CChannelEntry() {
    image_.fill(0);
    setHwid(-1);
    setSubtype(-1);
    setValue1(-1);
    setValue3(50000000);
    setGroup(-1);
    setExtentX(1000);
    setExtentY(1000);
    setExtentZ(1000);
    setDxextend(100);
    setDyextend(100);
    setMapIndex(-1);
}

}  // namespace qrd
