// The version of the recording application that wrote a QRD file.
//
// The file header stores it as two u32 words: the first holds the major
// number in its high and the minor number in its low half, the second the
// third and fourth numbers the same way.  The words belong to each open
// file; nothing library-wide remembers them, so two open recordings of
// different application versions never see each other's version.
#pragma once

#include <cstdint>
#include <string>

namespace qrd {

struct AppVersion {
    uint16_t major = 0;
    uint16_t minor = 0;
    uint16_t third = 0;
    uint16_t fourth = 0;
};

AppVersion SplitAppVersion(uint32_t firstWord, uint32_t secondWord);
// "major.minor.third.fourth"
std::string FormatAppVersion(const AppVersion& version);

// Recorders before 1.34 did not store the recording mode and sweep length
// reliably; for their files both are worked out from the chunk times.
bool NeedsOldRecordingProbes(const AppVersion& version);

}  // namespace qrd
