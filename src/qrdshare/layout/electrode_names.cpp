#include "layout/electrode_names.h"

namespace qrd {

namespace {

// Hardware order of the amplifier inputs to the 60-electrode array.
const char* const kSingleArrayNames[kSingleArrayChannels] = {
    "47", "48", "46", "45", "38", "37", "28", "36", "27", "17", "26", "16", "35",
    "25", "15", "14", "24", "34", "13", "23", "12", "22", "33", "21", "32", "31",
    "44", "43", "41", "42", "52", "51", "53", "54", "61", "62", "71", "63", "72",
    "82", "73", "83", "64", "74", "84", "85", "75", "65", "86", "76", "87", "77",
    "66", "78", "67", "68", "55", "56", "58", "57", "A1", "A2", "A3", "D1"};

// The second amplifier of a double array brings four more analog inputs and
// shares the one digital input, which moves to the very end.
const char* const kDoubleArrayExtraNames[] = {"A1", "A2", "A3", "A4", "A5", "A6", "A7", "D1"};

}  // namespace

const char* SingleArrayName(int32_t index) {
    if (index < 0 || index >= kSingleArrayChannels) return nullptr;
    return kSingleArrayNames[index];
}

const char* DoubleArrayName(int32_t index) {
    if (index < 0 || index >= kDoubleArrayChannels) return nullptr;
    if (index < kSingleArrayElectrodes) return kSingleArrayNames[index];      // grid A
    if (index < 64) return kDoubleArrayExtraNames[index - 60];               // A1-A4
    if (index < 64 + kSingleArrayElectrodes) return kSingleArrayNames[index - 64];  // grid B
    return kDoubleArrayExtraNames[index - 124 + 4];                          // A5-A7, D1
}

bool ElectrodeGridPosition(const char* name, int32_t& column, int32_t& row) {
    if (!name || name[0] < '0' || name[0] > '9' || name[1] < '0' || name[1] > '9' || name[2] != '\0')
        return false;
    column = name[0] - '0';
    row = name[1] - '0';
    return true;
}

}  // namespace qrd
