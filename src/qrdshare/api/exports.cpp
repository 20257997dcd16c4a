// The seventeen exported Neuroshare functions of libqrdshare.so.
//
// Each forwards to the entry point of the same name on the library's registry
// and makes sure nothing thrown inside ever reaches the host: C hosts (and the
// C ABI) cannot take an exception, so one becomes ns_LIBERROR.
#include "api/entry_points.h"
#include "api/registry.h"
#include "nsapi/nsapi.h"

#include <new>

namespace {

template <typename Call>
ns_RESULT Guarded(Call call) noexcept {
    try {
        return call();
    } catch (...) {
        return ns_LIBERROR;
    }
}

// Creating the registry here makes the library read its settings file while
// it is being loaded, before the host makes its first call.
struct LoadTimeRegistry {
    LoadTimeRegistry() noexcept {
        try {
            qrd::Registry();
        } catch (...) {
            // Retried on first use; a load must not fail over settings.
        }
    }
} const loadTimeRegistry;

}  // namespace

using namespace qrd;

extern "C" {

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetLibraryInfo(ns_LIBRARYINFO* pLibraryInfo, uint32_t dwLibraryInfoSize) {
    return Guarded([&] { return entry::GetLibraryInfo(pLibraryInfo, dwLibraryInfoSize); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_OpenFile(const char* pszFilename, uint32_t* hFile) {
    return Guarded([&] { return entry::OpenFile(Registry(), pszFilename, hFile); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetFileInfo(uint32_t hFile, ns_FILEINFO* pFileInfo, uint32_t dwFileInfoSize) {
    return Guarded([&] { return entry::GetFileInfo(Registry(), hFile, pFileInfo, dwFileInfoSize); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_CloseFile(uint32_t hFile) {
    return Guarded([&] { return entry::CloseFile(Registry(), hFile); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetEntityInfo(uint32_t hFile, uint32_t dwEntityID, ns_ENTITYINFO* pEntityInfo,
                                                   uint32_t dwEntityInfoSize) {
    return Guarded([&] { return entry::GetEntityInfo(Registry(), hFile, dwEntityID, pEntityInfo, dwEntityInfoSize); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetEventInfo(uint32_t hFile, uint32_t dwEntityID, ns_EVENTINFO* pEventInfo,
                                                  uint32_t dwEventInfoSize) {
    return Guarded([&] { return entry::GetEventInfo(Registry(), hFile, dwEntityID, pEventInfo, dwEventInfoSize); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetEventData(uint32_t hFile, uint32_t dwEntityID, uint32_t nIndex,
                                                  double* pdTimeStamp, void* pData, uint32_t dwDataSize,
                                                  uint32_t* pdwDataRetSize) {
    return Guarded([&] {
        return entry::GetEventData(Registry(), hFile, dwEntityID, nIndex, pdTimeStamp, pData, dwDataSize,
                                   pdwDataRetSize);
    });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetAnalogInfo(uint32_t hFile, uint32_t dwEntityID, ns_ANALOGINFO* pAnalogInfo,
                                                   uint32_t dwAnalogInfoSize) {
    return Guarded([&] { return entry::GetAnalogInfo(Registry(), hFile, dwEntityID, pAnalogInfo, dwAnalogInfoSize); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetAnalogData(uint32_t hFile, uint32_t dwEntityID, uint32_t dwStartIndex,
                                                   uint32_t dwIndexCount, uint32_t* pdwContCount, double* pdData) {
    return Guarded([&] {
        return entry::GetAnalogData(Registry(), hFile, dwEntityID, dwStartIndex, dwIndexCount, pdwContCount, pdData);
    });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetSegmentInfo(uint32_t hFile, uint32_t dwEntityID,
                                                    ns_SEGMENTINFO* pSegmentInfo, uint32_t dwSegmentInfoSize) {
    return Guarded(
        [&] { return entry::GetSegmentInfo(Registry(), hFile, dwEntityID, pSegmentInfo, dwSegmentInfoSize); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetSegmentSourceInfo(uint32_t hFile, uint32_t dwEntityID, uint32_t dwSourceID,
                                                          ns_SEGSOURCEINFO* pSourceInfo, uint32_t dwSourceInfoSize) {
    return Guarded([&] {
        return entry::GetSegmentSourceInfo(Registry(), hFile, dwEntityID, dwSourceID, pSourceInfo, dwSourceInfoSize);
    });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetSegmentData(uint32_t hFile, uint32_t dwEntityID, int32_t nIndex,
                                                    double* pdTimeStamp, double* pdData, uint32_t dwDataBufferSize,
                                                    uint32_t* pdwSampleCount, uint32_t* pdwUnitID) {
    return Guarded([&] {
        return entry::GetSegmentData(Registry(), hFile, dwEntityID, nIndex, pdTimeStamp, pdData, dwDataBufferSize,
                                     pdwSampleCount, pdwUnitID);
    });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetNeuralInfo(uint32_t hFile, uint32_t dwEntityID, ns_NEURALINFO* pNeuralInfo,
                                                   uint32_t dwNeuralInfoSize) {
    return Guarded([&] { return entry::GetNeuralInfo(Registry(), hFile, dwEntityID, pNeuralInfo, dwNeuralInfoSize); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetNeuralData(uint32_t hFile, uint32_t dwEntityID, uint32_t dwStartIndex,
                                                   uint32_t dwIndexCount, double* pdData) {
    return Guarded(
        [&] { return entry::GetNeuralData(Registry(), hFile, dwEntityID, dwStartIndex, dwIndexCount, pdData); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetIndexByTime(uint32_t hFile, uint32_t dwEntityID, double dTime, int32_t nFlag,
                                                    uint32_t* pdwIndex) {
    return Guarded([&] { return entry::GetIndexByTime(Registry(), hFile, dwEntityID, dTime, nFlag, pdwIndex); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetTimeByIndex(uint32_t hFile, uint32_t dwEntityID, uint32_t dwIndex,
                                                    double* pdTime) {
    return Guarded([&] { return entry::GetTimeByIndex(Registry(), hFile, dwEntityID, dwIndex, pdTime); });
}

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetLastErrorMsg(char* pszMsgBuffer, uint32_t dwMsgBufferSize) {
    return Guarded([&] { return entry::GetLastErrorMsg(pszMsgBuffer, dwMsgBufferSize); });
}

}  // extern "C"
