#include "contents/filter_property.h"

#include "contents/settings_text.h"
#include "contents/settings_units.h"

namespace qrd {

void CMFilterProperty::SetCutoffs(float f1, float f2, double resonator1, double resonator2,
                                  const std::string& filterType, int32_t pass) {
    resonatorValue1 = resonator1;
    resonatorValue2 = resonator2;
    filterTypeName = filterType;
    passType = pass;
    if (pass == 1 || pass == 2) {
        cutoffNames = {"Cutoff Frequency"};
        cutoffFrequencies = {f1};
        cutoffUnits = {"Hz"};
    } else {
        cutoffNames = {"Lower Cutoff Frequency", "Upper Cutoff Frequency"};
        cutoffFrequencies = {f1, f2};
        cutoffUnits = {"Hz", "Hz"};
    }
}

int32_t CMFilterProperty::GetCutoff1() const {
    return cutoffFrequencies.empty() ? -1 : TruncateToInt32(cutoffFrequencies[0]);
}

int32_t CMFilterProperty::GetCutoff2() const {
    return cutoffFrequencies.size() < 2 ? -1 : TruncateToInt32(cutoffFrequencies[1]);
}

const char* CMFilterProperty::GetPassTypeName() const { return qrd::GetPassTypeName(passType); }

int CMFilterProperty::GetFilterTypeIndex() const {
    const int index = FindFilterType(filterTypeName);
    return index < 0 ? 2 : index;
}

bool CMFilterProperty::IsRecursiveType() const {
    const int index = FindFilterType(filterTypeName);
    return index >= 0 && index != kSavitzkyGolayIndex;
}

bool CMFilterProperty::IsSavitzkyGolay() const { return FindFilterType(filterTypeName) == kSavitzkyGolayIndex; }

namespace {

// i32 count, then count counted texts (each at least its 4-byte length).
bool ReadTextList(LeReader& r, std::vector<std::string>& out) {
    const int32_t count = r.I32();
    if (count < 0 || !CountFits(r, static_cast<uint64_t>(count), 4)) return false;
    out.clear();
    for (int32_t i = 0; i < count && r.ok(); ++i) out.push_back(ReadTextI32(r, TextEnd::Counted));
    return r.ok();
}

// i32 count, then count fixed-size elements, read by the given function.
template <class T, class ReadOne>
bool ReadValueList(LeReader& r, size_t elementSize, std::vector<T>& out, ReadOne readOne) {
    const int32_t count = r.I32();
    if (count < 0 || !CountFits(r, static_cast<uint64_t>(count), elementSize)) return false;
    out.clear();
    out.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) out.push_back(readOne());
    return r.ok();
}

}  // namespace

// Filter block, in order:
//   i32 pass type; counted filter type name;
//   cutoff names, cutoff units (i32 count + counted texts); cutoff frequencies (i32 count + f32);
//   v 0-1: two lists of 4-byte items that are no longer used (i32 count + items each);
//   v >= 1: coefficients (i32 count + f64); i32 points before, points after, polynomial order;
//   v >= 3: f64 resonator 1, f64 resonator 2, u8 resonator flag, i32 resonator count.
bool DecodeFilterSettings(LeReader& r, uint32_t version, CMFilterProperty& out) {
    out.passType = r.I32();
    out.filterTypeName = ReadTextI32(r, TextEnd::Counted);
    if (!ReadTextList(r, out.cutoffNames) || !ReadTextList(r, out.cutoffUnits)) return false;
    if (!ReadValueList(r, 4, out.cutoffFrequencies, [&r] { return r.F32(); })) return false;
    if (version <= 1) {
        for (int list = 0; list < 2; ++list) {
            const int32_t count = r.I32();
            if (count < 0 || !CountFits(r, static_cast<uint64_t>(count), 4)) return false;
            r.Skip(static_cast<size_t>(count) * 4);
        }
    }
    if (version >= 1) {
        if (!ReadValueList(r, 8, out.coefficients, [&r] { return r.F64(); })) return false;
        out.windowPointsBefore = r.I32();
        out.windowPointsAfter = r.I32();
        out.polynomialOrder = r.I32();
    }
    if (version >= 3) {
        out.resonatorValue1 = r.F64();
        out.resonatorValue2 = r.F64();
        out.resonatorFlag = r.U8() != 0;
        out.resonatorCount = r.I32();
    }
    return r.ok();
}

}  // namespace qrd
