// Readable names of Neuroshare result codes and entity/event types.
#pragma once

#include "nsapi/nsapi.h"

#include <cstdint>
#include <string>

namespace nsdump {

// "ns_TYPEERROR (-2)"; unknown codes as "unknown result (n)".
std::string ResultName(ns_RESULT code);
const char* EntityTypeName(uint32_t type);
const char* EventTypeName(uint32_t type);

}  // namespace nsdump
