#include "container/app_version.h"

namespace qrd {

AppVersion SplitAppVersion(uint32_t firstWord, uint32_t secondWord) {
    AppVersion v;
    v.major = static_cast<uint16_t>(firstWord >> 16);
    v.minor = static_cast<uint16_t>(firstWord & 0xFFFF);
    v.third = static_cast<uint16_t>(secondWord >> 16);
    v.fourth = static_cast<uint16_t>(secondWord & 0xFFFF);
    return v;
}

std::string FormatAppVersion(const AppVersion& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.third) + "." + std::to_string(version.fourth);
}

bool NeedsOldRecordingProbes(const AppVersion& version) { return version.major == 1 && version.minor < 34; }

}  // namespace qrd
