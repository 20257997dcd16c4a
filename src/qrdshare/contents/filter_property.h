// Settings of the filter tool: filter family and pass type, cutoff
// frequencies with their names and units, the coefficients, the
// Savitzky-Golay window and the band-stop resonator fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "container/le_codec.h"
#include "contents/clone_object.h"

namespace qrd {

class CMFilterProperty : public CMCloneObject {
public:
    static constexpr InfoKind kKind = InfoKind::FilterProperty;

    CMFilterProperty() : CMCloneObject(kKind) {}
    CMFilterProperty(const CMFilterProperty&) = default;
    CMFilterProperty& operator=(const CMFilterProperty&) = default;
    ~CMFilterProperty() override = default;
    CMFilterProperty* Clone() const override { return new CMFilterProperty(*this); }

    // Low and high pass filters have one cutoff ("Cutoff Frequency" = f1);
    // every other pass type has a lower (f1) and an upper (f2) cutoff.
    void SetCutoffs(float f1, float f2, double resonator1, double resonator2, const std::string& filterType,
                    int32_t pass);

    // Cutoff frequencies truncated to whole hertz; -1 when there is none.
    int32_t GetCutoff1() const;
    int32_t GetCutoff2() const;
    const char* GetPassTypeName() const;
    // Index in the filter type table; names outside it count as
    // "Butterworth 2nd order" (2).
    int GetFilterTypeIndex() const;
    bool IsRecursiveType() const;  // one of the eight names other than "Savitzky-Golay"
    bool IsSavitzkyGolay() const;
    // Wraps like the 32-bit sum it is instead of overflowing on absurd counts.
    int32_t GetWindowLength() const {
        return static_cast<int32_t>(static_cast<uint32_t>(windowPointsBefore) + 1u +
                                    static_cast<uint32_t>(windowPointsAfter));
    }
    int32_t GetWindowPointsBefore() const { return windowPointsBefore; }
    int32_t GetPolynomialOrder() const { return polynomialOrder; }
    double GetResonatorValue1() const { return resonatorValue1; }
    double GetResonatorValue2() const { return resonatorValue2; }
    bool GetResonatorFlag() const { return resonatorFlag; }
    int32_t GetResonatorCount() const { return resonatorCount; }

    int32_t passType = 0;
    std::string filterTypeName;
    std::vector<std::string> cutoffNames;
    std::vector<std::string> cutoffUnits;
    std::vector<float> cutoffFrequencies;
    std::vector<double> coefficients;
    int32_t windowPointsBefore = 4;
    int32_t windowPointsAfter = 4;
    int32_t polynomialOrder = 2;
    double resonatorValue1 = 50.0;
    double resonatorValue2 = 2.0;
    bool resonatorFlag = false;
    int32_t resonatorCount = 100;
};

// Reads the "PARAMFLT" block body (after its marker) of a stream of header
// version v.  False when the block ends early or a count cannot be right.
bool DecodeFilterSettings(LeReader& r, uint32_t version, CMFilterProperty& out);

}  // namespace qrd
