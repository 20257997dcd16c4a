// The memory that the piece caches of all open files share (piece_cache.h).
//
// One budget for the process, made when the library is first used: the
// environment variable MAPSHARE_CACHE_MB gives it in megabytes (0 turns the
// caches off); without it, or with a value that is not a whole number, the
// budget is nscommon::DefaultCacheBudgetBytes() (an eighth of physical
// memory, at most 4 GiB, or 256 MiB in a 32-bit build).
#pragma once

#include "common/cache_budget.h"

#include <cstddef>
#include <cstdint>

namespace mapshare {

constexpr const char* kCacheBudgetVariable = "MAPSHARE_CACHE_MB";

nscommon::CacheBudget& sampleCacheBudget();

// The piece size for a budget: 256 KiB, smaller for budgets of less than
// 16 pieces, never below 64 KiB.
size_t pieceBytesFor(uint64_t budgetBytes);

}  // namespace mapshare
