#include "api/info_queries.h"

#include "api/entity_label.h"
#include "api/entity_table.h"
#include "api/stream_kind.h"
#include "api/text_field.h"
#include "container/channel.h"
#include "container/stream.h"
#include "container/stream_file.h"

#include <cmath>
#include <cstdlib>

namespace qrd {

namespace {

// The converter values of an entity's stream as the host sees them.
struct Range {
    double minVal = 0.0;
    double maxVal = 0.0;
    double resolution = 0.0;
    const char* units = "V";
};

// A converter of b bits with steps of u volts spans +-u x 2^b / 2; negative
// b counts fractions of a step (2^-|b|).  Digital words are shown raw.
Range RangeOf(const CQRVAStream* stream, bool digital) {
    Range r;
    if (digital) {
        r.maxVal = 65536.0;
        r.resolution = 1.0;
        r.units = "raw";
        return r;
    }
    if (stream == nullptr) return r;
    const double u = stream->GetUnitStep();
    const int bits = stream->GetAdcBits();
    const double f = bits >= 0 ? std::ldexp(1.0, bits) : 1.0 / std::ldexp(1.0, std::abs(bits));
    r.minVal = u * f * (-0.5);
    r.maxVal = u * f * 0.5;
    r.resolution = u;
    return r;
}

// Where the channel sits and how it was filtered.  An entity whose column
// names no channel of its stream reports zeros.
struct Placement {
    double x = 0.0, y = 0.0, z = 0.0;
    double highCorner = 0.0, lowCorner = 0.0;
};

Placement PlacementOf(const CQRVAStream* stream, int32_t column) {
    Placement p;
    const CQRVAChannel* channel =
        stream != nullptr && column >= 0 ? stream->GetChannel(static_cast<uint32_t>(column)) : nullptr;
    if (channel == nullptr) return p;
    // Positions are micrometres, corners millihertz, both stored as 32-bit
    // words that are read as signed values.
    p.x = static_cast<int32_t>(channel->GetPositionX()) / 1000000.0;
    p.y = static_cast<int32_t>(channel->GetPositionY()) / 1000000.0;
    p.z = static_cast<int32_t>(channel->GetPositionZ()) / 1000000.0;
    p.highCorner = static_cast<int32_t>(channel->GetUpperCorner()) / 1000.0;
    p.lowCorner = static_cast<int32_t>(channel->GetLowerCorner()) / 1000.0;
    return p;
}

const CQRVAStream* StreamOf(const CQRVAStreamFile& file, const EntityRecord& entity) {
    return entity.streamIndex >= 0 ? file.GetStream(static_cast<uint32_t>(entity.streamIndex)) : nullptr;
}

double SampleRateHz(const CQRVAStream* stream) { return stream ? stream->GetSampleRate() / 1000.0 : 0.0; }

// The fields the analog and the segment source records share.
template <typename Info>
void FillChannelFields(const CQRVAStreamFile& file, const EntityRecord& entity, Info& info) {
    const CQRVAStream* stream = StreamOf(file, entity);
    const Range range = RangeOf(stream, IsDigitalTag(entity.streamTag));
    info.dMinVal = range.minVal;
    info.dMaxVal = range.maxVal;
    info.dResolution = range.resolution;
    const Placement place = PlacementOf(stream, entity.channelPosition);
    info.dLocationX = place.x;
    info.dLocationY = place.y;
    info.dLocationZ = place.z;
    info.dLocationUser = 0.0;
    info.dHighFreqCorner = place.highCorner;
    info.dwHighFreqOrder = 0;
    WriteTextField(info.szHighFilterType, "");
    info.dLowFreqCorner = place.lowCorner;
    info.dwLowFreqOrder = 0;
    WriteTextField(info.szLowFilterType, "");
    WriteTextField(info.szProbeInfo, "");
}

}  // namespace

ns_RESULT FillEntityInfo(const CQRVAStreamFile&, const EntityRecord& entity, ns_ENTITYINFO& info) {
    WriteTextField(info.szEntityLabel, EntityLabel(entity));
    info.dwEntityType = static_cast<uint32_t>(entity.entityType);
    info.dwItemCount = static_cast<uint32_t>(entity.itemCount);
    return ns_OK;
}

ns_RESULT FillEventInfo(const CQRVAStreamFile&, const EntityRecord& entity, ns_EVENTINFO& info) {
    // Trigger items are two 16-bit words (event value, trigger word); bit
    // edges one byte (1 rising, 0xFF falling).
    const bool trigger = IsTriggerTag(entity.streamTag);
    info.dwEventType = trigger ? ns_EVENT_WORD : ns_EVENT_BYTE;
    info.dwMinDataLength = trigger ? 4 : 1;
    info.dwMaxDataLength = trigger ? 4 : 1;
    WriteTextField(info.szCSVDesc, "");
    return ns_OK;
}

ns_RESULT FillAnalogInfo(const CQRVAStreamFile& file, const EntityRecord& entity, ns_ANALOGINFO& info) {
    info.dSampleRate = SampleRateHz(StreamOf(file, entity));
    FillChannelFields(file, entity, info);
    WriteTextField(info.szUnits, IsDigitalTag(entity.streamTag) ? "raw" : "V");
    return ns_OK;
}

ns_RESULT FillSegmentInfo(const CQRVAStreamFile& file, const EntityRecord& entity, ns_SEGMENTINFO& info) {
    info.dwSourceCount = 1;
    info.dwMinSampleCount = static_cast<uint32_t>(entity.minSampleCount);
    info.dwMaxSampleCount = static_cast<uint32_t>(entity.maxSampleCount);
    info.dSampleRate = SampleRateHz(StreamOf(file, entity));
    WriteTextField(info.szUnits, IsDigitalTag(entity.streamTag) ? "raw" : "V");
    return ns_OK;
}

ns_RESULT FillSegmentSourceInfo(const CQRVAStreamFile& file, const EntityRecord& entity, ns_SEGSOURCEINFO& info) {
    FillChannelFields(file, entity, info);
    info.dSubSampleShift = 0.0;
    return ns_OK;
}

}  // namespace qrd
