// Info object of a "params" stream (parameter analyzer results).  Besides the
// analyzer and time window settings it carries the parameter descriptor
// table, the list position of each parameter kind in a decoded value list,
// and B, the size in bytes of one channel's block in every record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "contents/analyzer_property.h"
#include "contents/info_object.h"
#include "contents/time_window_property.h"

namespace qrd {

class CQRVAInfoParam : public InfoObject {
public:
    static constexpr InfoKind kKind = InfoKind::InfoParam;

    CQRVAInfoParam();
    CQRVAInfoParam(const CQRVAInfoParam&) = default;
    // A whole info is copied, byte widths included: unlike a bare analyzer
    // setting, the widths and B describe the same records and must agree.
    CQRVAInfoParam& operator=(const CQRVAInfoParam& other) {
        InfoObject::operator=(other);
        descriptors_ = other.descriptors_;
        positions_ = other.positions_;
        analyzer_ = other.analyzer_;
        analyzer_.byteWidths = other.analyzer_.byteWidths;
        timeWindow_ = other.timeWindow_;
        bytesPerChannel_ = other.bytesPerChannel_;
        return *this;
    }
    ~CQRVAInfoParam() override = default;

    // Decodes the analyzer parameter settings of a stream of header version
    // `version`; `adc` comes from the stream's format header.  On success the
    // tables are completed from the analyzer's selection unless the block
    // ended right after the analyzer label's length (an early, shorter form).
    bool Decode(const uint8_t* settings, size_t length, uint32_t version, const AdcFormat& adc);

    uint16_t GetBytesPerChannel() const { return bytesPerChannel_; }
    // Null for a kind outside 0-14.
    const ParameterDescriptor* GetDescriptor(int kind) const;
    // List position of a kind in the decoded values, -1 when not recorded.
    int32_t GetPosition(int kind) const;
    const CMIAnalyzerProperty& GetAnalyzer() const { return analyzer_; }
    const CMTimeWindowProperty& GetTimeWindow() const { return timeWindow_; }
    const AnalyzerDescriptorTable& GetDescriptors() const { return descriptors_; }

    // Values of one channel of a record, see CMIAnalyzerProperty::DecodeChannelValues.
    bool GetChannelValues(uint32_t channel, const uint8_t* blocks, size_t blocksLength, uint32_t channelCount,
                          const AdcFormat& adc, uint32_t streamVersion, std::vector<float>& values) const {
        return analyzer_.DecodeChannelValues(channel, blocks, blocksLength, channelCount, bytesPerChannel_,
                                             descriptors_, adc, streamVersion, values);
    }

private:
    AnalyzerDescriptorTable descriptors_;
    AnalyzerPositionTable positions_;
    CMIAnalyzerProperty analyzer_;
    CMTimeWindowProperty timeWindow_;
    uint16_t bytesPerChannel_ = 0;
};

}  // namespace qrd
