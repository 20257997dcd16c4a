// How much memory the machine has, for sizing caches that scale with it.
#pragma once

#include <cstdint>

namespace nsplatform {

// Bytes of physical memory, or 0 when the system cannot tell.
uint64_t PhysicalMemoryBytes();

}  // namespace nsplatform
