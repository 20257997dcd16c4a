#include "platform/environment.h"

#include <cstdlib>

namespace nsplatform {

#ifdef _WIN32

bool SetEnvironmentText(const std::string& name, const std::string& value) {
    return _putenv_s(name.c_str(), value.c_str()) == 0;
}

// An empty value removes the variable.
bool ClearEnvironmentText(const std::string& name) { return _putenv_s(name.c_str(), "") == 0; }

#else

bool SetEnvironmentText(const std::string& name, const std::string& value) {
    return setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool ClearEnvironmentText(const std::string& name) { return unsetenv(name.c_str()) == 0; }

#endif

}  // namespace nsplatform
