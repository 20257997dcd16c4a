// The process environment: mapshare reads its cache budget from it, and
// tests set it before a library reads it.
#pragma once

#include <string>

namespace nsplatform {

// Sets variable name to value for this process (and the libraries it loads
// afterwards); false when the system refuses.
bool SetEnvironmentText(const std::string& name, const std::string& value);

// Removes variable name from the environment; false when the system refuses.
bool ClearEnvironmentText(const std::string& name);

}  // namespace nsplatform
