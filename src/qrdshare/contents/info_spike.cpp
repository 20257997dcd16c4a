#include "contents/info_spike.h"

#include "contents/info_trigger.h"
#include "contents/settings_text.h"
#include "contents/settings_units.h"

namespace qrd {

namespace {

// Channel entry: u16 key, u16 second value, f32 threshold 1, i32 mode,
// f32 threshold 2, f32 value 3, f32 value 4, u16 unit count U, then U units
// of u16 first value, u16 unit key, 5 x i32.
constexpr size_t kChannelEntryFixedSize = 2 + 2 + 4 + 4 + 4 + 4 + 4 + 2;
constexpr size_t kUnitEntrySize = 2 + 2 + 5 * 4;
static_assert(kChannelEntryFixedSize == 26 && kUnitEntrySize == 24, "spike detector entry sizes");

bool ReadChannelEntry(LeReader& r, SpikeChannelEntry& entry) {
    entry.channelKey = r.U16();
    entry.secondValue = r.U16();
    entry.threshold1 = r.F32();
    entry.mode = r.I32();
    entry.threshold2 = r.F32();
    entry.value3 = r.F32();
    entry.value4 = r.F32();
    const uint16_t unitCount = r.U16();
    if (!CountFits(r, unitCount, kUnitEntrySize)) return false;
    for (uint16_t i = 0; i < unitCount; ++i) {
        SpikeUnitEntry unit;
        unit.firstValue = r.U16();
        unit.unitKey = r.U16();
        for (int32_t& v : unit.values) v = r.I32();
        entry.units[unit.unitKey] = unit;  // a repeated key keeps the later entry
    }
    return r.ok();
}

// Window times stored as f32 seconds become whole microseconds, rounded.
int32_t SecondsToMicroseconds(float seconds) {
    return TruncateToInt32(static_cast<double>(seconds) * 1000000.0 + 0.5);
}

}  // namespace

int32_t CQRVAInfoSpike::GetDetectorValue(int number) const {
    return number >= 1 && number <= 4 ? detectorValues_[static_cast<size_t>(number - 1)] : 0;
}

int32_t CQRVAInfoSpike::GetWindowTime(int number) const {
    return number >= 1 && number <= 3 ? windowTimes_[static_cast<size_t>(number - 1)] : 0;
}

const SpikeChannelEntry* CQRVAInfoSpike::FindChannelEntry(uint16_t channelKey) const {
    auto it = channels_.find(channelKey);
    return it == channels_.end() ? nullptr : &it->second;
}

bool CQRVAInfoSpike::Decode(LeReader& r, uint32_t version, uint16_t appMajorVersion) {
    if (version >= 5) return DecodeCurrent(r, version);
    if (version >= 1) return DecodeTriggerList(r, version, appMajorVersion);
    return true;  // version 0 stored no detector settings
}

// Version 5 and later: i32 detector values 2, 1, 3, 4; three window times
// (i32 microseconds from version 7, f32 seconds before); input stream tag
// (zero-ended, u16 length); u16 K and K channel entries.
bool CQRVAInfoSpike::DecodeCurrent(LeReader& r, uint32_t version) {
    detectorValues_[1] = r.I32();
    detectorValues_[0] = r.I32();
    detectorValues_[2] = r.I32();
    detectorValues_[3] = r.I32();
    for (int32_t& t : windowTimes_) t = version >= 7 ? r.I32() : SecondsToMicroseconds(r.F32());
    inputStreamTag_ = ReadTextU16(r, TextEnd::ZeroEnded);
    const uint16_t count = r.U16();
    if (!CountFits(r, count, kChannelEntryFixedSize)) return false;
    for (uint16_t i = 0; i < count; ++i) {
        SpikeChannelEntry entry;
        if (!ReadChannelEntry(r, entry)) return false;
        channels_[entry.channelKey] = std::move(entry);
    }
    return r.ok();
}

// Versions 1 to 4 kept one trigger detector per channel: u32 count, count
// trigger settings blocks, then three u32 window times a, b, c in
// microseconds.  In version 3 the three words are superseded by the first
// trigger's settings 1, 3 and 4, scaled to the same unit.
bool CQRVAInfoSpike::DecodeTriggerList(LeReader& r, uint32_t version, uint16_t appMajorVersion) {
    const uint32_t count = r.U32();
    if (!CountFits(r, count, 4)) return false;  // every trigger block is at least 4 bytes
    std::vector<CMMEATriggerProperty> triggers;
    for (uint32_t i = 0; i < count; ++i) {
        CMMEATriggerProperty trigger;
        if (!DecodeTriggerSettings(r, version, appMajorVersion, trigger)) return false;
        triggers.push_back(std::move(trigger));
    }
    uint32_t a = r.U32();
    uint32_t b = r.U32();
    uint32_t c = r.U32();
    if (!r.ok()) return false;
    if (version == 3 && !triggers.empty()) {
        // 32-bit arithmetic that wraps, as the stored words do.
        const CMMEATriggerProperty& first = triggers.front();
        a = static_cast<uint32_t>(first.setting1) * 1000000u;
        b = static_cast<uint32_t>(first.setting3) * 1000000u;
        c = (static_cast<uint32_t>(first.setting4) - static_cast<uint32_t>(first.setting3)) * 1000000u;
    }
    if (version <= 2 && b > 100000000u) b = 1000000u;

    windowTimes_[0] = static_cast<int32_t>(b / 1000000u);
    windowTimes_[1] = static_cast<int32_t>(c / 1000000u);
    windowTimes_[2] = static_cast<int32_t>(a / 1000000u);
    detectorValues_[0] = 0;
    detectorValues_[1] = 0;
    if (!triggers.empty()) inputStreamTag_ = triggers.front().inputStreamTag;
    for (const CMMEATriggerProperty& trigger : triggers) {
        SpikeChannelEntry entry;
        entry.channelKey = static_cast<uint16_t>(trigger.channel);
        entry.threshold1 = static_cast<float>(trigger.threshold) / 10000000.0f;
        entry.mode = trigger.eventValue;
        channels_[entry.channelKey] = std::move(entry);
    }
    return true;
}

}  // namespace qrd
