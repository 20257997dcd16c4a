// Which file the running code was loaded from.  A library finds files that
// belong to it (its settings file) next to itself, not in the folder the host
// happens to run in.
#pragma once

#include <string>

namespace nsplatform {

// The path of the module (shared library or program) that contains address,
// for example the address of one of the caller's own functions.  Empty when
// the system cannot tell, or on Windows when the path does not fit the
// system's classic limit of 259 characters.
std::string ModulePathOf(const void* address);

// The path of the running program, or an empty string when unknown.
std::string ProgramPath();

}  // namespace nsplatform
