#include "contents/stream_info_factory.h"

#include <cctype>
#include <cstring>

#include "container/le_codec.h"
#include "contents/channel_tool_property.h"
#include "contents/filter_property.h"
#include "contents/info_average.h"
#include "contents/info_param.h"
#include "contents/info_spike.h"
#include "contents/info_spike_parameter.h"
#include "contents/info_trigger.h"
#include "contents/settings_markers.h"

namespace qrd {

namespace {

bool SameTypeName(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}

// The settings after the marker, or a failed reader when the marker is absent.
LeReader BodyAfterMarker(const StreamInfoInput& in, const char* marker) {
    if (in.settings == nullptr || in.settingsLength < kSettingsMarkerSize ||
        std::memcmp(in.settings, marker, kSettingsMarkerSize) != 0) {
        LeReader none(nullptr, 0);
        none.Fail();
        return none;
    }
    return LeReader(in.settings + kSettingsMarkerSize, in.settingsLength - kSettingsMarkerSize);
}

template <class T, class DecodeFn>
std::unique_ptr<InfoObject> Build(const StreamInfoInput& in, const char* marker, DecodeFn decode) {
    LeReader r = BodyAfterMarker(in, marker);
    if (!r.ok()) return nullptr;
    std::unique_ptr<T> info(new T);
    if (!decode(r, *info)) return nullptr;
    return info;
}

}  // namespace

std::unique_ptr<InfoObject> CreateStreamInfo(const StreamInfoInput& in) {
    const std::string& type = in.typeName;
    const uint32_t v = in.streamVersion;

    if (SameTypeName(type, "params")) {
        std::unique_ptr<CQRVAInfoParam> info(new CQRVAInfoParam);
        AdcFormat adc;
        adc.bits = in.adcBits;
        adc.zero = in.adcZero;
        adc.unitStep = in.unitStep;
        if (!info->Decode(in.settings, in.settingsLength, v, adc)) return nullptr;
        return info;
    }
    if (SameTypeName(type, "trigger")) {
        return Build<CQRVAInfoTrigger>(in, kTriggerMarker, [&](LeReader& r, CQRVAInfoTrigger& info) {
            return DecodeTriggerSettings(r, v, in.appMajorVersion, info.GetProperty());
        });
    }
    if (SameTypeName(type, "chat")) {
        return Build<CMChannelToolProperty>(in, kChannelToolMarker, [](LeReader& r, CMChannelToolProperty& p) {
            return DecodeChannelToolSettings(r, p);
        });
    }
    if (SameTypeName(type, "filter")) {
        return Build<CMFilterProperty>(in, kFilterMarker,
                                       [&](LeReader& r, CMFilterProperty& p) { return DecodeFilterSettings(r, v, p); });
    }
    if (SameTypeName(type, "spikes")) {
        return Build<CQRVAInfoSpike>(in, kSpikeMarker, [&](LeReader& r, CQRVAInfoSpike& info) {
            return info.Decode(r, v, in.appMajorVersion);
        });
    }
    if (SameTypeName(type, "average")) {
        return Build<CQRVAInfoAverage>(in, kAverageMarker, [&](LeReader& r, CQRVAInfoAverage& info) {
            return info.Decode(r.cursor(), r.remaining(), v);
        });
    }
    if (SameTypeName(type, "spkparam")) {
        return Build<CQRVAInfoSpikeParameter>(in, kSpikeParameterMarker,
                                              [](LeReader& r, CQRVAInfoSpikeParameter& info) { return info.Decode(r); });
    }
    if (SameTypeName(type, "bstparam")) {
        return Build<CQRVAInfoBurstParameter>(in, kBurstParameterMarker,
                                              [](LeReader& r, CQRVAInfoBurstParameter& info) { return info.Decode(r); });
    }
    return nullptr;  // "analog", "digital" and types without settings
}

}  // namespace qrd
