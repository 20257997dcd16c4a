// Feeds arbitrary settings bytes to the stream info factory.  The first bytes
// choose the stream: type, stream header version, application major version
// and ADC format; the rest is the settings block.  Parameter infos are also
// asked to decode channel values from the same bytes taken as a record.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "contents/info_param.h"
#include "contents/stream_info_factory.h"
#include "qrd_createinfo_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < qrd_fuzz::kHeaderSize) return 0;
    qrd::StreamInfoInput in = qrd_fuzz::ReadHeader(data);
    // An exact-size copy so any read past the settings is caught.
    std::vector<uint8_t> settings(data + qrd_fuzz::kHeaderSize, data + size);
    in.settings = settings.empty() ? nullptr : settings.data();
    in.settingsLength = settings.size();

    std::unique_ptr<qrd::InfoObject> info = qrd::CreateStreamInfo(in);
    if (const qrd::CQRVAInfoParam* param = qrd::InfoCast<qrd::CQRVAInfoParam>(info.get())) {
        qrd::AdcFormat adc;
        adc.bits = in.adcBits;
        adc.zero = in.adcZero;
        adc.unitStep = in.unitStep;
        std::vector<float> values;
        for (uint32_t channel = 0; channel < 4; ++channel)
            param->GetChannelValues(channel, settings.data(), settings.size(), 4, adc, in.streamVersion, values);
    }
    return 0;
}
