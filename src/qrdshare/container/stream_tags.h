// Stream tags and chunk tags of QRD streams.
//
// Every stream has a stream tag (how the file header's trigger fields and
// the host name it, e.g. "elec0001") and a chunk tag (the tag its data chunks
// carry).  Files of header version 5 and above store the stream tag and use it
// as the chunk tag; older files store neither, so both are derived from the
// stream header the way the recorder of that time named them.
#pragma once

#include <cstdint>
#include <string>

namespace qrd {

// Stream tag of a stream in a file of header version 4 or below: a four-letter
// prefix and a four-digit hexadecimal number.  The raw-data streams are
// "elec0001", "anlg0001" and "digi0001"; other streams take the prefix from
// their type and the number that ends their name ("Trigger 2" of type
// "trigger" is "trig0002").  Types without a prefix give an empty tag.
std::string DeriveStreamTag(const std::string& typeName, const std::string& streamName);

// Chunk tag of a stream in a file of header version 4 or below: the stream ID
// as five hexadecimal digits and a three-letter suffix of the type
// (stream ID 1 of type "analog" gives "00001raw").
std::string DeriveChunkTag(uint16_t streamId, const std::string& typeName);

// The type name as the tag rules compare it: its first 8 characters, lower case.
std::string NormalisedTypeName(const std::string& typeName);

}  // namespace qrd
