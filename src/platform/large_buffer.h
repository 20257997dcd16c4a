// Large, long-lived buffers (caches of decoded data) taken straight from the
// operating system.
//
// A cache entry of a few megabytes is written once and then read many times.
// Taken from the ordinary heap, each fresh entry costs one page fault per
// 4 KiB page on first write, which on some virtual machines costs more than
// decoding the data.  Where the system offers large pages for such memory
// (transparent huge pages), these buffers ask for them: a few faults per
// entry instead of a thousand.
#pragma once

#include <cstddef>

namespace nsplatform {

// The unit these buffers are handed out in: the large-page size of x86-64
// and arm64 Linux (elsewhere just a generous rounding unit).
constexpr size_t kLargeBufferUnit = size_t{2} << 20;

// The size a request of `bytes` actually occupies (rounded up to the unit
// the system hands these buffers out in); caches count this against their
// budget.
size_t LargeBufferSize(size_t bytes);

// A buffer of at least `bytes` bytes with unspecified contents, or null when
// the system has no memory for it.  Release it with FreeLargeBuffer and the
// same size.
void* AllocateLargeBuffer(size_t bytes);
void FreeLargeBuffer(void* buffer, size_t bytes);

}  // namespace nsplatform
