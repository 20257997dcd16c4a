// One entity's items as CSV, for loading into a spreadsheet or analysis
// script:
//
//   event    index,time_s,value        value: the item's data (bytes, 16- or
//                                      32-bit words separated by blanks, or
//                                      the quoted text)
//   analog   index,time_s,value        one row per sample
//   segment  index,time_s,unit,sample_count,samples...
//   neural   index,time_s
//
// Times are seconds as the library reports them (ns_GetTimeByIndex or the
// item's own time stamp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>

namespace nsdump {

class NsLibrary;

// Which items to export: by index (start, count) and/or by time (from, to,
// in seconds: the first item at or after `from`, the last at or before
// `to`).  Nothing given means every item.
struct ItemWindow {
    std::optional<uint32_t> start;
    std::optional<uint32_t> count;
    std::optional<double> fromSeconds;
    std::optional<double> toSeconds;
};

// Writes the CSV of entity `entity` to csv; problems go to log.  An entity
// or a time window without items gives the header line alone.  False when
// the entity cannot be read or --start lies beyond its items.
bool ExportEntityCsv(std::FILE* csv, std::FILE* log, NsLibrary& lib, uint32_t hFile, uint32_t entity,
                     const ItemWindow& window);

}  // namespace nsdump
