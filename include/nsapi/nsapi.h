/*
 * Neuroshare reader API 1.3: the records, constants, result codes and the
 * seventeen functions that a Neuroshare library exports.  Shared by qrdshare
 * and mapshare; usable from C and C++ hosts.
 *
 * Every record is packed on 4-byte boundaries: a double that follows a 32-bit
 * field is not padded to an 8-byte boundary.  Hosts rely on these exact
 * layouts, so each size and each offset that a host is likely to touch is
 * checked at compile time below.  Hosts that lay records out with every
 * double on an 8-byte offset use the _ALIGNED variants at the end of this
 * header; the size argument tells the library which layout it is given.
 */
#ifndef NSAPI_NSAPI_H
#define NSAPI_NSAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. */
typedef int32_t ns_RESULT;
#define ns_OK          0   /* success */
#define ns_LIBERROR   -1   /* record pointer or size not accepted; library error */
#define ns_TYPEERROR  -2   /* not a file type this library reads */
#define ns_FILEERROR  -3   /* the file cannot be opened */
#define ns_BADFILE    -4   /* file identifier out of range or not open */
#define ns_BADENTITY  -5   /* entity index out of range or of the wrong type */
#define ns_BADSOURCE  -6   /* segment source index not valid */
#define ns_BADINDEX   -7   /* item index, range or time not valid */

/* Entity types. */
#define ns_ENTITY_UNKNOWN     0
#define ns_ENTITY_EVENT       1
#define ns_ENTITY_ANALOG      2
#define ns_ENTITY_SEGMENT     3
#define ns_ENTITY_NEURALEVENT 4

/* Event types. */
#define ns_EVENT_TEXT  0
#define ns_EVENT_CSV   1
#define ns_EVENT_BYTE  2
#define ns_EVENT_WORD  3
#define ns_EVENT_DWORD 4

/* Flags of ns_GetIndexByTime. */
#define ns_BEFORE  -1
#define ns_CLOSEST  0
#define ns_AFTER    1

#pragma pack(push, 4)

typedef struct {
    char szDescription[32];
    char szExtension[8];
    char szMacCodes[8];
    char szMagicCode[16];
} ns_FILEDESC;

typedef struct {
    uint32_t dwLibVersionMaj;
    uint32_t dwLibVersionMin;
    uint32_t dwAPIVersionMaj;
    uint32_t dwAPIVersionMin;
    char szDescription[64];
    char szCreator[64];
    uint32_t dwTime_Year;
    uint32_t dwTime_Month;
    uint32_t dwTime_Day;
    uint32_t dwFlags;
    uint32_t dwMaxFiles;
    uint32_t dwFileDescCount;
    ns_FILEDESC FileDesc[16];
} ns_LIBRARYINFO;

typedef struct {
    char szFileType[32];
    uint32_t dwEntityCount;
    double dTimeStampResolution;
    double dTimeSpan;
    char szAppName[64];
    uint32_t dwTime_Year;
    uint32_t dwTime_Month;
    uint32_t dwTime_DayofWeek;
    uint32_t dwTime_Day;
    uint32_t dwTime_Hour;
    uint32_t dwTime_Min;
    uint32_t dwTime_Sec;
    uint32_t dwTime_MilliSec;
    char szFileComment[256];
} ns_FILEINFO;

typedef struct {
    char szEntityLabel[32];
    uint32_t dwEntityType;
    uint32_t dwItemCount;
} ns_ENTITYINFO;

typedef struct {
    uint32_t dwEventType;
    uint32_t dwMinDataLength;
    uint32_t dwMaxDataLength;
    char szCSVDesc[128];
} ns_EVENTINFO;

typedef struct {
    double dSampleRate;
    double dMinVal;
    double dMaxVal;
    char szUnits[16];
    double dResolution;
    double dLocationX;
    double dLocationY;
    double dLocationZ;
    double dLocationUser;
    double dHighFreqCorner;
    uint32_t dwHighFreqOrder;
    char szHighFilterType[16];
    double dLowFreqCorner;
    uint32_t dwLowFreqOrder;
    char szLowFilterType[16];
    char szProbeInfo[128];
} ns_ANALOGINFO;

typedef struct {
    uint32_t dwSourceCount;
    uint32_t dwMinSampleCount;
    uint32_t dwMaxSampleCount;
    double dSampleRate;
    char szUnits[32];
} ns_SEGMENTINFO;

typedef struct {
    double dMinVal;
    double dMaxVal;
    double dResolution;
    double dSubSampleShift;
    double dLocationX;
    double dLocationY;
    double dLocationZ;
    double dLocationUser;
    double dHighFreqCorner;
    uint32_t dwHighFreqOrder;
    char szHighFilterType[16];
    double dLowFreqCorner;
    uint32_t dwLowFreqOrder;
    char szLowFilterType[16];
    char szProbeInfo[128];
} ns_SEGSOURCEINFO;

typedef struct {
    uint32_t dwSourceEntityID;
    uint32_t dwSourceUnitID;
    char szProbeInfo[128];
} ns_NEURALINFO;

#pragma pack(pop)

/* Export decoration and calling convention.
 *
 * On Linux the libraries build with hidden visibility and mark only these
 * seventeen functions for export.  On Windows each DLL's .def file lists the
 * exports (these seventeen and DllMain, by their plain names), so nothing is
 * marked here.
 *
 * NSAPI_CALL: 32-bit Windows hosts call Neuroshare libraries through
 * __stdcall function pointers (the callee removes the arguments from the
 * stack), so the functions and the pointer types below use it there.  On
 * every other target there is only one C calling convention and NSAPI_CALL is
 * empty. */
#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#  define NSAPI_CALL __stdcall
#else
#  define NSAPI_CALL
#endif
#if !defined(_WIN32) && defined(NSAPI_BUILDING_LIBRARY)
#  define NSAPI_EXPORT __attribute__((visibility("default")))
#else
#  define NSAPI_EXPORT
#endif

NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetLibraryInfo(ns_LIBRARYINFO *pLibraryInfo, uint32_t dwLibraryInfoSize);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_OpenFile(const char *pszFilename, uint32_t *hFile);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetFileInfo(uint32_t hFile, ns_FILEINFO *pFileInfo, uint32_t dwFileInfoSize);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_CloseFile(uint32_t hFile);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetEntityInfo(uint32_t hFile, uint32_t dwEntityID, ns_ENTITYINFO *pEntityInfo, uint32_t dwEntityInfoSize);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetEventInfo(uint32_t hFile, uint32_t dwEntityID, ns_EVENTINFO *pEventInfo, uint32_t dwEventInfoSize);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetEventData(uint32_t hFile, uint32_t dwEntityID, uint32_t nIndex, double *pdTimeStamp, void *pData, uint32_t dwDataSize, uint32_t *pdwDataRetSize);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetAnalogInfo(uint32_t hFile, uint32_t dwEntityID, ns_ANALOGINFO *pAnalogInfo, uint32_t dwAnalogInfoSize);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetAnalogData(uint32_t hFile, uint32_t dwEntityID, uint32_t dwStartIndex, uint32_t dwIndexCount, uint32_t *pdwContCount, double *pdData);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetSegmentInfo(uint32_t hFile, uint32_t dwEntityID, ns_SEGMENTINFO *pSegmentInfo, uint32_t dwSegmentInfoSize);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetSegmentSourceInfo(uint32_t hFile, uint32_t dwEntityID, uint32_t dwSourceID, ns_SEGSOURCEINFO *pSourceInfo, uint32_t dwSourceInfoSize);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetSegmentData(uint32_t hFile, uint32_t dwEntityID, int32_t nIndex, double *pdTimeStamp, double *pdData, uint32_t dwDataBufferSize, uint32_t *pdwSampleCount, uint32_t *pdwUnitID);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetNeuralInfo(uint32_t hFile, uint32_t dwEntityID, ns_NEURALINFO *pNeuralInfo, uint32_t dwNeuralInfoSize);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetNeuralData(uint32_t hFile, uint32_t dwEntityID, uint32_t dwStartIndex, uint32_t dwIndexCount, double *pdData);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetIndexByTime(uint32_t hFile, uint32_t dwEntityID, double dTime, int32_t nFlag, uint32_t *pdwIndex);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetTimeByIndex(uint32_t hFile, uint32_t dwEntityID, uint32_t dwIndex, double *pdTime);
NSAPI_EXPORT ns_RESULT NSAPI_CALL ns_GetLastErrorMsg(char *pszMsgBuffer, uint32_t dwMsgBufferSize);

/* Function pointer types, for hosts that load a library at run time. */
typedef ns_RESULT (NSAPI_CALL *NS_GETLIBRARYINFO)(ns_LIBRARYINFO *, uint32_t);
typedef ns_RESULT (NSAPI_CALL *NS_OPENFILE)(const char *, uint32_t *);
typedef ns_RESULT (NSAPI_CALL *NS_GETFILEINFO)(uint32_t, ns_FILEINFO *, uint32_t);
typedef ns_RESULT (NSAPI_CALL *NS_CLOSEFILE)(uint32_t);
typedef ns_RESULT (NSAPI_CALL *NS_GETENTITYINFO)(uint32_t, uint32_t, ns_ENTITYINFO *, uint32_t);
typedef ns_RESULT (NSAPI_CALL *NS_GETEVENTINFO)(uint32_t, uint32_t, ns_EVENTINFO *, uint32_t);
typedef ns_RESULT (NSAPI_CALL *NS_GETEVENTDATA)(uint32_t, uint32_t, uint32_t, double *, void *, uint32_t, uint32_t *);
typedef ns_RESULT (NSAPI_CALL *NS_GETANALOGINFO)(uint32_t, uint32_t, ns_ANALOGINFO *, uint32_t);
typedef ns_RESULT (NSAPI_CALL *NS_GETANALOGDATA)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t *, double *);
typedef ns_RESULT (NSAPI_CALL *NS_GETSEGMENTINFO)(uint32_t, uint32_t, ns_SEGMENTINFO *, uint32_t);
typedef ns_RESULT (NSAPI_CALL *NS_GETSEGMENTSOURCEINFO)(uint32_t, uint32_t, uint32_t, ns_SEGSOURCEINFO *, uint32_t);
typedef ns_RESULT (NSAPI_CALL *NS_GETSEGMENTDATA)(uint32_t, uint32_t, int32_t, double *, double *, uint32_t, uint32_t *, uint32_t *);
typedef ns_RESULT (NSAPI_CALL *NS_GETNEURALINFO)(uint32_t, uint32_t, ns_NEURALINFO *, uint32_t);
typedef ns_RESULT (NSAPI_CALL *NS_GETNEURALDATA)(uint32_t, uint32_t, uint32_t, uint32_t, double *);
typedef ns_RESULT (NSAPI_CALL *NS_GETINDEXBYTIME)(uint32_t, uint32_t, double, int32_t, uint32_t *);
typedef ns_RESULT (NSAPI_CALL *NS_GETTIMEBYINDEX)(uint32_t, uint32_t, uint32_t, double *);
typedef ns_RESULT (NSAPI_CALL *NS_GETLASTERRORMSG)(char *, uint32_t);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* Layout checks: hosts in other languages map these records byte for byte. */
#if defined(__cplusplus)
#  include <cstddef>
#  define NSAPI_STATIC_ASSERT(c, m) static_assert(c, m)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#  include <stddef.h>
#  define NSAPI_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif

#ifdef NSAPI_STATIC_ASSERT
NSAPI_STATIC_ASSERT(sizeof(ns_FILEDESC) == 64, "ns_FILEDESC is 64 bytes");
NSAPI_STATIC_ASSERT(sizeof(ns_LIBRARYINFO) == 1192, "ns_LIBRARYINFO is 1192 bytes");
NSAPI_STATIC_ASSERT(offsetof(ns_LIBRARYINFO, dwTime_Year) == 144, "ns_LIBRARYINFO.dwTime_Year");
NSAPI_STATIC_ASSERT(offsetof(ns_LIBRARYINFO, dwMaxFiles) == 160, "ns_LIBRARYINFO.dwMaxFiles");
NSAPI_STATIC_ASSERT(offsetof(ns_LIBRARYINFO, FileDesc) == 168, "ns_LIBRARYINFO.FileDesc");
NSAPI_STATIC_ASSERT(offsetof(ns_FILEDESC, szMagicCode) == 48, "ns_FILEDESC.szMagicCode");
NSAPI_STATIC_ASSERT(sizeof(ns_FILEINFO) == 404, "ns_FILEINFO is 404 bytes");
NSAPI_STATIC_ASSERT(offsetof(ns_FILEINFO, dTimeStampResolution) == 36, "ns_FILEINFO.dTimeStampResolution");
NSAPI_STATIC_ASSERT(offsetof(ns_FILEINFO, dTimeSpan) == 44, "ns_FILEINFO.dTimeSpan");
NSAPI_STATIC_ASSERT(offsetof(ns_FILEINFO, szAppName) == 52, "ns_FILEINFO.szAppName");
NSAPI_STATIC_ASSERT(offsetof(ns_FILEINFO, dwTime_Year) == 116, "ns_FILEINFO.dwTime_Year");
NSAPI_STATIC_ASSERT(offsetof(ns_FILEINFO, szFileComment) == 148, "ns_FILEINFO.szFileComment");
NSAPI_STATIC_ASSERT(sizeof(ns_ENTITYINFO) == 40, "ns_ENTITYINFO is 40 bytes");
NSAPI_STATIC_ASSERT(offsetof(ns_ENTITYINFO, dwEntityType) == 32, "ns_ENTITYINFO.dwEntityType");
NSAPI_STATIC_ASSERT(sizeof(ns_EVENTINFO) == 140, "ns_EVENTINFO is 140 bytes");
NSAPI_STATIC_ASSERT(offsetof(ns_EVENTINFO, szCSVDesc) == 12, "ns_EVENTINFO.szCSVDesc");
NSAPI_STATIC_ASSERT(sizeof(ns_ANALOGINFO) == 264, "ns_ANALOGINFO is 264 bytes");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO, szUnits) == 24, "ns_ANALOGINFO.szUnits");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO, dResolution) == 40, "ns_ANALOGINFO.dResolution");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO, dHighFreqCorner) == 80, "ns_ANALOGINFO.dHighFreqCorner");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO, dwHighFreqOrder) == 88, "ns_ANALOGINFO.dwHighFreqOrder");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO, dLowFreqCorner) == 108, "ns_ANALOGINFO.dLowFreqCorner");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO, szProbeInfo) == 136, "ns_ANALOGINFO.szProbeInfo");
NSAPI_STATIC_ASSERT(sizeof(ns_SEGMENTINFO) == 52, "ns_SEGMENTINFO is 52 bytes");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGMENTINFO, dSampleRate) == 12, "ns_SEGMENTINFO.dSampleRate");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGMENTINFO, szUnits) == 20, "ns_SEGMENTINFO.szUnits");
NSAPI_STATIC_ASSERT(sizeof(ns_SEGSOURCEINFO) == 248, "ns_SEGSOURCEINFO is 248 bytes");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGSOURCEINFO, dHighFreqCorner) == 64, "ns_SEGSOURCEINFO.dHighFreqCorner");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGSOURCEINFO, dwHighFreqOrder) == 72, "ns_SEGSOURCEINFO.dwHighFreqOrder");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGSOURCEINFO, dLowFreqCorner) == 92, "ns_SEGSOURCEINFO.dLowFreqCorner");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGSOURCEINFO, szProbeInfo) == 120, "ns_SEGSOURCEINFO.szProbeInfo");
NSAPI_STATIC_ASSERT(sizeof(ns_NEURALINFO) == 136, "ns_NEURALINFO is 136 bytes");
NSAPI_STATIC_ASSERT(offsetof(ns_NEURALINFO, szProbeInfo) == 8, "ns_NEURALINFO.szProbeInfo");
#endif

/*
 * Naturally aligned variants of the four records that hold a double after a
 * 32-bit field.  Hosts compiled without 4-byte packing (gcc or clang with a
 * header that packs only under MSVC, ctypes structures without _pack_, MSVC
 * hosts that leave packing off) lay these records out with every double on an
 * 8-byte offset.  Both libraries recognise such a host by the size argument:
 *
 *   record             packed size   aligned size
 *   ns_FILEINFO            404           408
 *   ns_ANALOGINFO          264           272
 *   ns_SEGMENTINFO          52            56
 *   ns_SEGSOURCEINFO       248           256
 *
 * A size equal to the aligned size fills the aligned layout below; the packed
 * size fills the packed layout.  The other four records are the same in both
 * layouts.  The padding is spelled out, so these types have the same layout
 * under every compiler, packing setting and word size; the library never
 * writes the padding bytes.
 */
#pragma pack(push, 4)

typedef struct {
    char szFileType[32];
    uint32_t dwEntityCount;
    uint8_t alignPad0[4];
    double dTimeStampResolution;
    double dTimeSpan;
    char szAppName[64];
    uint32_t dwTime_Year;
    uint32_t dwTime_Month;
    uint32_t dwTime_DayofWeek;
    uint32_t dwTime_Day;
    uint32_t dwTime_Hour;
    uint32_t dwTime_Min;
    uint32_t dwTime_Sec;
    uint32_t dwTime_MilliSec;
    char szFileComment[256];
} ns_FILEINFO_ALIGNED;

typedef struct {
    double dSampleRate;
    double dMinVal;
    double dMaxVal;
    char szUnits[16];
    double dResolution;
    double dLocationX;
    double dLocationY;
    double dLocationZ;
    double dLocationUser;
    double dHighFreqCorner;
    uint32_t dwHighFreqOrder;
    char szHighFilterType[16];
    uint8_t alignPad0[4];
    double dLowFreqCorner;
    uint32_t dwLowFreqOrder;
    char szLowFilterType[16];
    char szProbeInfo[128];
    uint8_t alignPad1[4];
} ns_ANALOGINFO_ALIGNED;

typedef struct {
    uint32_t dwSourceCount;
    uint32_t dwMinSampleCount;
    uint32_t dwMaxSampleCount;
    uint8_t alignPad0[4];
    double dSampleRate;
    char szUnits[32];
} ns_SEGMENTINFO_ALIGNED;

typedef struct {
    double dMinVal;
    double dMaxVal;
    double dResolution;
    double dSubSampleShift;
    double dLocationX;
    double dLocationY;
    double dLocationZ;
    double dLocationUser;
    double dHighFreqCorner;
    uint32_t dwHighFreqOrder;
    char szHighFilterType[16];
    uint8_t alignPad0[4];
    double dLowFreqCorner;
    uint32_t dwLowFreqOrder;
    char szLowFilterType[16];
    char szProbeInfo[128];
    uint8_t alignPad1[4];
} ns_SEGSOURCEINFO_ALIGNED;

#pragma pack(pop)

#ifdef NSAPI_STATIC_ASSERT
NSAPI_STATIC_ASSERT(sizeof(ns_FILEINFO_ALIGNED) == 408, "ns_FILEINFO_ALIGNED is 408 bytes");
NSAPI_STATIC_ASSERT(offsetof(ns_FILEINFO_ALIGNED, dTimeStampResolution) == 40, "ns_FILEINFO_ALIGNED.dTimeStampResolution");
NSAPI_STATIC_ASSERT(offsetof(ns_FILEINFO_ALIGNED, dTimeSpan) == 48, "ns_FILEINFO_ALIGNED.dTimeSpan");
NSAPI_STATIC_ASSERT(offsetof(ns_FILEINFO_ALIGNED, szAppName) == 56, "ns_FILEINFO_ALIGNED.szAppName");
NSAPI_STATIC_ASSERT(offsetof(ns_FILEINFO_ALIGNED, dwTime_Year) == 120, "ns_FILEINFO_ALIGNED.dwTime_Year");
NSAPI_STATIC_ASSERT(offsetof(ns_FILEINFO_ALIGNED, dwTime_MilliSec) == 148, "ns_FILEINFO_ALIGNED.dwTime_MilliSec");
NSAPI_STATIC_ASSERT(offsetof(ns_FILEINFO_ALIGNED, szFileComment) == 152, "ns_FILEINFO_ALIGNED.szFileComment");
NSAPI_STATIC_ASSERT(sizeof(ns_ANALOGINFO_ALIGNED) == 272, "ns_ANALOGINFO_ALIGNED is 272 bytes");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO_ALIGNED, szUnits) == 24, "ns_ANALOGINFO_ALIGNED.szUnits");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO_ALIGNED, dResolution) == 40, "ns_ANALOGINFO_ALIGNED.dResolution");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO_ALIGNED, dHighFreqCorner) == 80, "ns_ANALOGINFO_ALIGNED.dHighFreqCorner");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO_ALIGNED, dwHighFreqOrder) == 88, "ns_ANALOGINFO_ALIGNED.dwHighFreqOrder");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO_ALIGNED, szHighFilterType) == 92, "ns_ANALOGINFO_ALIGNED.szHighFilterType");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO_ALIGNED, dLowFreqCorner) == 112, "ns_ANALOGINFO_ALIGNED.dLowFreqCorner");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO_ALIGNED, dwLowFreqOrder) == 120, "ns_ANALOGINFO_ALIGNED.dwLowFreqOrder");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO_ALIGNED, szLowFilterType) == 124, "ns_ANALOGINFO_ALIGNED.szLowFilterType");
NSAPI_STATIC_ASSERT(offsetof(ns_ANALOGINFO_ALIGNED, szProbeInfo) == 140, "ns_ANALOGINFO_ALIGNED.szProbeInfo");
NSAPI_STATIC_ASSERT(sizeof(ns_SEGMENTINFO_ALIGNED) == 56, "ns_SEGMENTINFO_ALIGNED is 56 bytes");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGMENTINFO_ALIGNED, dSampleRate) == 16, "ns_SEGMENTINFO_ALIGNED.dSampleRate");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGMENTINFO_ALIGNED, szUnits) == 24, "ns_SEGMENTINFO_ALIGNED.szUnits");
NSAPI_STATIC_ASSERT(sizeof(ns_SEGSOURCEINFO_ALIGNED) == 256, "ns_SEGSOURCEINFO_ALIGNED is 256 bytes");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGSOURCEINFO_ALIGNED, dHighFreqCorner) == 64, "ns_SEGSOURCEINFO_ALIGNED.dHighFreqCorner");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGSOURCEINFO_ALIGNED, dwHighFreqOrder) == 72, "ns_SEGSOURCEINFO_ALIGNED.dwHighFreqOrder");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGSOURCEINFO_ALIGNED, szHighFilterType) == 76, "ns_SEGSOURCEINFO_ALIGNED.szHighFilterType");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGSOURCEINFO_ALIGNED, dLowFreqCorner) == 96, "ns_SEGSOURCEINFO_ALIGNED.dLowFreqCorner");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGSOURCEINFO_ALIGNED, dwLowFreqOrder) == 104, "ns_SEGSOURCEINFO_ALIGNED.dwLowFreqOrder");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGSOURCEINFO_ALIGNED, szLowFilterType) == 108, "ns_SEGSOURCEINFO_ALIGNED.szLowFilterType");
NSAPI_STATIC_ASSERT(offsetof(ns_SEGSOURCEINFO_ALIGNED, szProbeInfo) == 124, "ns_SEGSOURCEINFO_ALIGNED.szProbeInfo");
#endif

#endif /* NSAPI_NSAPI_H */
