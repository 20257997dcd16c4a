// Putting a finished file in place of another in one step, so that readers
// see either the old file or the new one, never a half-written one.
#pragma once

#include <string>

namespace nsplatform {

// Renames from to to, replacing an existing to.  False (from is left in
// place) when the system refuses.
bool ReplaceFile(const std::string& from, const std::string& to);

// A name for a temporary file next to path that no other process or thread
// of this machine uses at the same time: path + ".tmp" + process id + a
// per-process counter.
std::string UniqueTemporaryName(const std::string& path);

}  // namespace nsplatform
