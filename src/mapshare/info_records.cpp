#include "info_records.h"

#include "map_channel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace mapshare {
namespace {

// The acquisition amplifiers: +-5 V over the signed 16-bit range, a 4-pole
// high corner at 10 kHz and a 2-pole low corner at 1 Hz.  The reader reports
// these for every channel; samples themselves are returned unscaled.
constexpr double kMinValue = -32768.0;
constexpr double kMaxValue = 32767.0;
constexpr double kResolution = 5.0 / 32767.0;
constexpr double kHighCorner = 10000.0;
constexpr uint32_t kHighOrder = 1;
constexpr double kLowCorner = 1.0;
constexpr uint32_t kLowOrder = 3;
constexpr const char* kHighFilter = "4 POLE";
constexpr const char* kLowFilter = "2 POLE";
constexpr const char* kUnits = "Volts";

// Writes text into a field of N bytes, cut to N - 1 characters, up to its NUL.
template <size_t N>
void writeText(char (&field)[N], const std::string& text) {
    const size_t length = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

std::string probeInfo(const MapChannel& channel) {
    return "Ch.Name: " + channel.name() + "  VMType: " + typeName(channel.type());
}

ns_LIBRARYINFO buildLibraryInfo() {
    ns_LIBRARYINFO info{};
    info.dwLibVersionMaj = 1;
    info.dwLibVersionMin = 3;
    info.dwAPIVersionMaj = 1;
    info.dwAPIVersionMin = 3;
    writeText(info.szDescription, "Library for MAP files.");
    writeText(info.szCreator, "Velmora");
    info.dwTime_Year = 2004;
    info.dwTime_Month = 8;
    info.dwTime_Day = 16;
    info.dwFlags = 0;
    info.dwMaxFiles = 256;
    info.dwFileDescCount = 1;
    writeText(info.FileDesc[0].szDescription, "(*.MAP) Velmora Map files");
    writeText(info.FileDesc[0].szExtension, "map");
    return info;
}

}  // namespace

const ns_LIBRARYINFO& libraryInfo() {
    static const ns_LIBRARYINFO info = buildLibraryInfo();
    return info;
}

void fillEntityInfo(const MapChannel& channel, ns_ENTITYINFO& info) {
    writeText(info.szEntityLabel, channel.name());
    info.dwEntityType = channel.entityType();
    info.dwItemCount = static_cast<uint32_t>(std::min<uint64_t>(channel.itemCount(), UINT32_MAX));
}

void fillEventInfo(const MapChannel& channel, ns_EVENTINFO& info) {
    const bool digital = channel.type() == MapChannelType::Digital;
    info.dwEventType = digital ? ns_EVENT_BYTE : ns_EVENT_WORD;
    info.dwMinDataLength = digital ? 1 : 2;
    info.dwMaxDataLength = digital ? 1 : 2;
    info.szCSVDesc[0] = '\0';
}

namespace {
// The analog and segment-source records share their location, filter and
// probe fields: MAP recordings store no positions or filter settings, so both
// get the same fixed values and the channel's probe text.
template <typename Info>
void fillPlaceAndFilters(const MapChannel& channel, Info& info) {
    info.dLocationX = 0.0;
    info.dLocationY = 0.0;
    info.dLocationZ = 0.0;
    info.dLocationUser = 1.0;
    info.dHighFreqCorner = kHighCorner;
    info.dwHighFreqOrder = kHighOrder;
    writeText(info.szHighFilterType, kHighFilter);
    info.dLowFreqCorner = kLowCorner;
    info.dwLowFreqOrder = kLowOrder;
    writeText(info.szLowFilterType, kLowFilter);
    writeText(info.szProbeInfo, probeInfo(channel));
}
}  // namespace

void fillAnalogInfo(const MapChannel& channel, ns_ANALOGINFO& info) {
    channel.noteRateUse();
    info.dSampleRate = static_cast<double>(channel.rateKHz()) * 1000.0;
    info.dMinVal = kMinValue;
    info.dMaxVal = kMaxValue;
    writeText(info.szUnits, kUnits);
    info.dResolution = kResolution;
    fillPlaceAndFilters(channel, info);
}

void fillSegmentInfo(const MapChannel& channel, ns_SEGMENTINFO& info) {
    info.dwSourceCount = static_cast<uint32_t>(std::max<int16_t>(channel.unitCount(), 0));
    info.dwMinSampleCount = channel.minSampleCount();
    info.dwMaxSampleCount = channel.maxSampleCount();
    channel.noteRateUse();
    info.dSampleRate = static_cast<double>(channel.rateKHz()) * 1000.0;
    writeText(info.szUnits, kUnits);
}

void fillSegmentSourceInfo(const MapChannel& channel, ns_SEGSOURCEINFO& info) {
    info.dMinVal = kMinValue;
    info.dMaxVal = kMaxValue;
    info.dResolution = kResolution;
    info.dSubSampleShift = 0.0;
    fillPlaceAndFilters(channel, info);
}

void fillNeuralInfo(const MapChannel& channel, ns_NEURALINFO& info) {
    info.dwSourceEntityID = channel.neural.sourceEntity;
    info.dwSourceUnitID = channel.neural.sourceUnit;
    writeText(info.szProbeInfo, channel.neural.probeText);
}

}  // namespace mapshare
