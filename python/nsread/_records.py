"""ctypes mirrors of the records in ``include/nsapi/nsapi.h``.

Every record is packed on 4-byte boundaries (``_pack_ = 4``), so each double
that follows a 32-bit field sits at a 4-byte offset, exactly as in the C
header.  The sizes passed to the libraries are ``ctypes.sizeof`` of these
structures: the packed sizes, which both bundled libraries accept.
"""

from __future__ import annotations

import ctypes

c_char = ctypes.c_char
c_u32 = ctypes.c_uint32
c_f64 = ctypes.c_double

# Result codes.
ns_OK = 0
ns_LIBERROR = -1
ns_TYPEERROR = -2
ns_FILEERROR = -3
ns_BADFILE = -4
ns_BADENTITY = -5
ns_BADSOURCE = -6
ns_BADINDEX = -7

RESULT_NAMES = {
    ns_OK: "ns_OK",
    ns_LIBERROR: "ns_LIBERROR",
    ns_TYPEERROR: "ns_TYPEERROR",
    ns_FILEERROR: "ns_FILEERROR",
    ns_BADFILE: "ns_BADFILE",
    ns_BADENTITY: "ns_BADENTITY",
    ns_BADSOURCE: "ns_BADSOURCE",
    ns_BADINDEX: "ns_BADINDEX",
}

RESULT_TEXTS = {
    ns_OK: "success",
    ns_LIBERROR: "library error (record or size not accepted)",
    ns_TYPEERROR: "not a file type this library reads",
    ns_FILEERROR: "the file cannot be opened",
    ns_BADFILE: "file identifier not valid or not open",
    ns_BADENTITY: "entity index out of range or of the wrong type",
    ns_BADSOURCE: "segment source index not valid",
    ns_BADINDEX: "item index, range or time not valid",
}

# Entity types.
ns_ENTITY_UNKNOWN = 0
ns_ENTITY_EVENT = 1
ns_ENTITY_ANALOG = 2
ns_ENTITY_SEGMENT = 3
ns_ENTITY_NEURALEVENT = 4

# Event types.
ns_EVENT_TEXT = 0
ns_EVENT_CSV = 1
ns_EVENT_BYTE = 2
ns_EVENT_WORD = 3
ns_EVENT_DWORD = 4

# Flags of ns_GetIndexByTime.
ns_BEFORE = -1
ns_CLOSEST = 0
ns_AFTER = 1


class _Packed(ctypes.Structure):
    _pack_ = 4


class ns_FILEDESC(_Packed):
    _pack_ = 4
    _fields_ = [
        ("szDescription", c_char * 32),
        ("szExtension", c_char * 8),
        ("szMacCodes", c_char * 8),
        ("szMagicCode", c_char * 16),
    ]


class ns_LIBRARYINFO(_Packed):
    _pack_ = 4
    _fields_ = [
        ("dwLibVersionMaj", c_u32),
        ("dwLibVersionMin", c_u32),
        ("dwAPIVersionMaj", c_u32),
        ("dwAPIVersionMin", c_u32),
        ("szDescription", c_char * 64),
        ("szCreator", c_char * 64),
        ("dwTime_Year", c_u32),
        ("dwTime_Month", c_u32),
        ("dwTime_Day", c_u32),
        ("dwFlags", c_u32),
        ("dwMaxFiles", c_u32),
        ("dwFileDescCount", c_u32),
        ("FileDesc", ns_FILEDESC * 16),
    ]


class ns_FILEINFO(_Packed):
    _pack_ = 4
    _fields_ = [
        ("szFileType", c_char * 32),
        ("dwEntityCount", c_u32),
        ("dTimeStampResolution", c_f64),
        ("dTimeSpan", c_f64),
        ("szAppName", c_char * 64),
        ("dwTime_Year", c_u32),
        ("dwTime_Month", c_u32),
        ("dwTime_DayofWeek", c_u32),
        ("dwTime_Day", c_u32),
        ("dwTime_Hour", c_u32),
        ("dwTime_Min", c_u32),
        ("dwTime_Sec", c_u32),
        ("dwTime_MilliSec", c_u32),
        ("szFileComment", c_char * 256),
    ]


class ns_ENTITYINFO(_Packed):
    _pack_ = 4
    _fields_ = [
        ("szEntityLabel", c_char * 32),
        ("dwEntityType", c_u32),
        ("dwItemCount", c_u32),
    ]


class ns_EVENTINFO(_Packed):
    _pack_ = 4
    _fields_ = [
        ("dwEventType", c_u32),
        ("dwMinDataLength", c_u32),
        ("dwMaxDataLength", c_u32),
        ("szCSVDesc", c_char * 128),
    ]


# Analog channels and segment sources end alike: where the probe sits, its
# two filters and its description.
_LOCATION_AND_FILTERS = [
    ("dLocationX", c_f64),
    ("dLocationY", c_f64),
    ("dLocationZ", c_f64),
    ("dLocationUser", c_f64),
    ("dHighFreqCorner", c_f64),
    ("dwHighFreqOrder", c_u32),
    ("szHighFilterType", c_char * 16),
    ("dLowFreqCorner", c_f64),
    ("dwLowFreqOrder", c_u32),
    ("szLowFilterType", c_char * 16),
    ("szProbeInfo", c_char * 128),
]


class ns_ANALOGINFO(_Packed):
    _pack_ = 4
    _fields_ = [
        ("dSampleRate", c_f64),
        ("dMinVal", c_f64),
        ("dMaxVal", c_f64),
        ("szUnits", c_char * 16),
        ("dResolution", c_f64),
    ] + _LOCATION_AND_FILTERS


class ns_SEGMENTINFO(_Packed):
    _pack_ = 4
    _fields_ = [
        ("dwSourceCount", c_u32),
        ("dwMinSampleCount", c_u32),
        ("dwMaxSampleCount", c_u32),
        ("dSampleRate", c_f64),
        ("szUnits", c_char * 32),
    ]


class ns_SEGSOURCEINFO(_Packed):
    _pack_ = 4
    _fields_ = [
        ("dMinVal", c_f64),
        ("dMaxVal", c_f64),
        ("dResolution", c_f64),
        ("dSubSampleShift", c_f64),
    ] + _LOCATION_AND_FILTERS


class ns_NEURALINFO(_Packed):
    _pack_ = 4
    _fields_ = [
        ("dwSourceEntityID", c_u32),
        ("dwSourceUnitID", c_u32),
        ("szProbeInfo", c_char * 128),
    ]


ALL_RECORDS = (
    ns_FILEDESC,
    ns_LIBRARYINFO,
    ns_FILEINFO,
    ns_ENTITYINFO,
    ns_EVENTINFO,
    ns_ANALOGINFO,
    ns_SEGMENTINFO,
    ns_SEGSOURCEINFO,
    ns_NEURALINFO,
)


def raw_text(record: ctypes.Structure, field: str) -> bytes:
    """The bytes of a text field up to its first NUL (never beyond the field)."""
    return bytes(getattr(record, field))
