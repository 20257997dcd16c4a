// Fixed channel names of the two electrode-array source types.
//
// The 60-electrode array is an 8 x 8 grid without its four corners; each
// electrode is named by two digits, column (1 to 8) then row (1 to 8).  The
// tables list the names in hardware-index order, followed by the analog
// inputs and the digital input of the amplifier.
#pragma once

#include <cstdint>

namespace qrd {

constexpr int32_t kSingleArrayChannels = 64;   // 60 electrodes, A1-A3, D1
constexpr int32_t kSingleArrayElectrodes = 60;
constexpr int32_t kDoubleArrayChannels = 128;  // two grids, A1-A7, D1

// Name of hardware channel index in the single array (0 to 63), or nullptr
// outside the table.
const char* SingleArrayName(int32_t index);
// Name of hardware channel index in the double array (0 to 127): the 60
// electrode names, A1-A4, the 60 names again, A5-A7 and D1; nullptr outside.
const char* DoubleArrayName(int32_t index);

// Grid column and row (1-based) of a two-digit electrode name such as "47";
// false for names that are not two digits.
bool ElectrodeGridPosition(const char* name, int32_t& column, int32_t& row);

}  // namespace qrd
