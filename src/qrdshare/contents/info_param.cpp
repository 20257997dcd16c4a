#include "contents/info_param.h"

#include <cstring>

#include "container/le_codec.h"
#include "contents/settings_text.h"

namespace qrd {

namespace {

// The three tables open with these tags; a block that lacks one is not an
// analyzer settings block.
constexpr char kWidthTableTag[] = "FMTBLPAR";
constexpr char kPositionTableTag[] = "PSTBLPAR";
constexpr char kDescriptorTableTag[] = "PRTBLPAR";
constexpr size_t kTableTagSize = 8;
static_assert(sizeof kWidthTableTag == kTableTagSize + 1, "table tags are 8 bytes");

// f32 min, f32 max, i32 selected, f64 scale, i32 exponent, i32 unit kind, u16 name length.
constexpr size_t kMinDescriptorSize = 4 + 4 + 4 + 8 + 4 + 4 + 2;

bool ReadTableTag(LeReader& r, const char* tag) {
    if (!r.has(kTableTagSize) || std::memcmp(r.cursor(), tag, kTableTagSize) != 0) {
        r.Fail();
        return false;
    }
    return r.Skip(kTableTagSize);
}

// Time window inside the analyzer block: from version 2 u32 value, f32 start,
// f32 end, u16 first and second channel; from version 4 two counted labels.
void ReadTimeWindow(LeReader& r, uint32_t version, CMTimeWindowProperty& window) {
    if (version >= 2) {
        window.windowValue = r.U32();
        window.windowStart = r.F32();
        window.windowEnd = r.F32();
        window.firstChannel = r.U16();
        window.secondChannel = r.U16();
    }
    window.firstLabel.clear();
    window.secondLabel.clear();
    if (version >= 4) {
        window.firstLabel = ReadTextI32(r, TextEnd::Counted);
        window.secondLabel = ReadTextI32(r, TextEnd::Counted);
    }
}

}  // namespace

CQRVAInfoParam::CQRVAInfoParam() : InfoObject(kKind) { positions_.fill(-1); }

const ParameterDescriptor* CQRVAInfoParam::GetDescriptor(int kind) const {
    return kind >= 0 && kind < kAnalyzerKindCount ? &descriptors_[static_cast<size_t>(kind)] : nullptr;
}

int32_t CQRVAInfoParam::GetPosition(int kind) const {
    return kind >= 0 && kind < kAnalyzerPositionCount ? positions_[static_cast<size_t>(kind)] : -1;
}

// Block layout (offsets from the block's first byte, no marker):
//   "FMTBLPAR", u16 C, C x i32 byte widths (kind 0 upwards);
//   "PSTBLPAR", u16 C, C x i32 list positions;
//   "PRTBLPAR", u16 C, C descriptors (name: zero-ended, u16 length);
//   v >= 1: i32 analyzer value, i32 time mode, C x i32 selected flags (C of
//           the descriptor table), i32 analyzer value 2, analyzer label
//           (zero-ended, u16 length);
//   v >= 2: i32 analyzer value 3;   v >= 4: label 2 (zero-ended, u16 length);
//   v >= 1: time window;            v >= 5: i32 analyzer value 4.
// Table entries beyond the tables' sizes are read and dropped.
bool CQRVAInfoParam::Decode(const uint8_t* settings, size_t length, uint32_t version, const AdcFormat& adc) {
    if (settings == nullptr) return false;
    LeReader r(settings, length);

    if (!ReadTableTag(r, kWidthTableTag)) return false;
    const uint16_t widthCount = r.U16();
    if (!CountFits(r, widthCount, 4)) return false;
    for (uint16_t k = 0; k < widthCount; ++k) {
        const int32_t width = r.I32();
        if (k < kAnalyzerKindCount) analyzer_.byteWidths[k] = width;
    }

    if (!ReadTableTag(r, kPositionTableTag)) return false;
    const uint16_t positionCount = r.U16();
    if (!CountFits(r, positionCount, 4)) return false;
    for (uint16_t k = 0; k < positionCount; ++k) {
        const int32_t position = r.I32();
        if (k < kAnalyzerPositionCount) positions_[k] = position;
    }

    if (!ReadTableTag(r, kDescriptorTableTag)) return false;
    const uint16_t descriptorCount = r.U16();
    if (!CountFits(r, descriptorCount, kMinDescriptorSize)) return false;
    for (uint16_t k = 0; k < descriptorCount && r.ok(); ++k) {
        ParameterDescriptor d;
        d.rangeMin = r.F32();
        d.rangeMax = r.F32();
        d.selected = r.I32();
        d.scale = r.F64();
        d.exponent = r.I32();
        d.unitKind = r.I32();
        d.name = ReadTextU16(r, TextEnd::ZeroEnded);
        if (k < kAnalyzerKindCount) descriptors_[k] = d;
    }
    if (!r.ok()) return false;

    // A channel block holds the values of every kind that has a list position.
    uint64_t blockSize = 0;
    for (int k = 0; k < descriptorCount && k < kAnalyzerKindCount; ++k)
        if (positions_[static_cast<size_t>(k)] != -1)
            blockSize += static_cast<uint32_t>(analyzer_.byteWidths[static_cast<size_t>(k)]);
    bytesPerChannel_ = static_cast<uint16_t>(blockSize);

    if (version == 0) {
        analyzer_.label = "not recorded";
    } else {
        analyzer_.analyzerValue = r.I32();
        analyzer_.timeMode = r.I32();
        if (!CountFits(r, descriptorCount, 4)) return false;
        for (uint16_t k = 0; k < descriptorCount; ++k) {
            const int32_t flag = r.I32();
            if (k < kAnalyzerKindCount) analyzer_.selected[k] = flag;
        }
        analyzer_.analyzerValue2 = r.I32();
        const uint16_t labelLength = r.U16();
        if (!r.ok()) return false;
        // Early recordings end the block right after this length: the info
        // is complete as far as it goes and keeps the tables it was given.
        if (r.remaining() == 0) return true;
        analyzer_.label = ReadTextBytes(r, labelLength, TextEnd::ZeroEnded);
        if (version >= 2) analyzer_.analyzerValue3 = r.I32();
        if (version >= 4) analyzer_.label2 = ReadTextU16(r, TextEnd::ZeroEnded);
        ReadTimeWindow(r, version, timeWindow_);
        if (version >= 5) analyzer_.analyzerValue4 = r.I32();
        if (!r.ok()) return false;
    }

    analyzer_.BuildDescriptors(descriptors_, positions_, adc);
    return true;
}

}  // namespace qrd
