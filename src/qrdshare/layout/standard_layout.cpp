// Layouts of the standard source types, built from the file header's counts
// rather than read from the file: linear numbering, the 60-electrode array
// and the double array of two such grids.
#include <algorithm>
#include <cstdio>
#include <string>

#include "layout/electrode_names.h"
#include "layout/qr_layout.h"

namespace qrd {

namespace {

enum ChannelKind : int32_t { kElectrode = 0, kAnalogInput = 1, kDigitalInput = 2 };

// What differs between the channels of a layout; the rest of a filled entry
// is the same for every channel.
struct ChannelPlacement {
    ChannelKind kind = kElectrode;
    std::string name;
    std::string label;
    int32_t group = 0;
    std::string groupName;
    int32_t posX = 0, posY = 0;
    int32_t dx = 0, dy = 0;
};

void FillEntry(CChannelEntry& e, int32_t index, const ChannelPlacement& p) {
    e.setHwid(index);
    e.setSubtype(p.kind);
    // Electrodes are recorded in microvolt steps of the amplifier (1000),
    // analog and digital inputs in unit steps.
    e.setValue1(p.kind == kElectrode ? 1000 : 1);
    e.setValue2(0);
    e.setValue3(50000000);
    e.setCatalogue("");
    e.setMapIndex(index);
    e.setName(p.name);
    e.setLabel(p.label);
    e.setAltName(p.name);
    e.setGroup(p.group);
    e.setGroupName(p.groupName);
    e.setEnabled(1);
    e.setPosX(p.posX);
    e.setPosY(p.posY);
    e.setPosZ(0);
    e.setExtentX(1000);
    e.setExtentY(1000);
    e.setExtentZ(1000);
    e.setDx(p.dx);
    e.setDy(p.dy);
    e.setDxextend(100);
    e.setDyextend(100);
}

int32_t SaturateToI32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

ChannelPlacement DigitalInput() {
    ChannelPlacement p;
    p.kind = kDigitalInput;
    p.name = p.label = "D1";
    return p;
}

// Linear numbering: electrodes "01", "02", ..., analog inputs "A1", ... and
// digital inputs, all "D1", each kind on a grid of its own.  Counts are taken
// as 64-bit so no combination of header values can overflow.
void BuildLinear(CQRLayout& layout) {
    const int64_t electrodes = layout.electrodeCount;
    const int64_t analog = layout.analogCount;
    const int32_t n = static_cast<int32_t>(layout.entries.size());
    for (int32_t i = 0; i < n; ++i) {
        ChannelPlacement p;
        int64_t h = 0;
        int64_t width = 8;
        char name[32];
        if (i < electrodes) {
            p.kind = kElectrode;
            h = i;
            if (electrodes > 128) width = 16;
            std::snprintf(name, sizeof name, "%02d", i + 1);
        } else if (i >= electrodes + analog) {
            p.kind = kDigitalInput;
        } else {
            p.kind = kAnalogInput;
            h = i - electrodes;
            if (analog > 128) width = 16;
            std::snprintf(name, sizeof name, "A%lld", static_cast<long long>(i - electrodes + 1));
        }
        if (p.kind == kDigitalInput) {
            p = DigitalInput();
        } else {
            p.name = p.label = name;
            p.posX = SaturateToI32((h % width) * 1000);
            p.posY = SaturateToI32((h / width) * 1000);
            p.dx = SaturateToI32((h % width) * 100);
            p.dy = SaturateToI32((h / width) * 100);
        }
        FillEntry(layout.entries[static_cast<size_t>(i)], i, p);
    }
}

// An electrode of an array grid, placed by the column and row its name
// carries; rowShift moves the second grid of a double array below the first.
ChannelPlacement ArrayElectrode(const char* name, int32_t rowShift) {
    ChannelPlacement p;
    p.kind = kElectrode;
    p.name = p.label = name;
    int32_t column = 1, row = 1;
    ElectrodeGridPosition(name, column, row);
    p.posX = (column - 1) * 1000;
    p.posY = (row - 1 + rowShift) * 1000;
    p.dx = (column - 1) * 100;
    p.dy = (row - 1 + rowShift) * 100;
    return p;
}

// Analog inputs of an array amplifier sit in one row, k-th input at x = k.
ChannelPlacement ArrayAnalogInput(const char* name, int32_t k) {
    ChannelPlacement p;
    p.kind = kAnalogInput;
    p.name = p.label = name;
    p.posX = k;
    p.dx = k * 100;
    return p;
}

void BuildSingleArray(CQRLayout& layout) {
    const int32_t n = std::min<int32_t>(kSingleArrayChannels, static_cast<int32_t>(layout.entries.size()));
    for (int32_t i = 0; i < n; ++i) {
        const char* name = SingleArrayName(i);
        ChannelPlacement p;
        if (i < kSingleArrayElectrodes) {
            p = ArrayElectrode(name, 0);
            p.groupName = "Grid60";
        } else if (i < kSingleArrayChannels - 1) {
            p = ArrayAnalogInput(name, i - kSingleArrayElectrodes);
        } else {
            p = DigitalInput();
        }
        FillEntry(layout.entries[static_cast<size_t>(i)], i, p);
    }
}

void BuildDoubleArray(CQRLayout& layout) {
    const int32_t n = std::min<int32_t>(kDoubleArrayChannels, static_cast<int32_t>(layout.entries.size()));
    for (int32_t i = 0; i < n; ++i) {
        const char* name = DoubleArrayName(i);
        const bool gridA = i < 60;
        const bool gridB = i >= 64 && i < 124;
        ChannelPlacement p;
        if (gridA || gridB) {
            const std::string letter = gridA ? "A" : "B";
            p = ArrayElectrode(name, gridA ? 0 : 8);
            p.label = std::string(name) + letter;
            p.group = gridA ? 0 : 1;
            p.groupName = "MEA " + letter;
        } else if (i < kDoubleArrayChannels - 1) {
            // A1-A4 follow grid A, A5-A7 follow grid B; k runs 0 to 6 over both.
            p = ArrayAnalogInput(name, i < 64 ? i - 60 : i - 120);
        } else {
            p = DigitalInput();
        }
        FillEntry(layout.entries[static_cast<size_t>(i)], i, p);
    }
}

}  // namespace

void BuildStandardLayout(CQRLayout& layout, int32_t sourceType, int32_t total, int32_t electrodes,
                         int32_t analog, int32_t digital, int32_t stop) {
    layout.sourceType = sourceType;
    layout.totalCount = total;
    layout.electrodeCount = electrodes;
    layout.analogCount = analog;
    layout.digitalCount = digital;
    layout.entries.clear();
    // The header's total is the number of hardware channels; a negative or
    // absurd value from a damaged header must not turn into a huge array.
    layout.entries.resize(static_cast<size_t>(std::clamp<int32_t>(total, 0, kMaxLayoutEntries)));
    if (stop != 0) return;

    switch (sourceType) {
        case 0: BuildLinear(layout); break;       // linear numbering
        case 1: BuildSingleArray(layout); break;  // 60-electrode array
        case 2: BuildDoubleArray(layout); break;  // two arrays
        default: break;  // no standard naming: the entries keep their defaults
    }
}

}  // namespace qrd
