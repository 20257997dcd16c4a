#include "api/entity_label.h"

#include "api/entity_table.h"

#include <cstdio>

namespace qrd {

namespace {

// Right-aligned in at least `width` columns, filled on the left with `fill`;
// a longer text is kept whole.
std::string RightAligned(const std::string& text, size_t width, char fill) {
    if (text.size() >= width) return text;
    return std::string(width - text.size(), fill) + text;
}

std::string FourDigits(int32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d", static_cast<int>(value));
    return buffer;
}

}  // namespace

std::string EntityLabel(const EntityRecord& entity) {
    std::string label = RightAligned(entity.streamTag, 8, '0');
    label += ' ';
    label += FourDigits(entity.channelNumber);
    label += ' ';
    label += FourDigits(entity.channelPosition);
    label += ' ';
    label += RightAligned(entity.channelLabel.substr(0, 8), 8, ' ');
    if (entity.bitNumber != -1) {
        char bit[16];
        std::snprintf(bit, sizeof bit, " %02d", static_cast<int>(entity.bitNumber));
        label += bit;
    }
    if (label.size() > kEntityLabelLength) label.resize(kEntityLabelLength);
    return label;
}

}  // namespace qrd
