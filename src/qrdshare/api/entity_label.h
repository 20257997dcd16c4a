// The label a host shows for an entity (szEntityLabel):
//
//   "<tag> <channel number> <column> <channel label>"        e.g. "elec0001 0012 0011   Ch 12"
//   "<tag> <channel number> <column> <channel label> <bit>"  for digital bits
//
// The tag is right-aligned in 8 columns and filled with '0' on the left,
// numbers have at least four digits (a negative one keeps its sign: -001),
// the channel label shows its first 8 characters right-aligned in 8 columns,
// the bit number has two digits.
#pragma once

#include <string>

namespace qrd {

struct EntityRecord;

// Longest label: szEntityLabel holds 31 characters and a NUL.
constexpr size_t kEntityLabelLength = 31;

// The label, cut to kEntityLabelLength characters when a long tag or a large
// number would make it longer.
std::string EntityLabel(const EntityRecord& entity);

}  // namespace qrd
