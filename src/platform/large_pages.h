// Memory for large caches, taken from the system in whole pages.
//
// Filling fresh memory costs a page fault for every page first touched, and
// with 4 KiB pages that cost can exceed reading the same bytes from a file
// in the page cache many times over (it does on virtual machines).  Where the
// system offers larger pages on request (transparent huge pages on Linux),
// this memory asks for them: one fault then fills 2 MiB.
#pragma once

#include <cstddef>

namespace nsplatform {

// The unit in which large pages are handed out.
constexpr size_t kLargePageBytes = size_t{2} << 20;

// bytes (rounded up to whole kLargePageBytes) of zeroed memory aligned to
// kLargePageBytes, or null when the system refuses.
void* AllocateLargePages(size_t bytes);

// Gives back memory from AllocateLargePages with the size it was asked for.
void FreeLargePages(void* memory, size_t bytes);

}  // namespace nsplatform
