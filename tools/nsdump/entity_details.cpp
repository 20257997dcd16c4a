#include "entity_details.h"

#include "ns_library.h"
#include "report.h"
#include "result_names.h"

#include <cstring>
#include <string>

namespace nsdump {

namespace {

template <size_t N>
std::string Text(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

template <typename Record>
Record Zeroed() {
    Record r;
    std::memset(&r, 0, sizeof r);
    return r;
}

bool PrintEventInfo(std::FILE* out, NsLibrary& lib, uint32_t hFile, uint32_t e) {
    ns_EVENTINFO info = Zeroed<ns_EVENTINFO>();
    const ns_RESULT r = lib.GetEventInfo(hFile, e, &info, sizeof info);
    if (r != ns_OK) {
        PrintFailure(out, lib, "ns_GetEventInfo", r);
        return false;
    }
    std::fprintf(out, "                 %s, %u to %u bytes", EventTypeName(info.dwEventType), info.dwMinDataLength,
                 info.dwMaxDataLength);
    if (info.szCSVDesc[0] != '\0') std::fprintf(out, ", columns \"%s\"", Text(info.szCSVDesc).c_str());
    std::fprintf(out, "\n");
    return true;
}

bool PrintAnalogInfo(std::FILE* out, NsLibrary& lib, uint32_t hFile, uint32_t e) {
    ns_ANALOGINFO info = Zeroed<ns_ANALOGINFO>();
    const ns_RESULT r = lib.GetAnalogInfo(hFile, e, &info, sizeof info);
    if (r != ns_OK) {
        PrintFailure(out, lib, "ns_GetAnalogInfo", r);
        return false;
    }
    const std::string units = Text(info.szUnits);
    std::fprintf(out, "                 %g Hz, %g to %g %s, resolution %g %s\n", info.dSampleRate, info.dMinVal,
                 info.dMaxVal, units.c_str(), info.dResolution, units.c_str());
    std::fprintf(out, "                 location (%g, %g, %g) m, filters %g Hz to %g Hz\n", info.dLocationX,
                 info.dLocationY, info.dLocationZ, info.dLowFreqCorner, info.dHighFreqCorner);
    if (info.szProbeInfo[0] != '\0') std::fprintf(out, "                 probe %s\n", Text(info.szProbeInfo).c_str());
    return true;
}

bool PrintSegmentInfo(std::FILE* out, NsLibrary& lib, uint32_t hFile, uint32_t e) {
    ns_SEGMENTINFO info = Zeroed<ns_SEGMENTINFO>();
    ns_RESULT r = lib.GetSegmentInfo(hFile, e, &info, sizeof info);
    if (r != ns_OK) {
        PrintFailure(out, lib, "ns_GetSegmentInfo", r);
        return false;
    }
    std::fprintf(out, "                 %g Hz, %u to %u samples, %u source(s), units %s\n", info.dSampleRate,
                 info.dwMinSampleCount, info.dwMaxSampleCount, info.dwSourceCount, Text(info.szUnits).c_str());
    bool ok = true;
    for (uint32_t s = 0; s < info.dwSourceCount && s < 16; ++s) {
        ns_SEGSOURCEINFO source = Zeroed<ns_SEGSOURCEINFO>();
        r = lib.GetSegmentSourceInfo(hFile, e, s, &source, sizeof source);
        if (r != ns_OK) {
            PrintFailure(out, lib, "ns_GetSegmentSourceInfo", r);
            ok = false;
            continue;
        }
        std::fprintf(out, "                 source %u: %g to %g, resolution %g, filters %g Hz to %g Hz\n", s,
                     source.dMinVal, source.dMaxVal, source.dResolution, source.dLowFreqCorner,
                     source.dHighFreqCorner);
    }
    return ok;
}

bool PrintNeuralInfo(std::FILE* out, NsLibrary& lib, uint32_t hFile, uint32_t e) {
    ns_NEURALINFO info = Zeroed<ns_NEURALINFO>();
    const ns_RESULT r = lib.GetNeuralInfo(hFile, e, &info, sizeof info);
    if (r != ns_OK) {
        PrintFailure(out, lib, "ns_GetNeuralInfo", r);
        return false;
    }
    std::fprintf(out, "                 source entity %u, unit %u", info.dwSourceEntityID, info.dwSourceUnitID);
    if (info.szProbeInfo[0] != '\0') std::fprintf(out, ", probe %s", Text(info.szProbeInfo).c_str());
    std::fprintf(out, "\n");
    return true;
}

}  // namespace

bool PrintEntityDetails(std::FILE* out, NsLibrary& lib, uint32_t hFile, uint32_t count) {
    bool ok = true;
    for (uint32_t i = 0; i < count; ++i) {
        ns_ENTITYINFO e = Zeroed<ns_ENTITYINFO>();
        const ns_RESULT r = lib.GetEntityInfo(hFile, i, &e, sizeof e);
        if (r != ns_OK) {
            std::fprintf(out, "  entity %5u  ", i);
            PrintFailure(out, lib, "ns_GetEntityInfo", r);
            ok = false;
            continue;
        }
        std::fprintf(out, "  entity %5u  %-7s %10u items  %s\n", i, EntityTypeName(e.dwEntityType), e.dwItemCount,
                     Text(e.szEntityLabel).c_str());
        switch (e.dwEntityType) {
            case ns_ENTITY_EVENT: ok = PrintEventInfo(out, lib, hFile, i) && ok; break;
            case ns_ENTITY_ANALOG: ok = PrintAnalogInfo(out, lib, hFile, i) && ok; break;
            case ns_ENTITY_SEGMENT: ok = PrintSegmentInfo(out, lib, hFile, i) && ok; break;
            case ns_ENTITY_NEURALEVENT: ok = PrintNeuralInfo(out, lib, hFile, i) && ok; break;
            default: break;
        }
    }
    return ok;
}

}  // namespace nsdump
