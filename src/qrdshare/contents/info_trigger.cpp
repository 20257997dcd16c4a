#include "contents/info_trigger.h"

#include "contents/settings_text.h"
#include "contents/settings_units.h"

namespace qrd {

namespace {

// Stream header versions 0 to 2 stored the detector's in-memory record as an
// opaque image: a u32 length, then that many bytes, of which bytes 8 to 63
// hold settings 1 to 14 as consecutive i32.
constexpr size_t kImageSettingsOffset = 8;
constexpr size_t kImageSettingsCount = 14;
static_assert(kImageSettingsOffset + 4 * kImageSettingsCount == 64, "settings 1-14 end at byte 64 of the image");

bool DecodeTriggerImage(LeReader& r, CMMEATriggerProperty& out) {
    const uint32_t length = r.U32();
    if (!r.has(length)) {
        r.Fail();
        return false;
    }
    const uint8_t* image = r.cursor();
    int32_t* const settings[kImageSettingsCount] = {
        &out.setting1,  &out.setting2,  &out.setting3,  &out.setting4,  &out.threshold,
        &out.setting6,  &out.eventValue, &out.channel, &out.inputStreamSelector, &out.setting10,
        &out.setting11, &out.setting12, &out.setting13, &out.setting14};
    for (size_t i = 0; i < kImageSettingsCount; ++i) {
        const size_t at = kImageSettingsOffset + 4 * i;
        if (at + 4 > length) break;  // settings the image does not reach keep their defaults
        *settings[i] = GetI32(image, at);
    }
    r.Skip(length);

    // Fields the old format did not have.
    out.flag1 = false;
    out.setting15 = 0;
    out.setting16 = 1;
    out.setting17 = 65535;
    switch (out.inputStreamSelector) {
        case 0: out.inputStreamTag = "elec0001"; break;
        case 1: out.inputStreamTag = "anlg0001"; break;
        case 2: out.inputStreamTag = "digi0001"; break;
        default: out.inputStreamTag.clear(); break;
    }
    return true;
}

// Version 3 and later:
//   i32 (unused), i32 settings 1-14, u8 flag 1, i32 setting 15, i32 setting 16,
//   input stream tag (zero-ended, i32 length), i32 setting 17;
//   then, from version 4 on and only from application major version 3 on:
//   u8 flag 2, i32 setting 18, text 2 and text 3 (zero-ended, i32 length).
bool DecodeTriggerFields(LeReader& r, uint32_t version, uint16_t appMajorVersion, CMMEATriggerProperty& out) {
    r.I32();
    out.setting1 = r.I32();
    out.setting2 = r.I32();
    out.setting3 = r.I32();
    out.setting4 = r.I32();
    out.threshold = r.I32();
    out.setting6 = r.I32();
    out.eventValue = r.I32();
    out.channel = r.I32();
    out.inputStreamSelector = r.I32();
    out.setting10 = r.I32();
    out.setting11 = r.I32();
    out.setting12 = r.I32();
    out.setting13 = r.I32();
    out.setting14 = r.I32();
    out.flag1 = r.U8() != 0;
    out.setting15 = r.I32();
    out.setting16 = r.I32();
    out.inputStreamTag = ReadTextI32(r, TextEnd::ZeroEnded);
    out.setting17 = r.I32();
    if (version >= 4 && appMajorVersion >= 3) {
        out.flag2 = r.U8() != 0;
        out.setting18 = r.I32();
        out.text2 = ReadTextI32(r, TextEnd::ZeroEnded);
        out.text3 = ReadTextI32(r, TextEnd::ZeroEnded);
    }
    return r.ok();
}

}  // namespace

bool DecodeTriggerSettings(LeReader& r, uint32_t version, uint16_t appMajorVersion, CMMEATriggerProperty& out) {
    return version >= 3 ? DecodeTriggerFields(r, version, appMajorVersion, out) : DecodeTriggerImage(r, out);
}

int32_t CQRVAInfoTrigger::GetThreshold() const {
    const float asFloat = static_cast<float>(property_.threshold);
    return TruncateToInt32(static_cast<double>(asFloat)) / 10;
}

}  // namespace qrd
