// The 8-byte markers that open each stream type's settings block.
#pragma once

#include <cstddef>

namespace qrd {

constexpr size_t kSettingsMarkerSize = 8;

constexpr char kTriggerMarker[] = "PARAMTRG";
constexpr char kChannelToolMarker[] = "PARAMCHT";
constexpr char kFilterMarker[] = "PARAMFLT";
constexpr char kSpikeMarker[] = "PARAMSPK";
constexpr char kAverageMarker[] = "PARAMEVP";
constexpr char kSpikeParameterMarker[] = "PARAMSPP";
constexpr char kBurstParameterMarker[] = "PARAMBSP";

}  // namespace qrd
