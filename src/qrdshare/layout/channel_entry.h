// One hardware channel of a QRD layout, kept as the flat 1368-byte record
// that the layout block stores byte for byte.
//
// Keeping the record as a byte image (instead of a struct of members) means a
// layout block entry is read by copying its bytes over a default entry, and
// an older, shorter entry version simply leaves the tail at its defaults.
// The typed accessors below are the only way the rest of the reader looks at
// the fields.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "container/le_codec.h"

namespace qrd {

class CChannelEntry {
public:
    static constexpr size_t kSize = 1368;

    // Field offsets inside the record.
    static constexpr size_t kOffHwid = 0;
    static constexpr size_t kOffSubtype = 4;
    static constexpr size_t kOffValue1 = 8;
    static constexpr size_t kOffValue2 = 12;
    static constexpr size_t kOffValue3 = 16;
    static constexpr size_t kOffName = 20;
    static constexpr size_t kNameWidth = 257;
    static constexpr size_t kOffLabel = 277;
    static constexpr size_t kLabelWidth = 259;
    static constexpr size_t kOffGroup = 536;
    static constexpr size_t kOffGroupName = 540;
    static constexpr size_t kGroupNameWidth = 260;
    static constexpr size_t kOffEnabled = 800;
    static constexpr size_t kOffPosX = 804;
    static constexpr size_t kOffPosY = 808;
    static constexpr size_t kOffPosZ = 812;
    static constexpr size_t kOffExtentX = 816;
    static constexpr size_t kOffExtentY = 820;
    static constexpr size_t kOffExtentZ = 824;
    static constexpr size_t kOffDx = 828;
    static constexpr size_t kOffDy = 832;
    static constexpr size_t kOffDxExtend = 836;
    static constexpr size_t kOffDyExtend = 840;
    static constexpr size_t kOffAltName = 844;
    static constexpr size_t kAltNameWidth = 257;
    static constexpr size_t kOffCatalogue = 1101;
    static constexpr size_t kCatalogueWidth = 259;
    static constexpr size_t kOffMapIndex = 1360;
    static constexpr size_t kOffMapCondition = 1364;

    // Older layout blocks store only a prefix of the record: version 1 ends
    // after the drawing height, version 2 after the catalogue name.
    static constexpr size_t kVersion1Size = kOffAltName;
    static constexpr size_t kVersion2Size = kOffMapIndex;

    // Default-constructed entries carry the defaults of an unfilled channel
    // (hwid -1, extents 1000, drawing size 100, empty texts, ...).
    CChannelEntry();

    const uint8_t* bytes() const { return image_.data(); }
    uint8_t* bytes() { return image_.data(); }

    int32_t hwid() const { return i32(kOffHwid); }
    int32_t subtype() const { return i32(kOffSubtype); }
    int32_t value1() const { return i32(kOffValue1); }
    int32_t value2() const { return i32(kOffValue2); }
    int32_t value3() const { return i32(kOffValue3); }
    std::string name() const { return text(kOffName, kNameWidth); }
    std::string label() const { return text(kOffLabel, kLabelWidth); }
    int32_t group() const { return i32(kOffGroup); }
    std::string groupName() const { return text(kOffGroupName, kGroupNameWidth); }
    int32_t enabled() const { return i32(kOffEnabled); }
    int32_t posX() const { return i32(kOffPosX); }
    int32_t posY() const { return i32(kOffPosY); }
    int32_t posZ() const { return i32(kOffPosZ); }
    int32_t extentX() const { return i32(kOffExtentX); }
    int32_t extentY() const { return i32(kOffExtentY); }
    int32_t extentZ() const { return i32(kOffExtentZ); }
    int32_t dx() const { return i32(kOffDx); }
    int32_t dy() const { return i32(kOffDy); }
    int32_t dxextend() const { return i32(kOffDxExtend); }
    int32_t dyextend() const { return i32(kOffDyExtend); }
    std::string altName() const { return text(kOffAltName, kAltNameWidth); }
    std::string catalogue() const { return text(kOffCatalogue, kCatalogueWidth); }
    int32_t mapIndex() const { return i32(kOffMapIndex); }
    int32_t mapCondition() const { return i32(kOffMapCondition); }

    // Text setters cut the text so that it stays NUL-terminated in its field.
    void setHwid(int32_t v) { setI32(kOffHwid, v); }
    void setSubtype(int32_t v) { setI32(kOffSubtype, v); }
    void setValue1(int32_t v) { setI32(kOffValue1, v); }
    void setValue2(int32_t v) { setI32(kOffValue2, v); }
    void setValue3(int32_t v) { setI32(kOffValue3, v); }
    void setName(const std::string& v) { setText(kOffName, kNameWidth, v); }
    void setLabel(const std::string& v) { setText(kOffLabel, kLabelWidth, v); }
    void setGroup(int32_t v) { setI32(kOffGroup, v); }
    void setGroupName(const std::string& v) { setText(kOffGroupName, kGroupNameWidth, v); }
    void setEnabled(int32_t v) { setI32(kOffEnabled, v); }
    void setPosX(int32_t v) { setI32(kOffPosX, v); }
    void setPosY(int32_t v) { setI32(kOffPosY, v); }
    void setPosZ(int32_t v) { setI32(kOffPosZ, v); }
    void setExtentX(int32_t v) { setI32(kOffExtentX, v); }
    void setExtentY(int32_t v) { setI32(kOffExtentY, v); }
    void setExtentZ(int32_t v) { setI32(kOffExtentZ, v); }
    void setDx(int32_t v) { setI32(kOffDx, v); }
    void setDy(int32_t v) { setI32(kOffDy, v); }
    void setDxextend(int32_t v) { setI32(kOffDxExtend, v); }
    void setDyextend(int32_t v) { setI32(kOffDyExtend, v); }
    void setAltName(const std::string& v) { setText(kOffAltName, kAltNameWidth, v); }
    void setCatalogue(const std::string& v) { setText(kOffCatalogue, kCatalogueWidth, v); }
    void setMapIndex(int32_t v) { setI32(kOffMapIndex, v); }
    void setMapCondition(int32_t v) { setI32(kOffMapCondition, v); }

    bool operator==(const CChannelEntry& other) const { return image_ == other.image_; }
    bool operator!=(const CChannelEntry& other) const { return !(*this == other); }

private:
    int32_t i32(size_t off) const { return GetI32(image_.data(), off); }
    void setI32(size_t off, int32_t v) { PutI32(image_.data(), off, v); }
    std::string text(size_t off, size_t width) const { return GetText(image_.data(), off, width); }
    void setText(size_t off, size_t width, const std::string& v) { PutText(image_.data(), off, width, v); }

    std::array<uint8_t, kSize> image_;
};

// The record layout is fixed by the file format: every field must tile the
// record without gaps, and the short entry versions must end where they do.
static_assert(CChannelEntry::kOffName == CChannelEntry::kOffValue3 + 4, "name follows value3");
static_assert(CChannelEntry::kOffLabel == CChannelEntry::kOffName + CChannelEntry::kNameWidth,
              "label follows name");
static_assert(CChannelEntry::kOffGroup == CChannelEntry::kOffLabel + CChannelEntry::kLabelWidth,
              "group follows label");
static_assert(CChannelEntry::kOffEnabled ==
                  CChannelEntry::kOffGroupName + CChannelEntry::kGroupNameWidth,
              "enabled follows the group name");
static_assert(CChannelEntry::kOffCatalogue ==
                  CChannelEntry::kOffAltName + CChannelEntry::kAltNameWidth,
              "catalogue follows altName");
static_assert(CChannelEntry::kOffMapIndex ==
                  CChannelEntry::kOffCatalogue + CChannelEntry::kCatalogueWidth,
              "mapIndex follows the catalogue");
static_assert(CChannelEntry::kOffMapCondition + 4 == CChannelEntry::kSize,
              "mapCondition ends the record");
static_assert(CChannelEntry::kVersion1Size == 844, "version 1 entries are 844 bytes");
static_assert(CChannelEntry::kVersion2Size == 1360, "version 2 entries are 1360 bytes");
static_assert(sizeof(std::array<uint8_t, CChannelEntry::kSize>) == 1368,
              "a channel entry record is 1368 bytes");

}  // namespace qrd
