"""A Python host that declares the Neuroshare records with ctypes and no
_pack_, as hosts written in Python commonly do: on 64-bit systems every
double then sits at an 8-byte offset.  It opens a recording through a reader
library and checks that each field of the file, analog, segment and segment
source records arrives where ctypes reads it, equal to the record read in the
packed layout, and that no byte outside the fields (padding, guard bytes
after the record) changes.

usage: unpacked_records_host.py <library> <recording>
"""
import ctypes
import math
import sys

c_u32, c_f64 = ctypes.c_uint32, ctypes.c_double


def text(n):
    return ctypes.c_char * n


FILE_FIELDS = [("szFileType", text(32)), ("dwEntityCount", c_u32), ("dTimeStampResolution", c_f64),
               ("dTimeSpan", c_f64), ("szAppName", text(64))] + \
              [(n, c_u32) for n in ("dwTime_Year", "dwTime_Month", "dwTime_DayofWeek", "dwTime_Day",
                                    "dwTime_Hour", "dwTime_Min", "dwTime_Sec", "dwTime_MilliSec")] + \
              [("szFileComment", text(256))]
CHANNEL_FIELDS = [("dLocationX", c_f64), ("dLocationY", c_f64), ("dLocationZ", c_f64), ("dLocationUser", c_f64),
                  ("dHighFreqCorner", c_f64), ("dwHighFreqOrder", c_u32), ("szHighFilterType", text(16)),
                  ("dLowFreqCorner", c_f64), ("dwLowFreqOrder", c_u32), ("szLowFilterType", text(16)),
                  ("szProbeInfo", text(128))]
ANALOG_FIELDS = [("dSampleRate", c_f64), ("dMinVal", c_f64), ("dMaxVal", c_f64), ("szUnits", text(16)),
                 ("dResolution", c_f64)] + CHANNEL_FIELDS
SEGMENT_FIELDS = [("dwSourceCount", c_u32), ("dwMinSampleCount", c_u32), ("dwMaxSampleCount", c_u32),
                  ("dSampleRate", c_f64), ("szUnits", text(32))]
SOURCE_FIELDS = [("dMinVal", c_f64), ("dMaxVal", c_f64), ("dResolution", c_f64),
                 ("dSubSampleShift", c_f64)] + CHANNEL_FIELDS
ENTITY_FIELDS = [("szEntityLabel", text(32)), ("dwEntityType", c_u32), ("dwItemCount", c_u32)]


def record(name, fields, pack=None):
    attributes = {"_fields_": fields}
    if pack:
        attributes["_pack_"] = pack
    return type(name, (ctypes.Structure,), attributes)


FILL, GUARD = 0xA5, 64
failures = []


def fail(what):
    failures.append(what)
    print("FAIL", what, file=sys.stderr)


def ask(call, size):
    """Calls with a record of `size` bytes followed by guard bytes, all FILL."""
    buffer = (ctypes.c_ubyte * (size + GUARD))(*([FILL] * (size + GUARD)))
    result = call(ctypes.byref(buffer), size)
    return result, bytes(buffer)


def check(name, call, fields):
    host = record(name, fields)
    packed = record(name + "_packed", fields, pack=4)
    result, reference = ask(call, ctypes.sizeof(packed))
    if result != 0:
        fail(f"{name}: packed call answered {result}")
        return
    result, got = ask(call, ctypes.sizeof(host))
    if result != 0:
        fail(f"{name}: call with {ctypes.sizeof(host)} bytes answered {result}")
        return
    covered = set()
    view = host.from_buffer_copy(got[:ctypes.sizeof(host)])
    for field, kind in fields:
        h, p = getattr(host, field), getattr(packed, field)
        covered.update(range(h.offset, h.offset + h.size))
        if got[h.offset:h.offset + h.size] != reference[p.offset:p.offset + p.size]:
            fail(f"{name}.{field}: differs from the packed record")
        value = getattr(view, field)
        if kind is c_f64 and (not math.isfinite(value) or (value != 0 and abs(value) < 1e-300) or abs(value) > 1e12):
            fail(f"{name}.{field}: implausible value {value!r}")
    for i, byte in enumerate(got):
        if i not in covered and byte != FILL:
            fail(f"{name}: byte {i} outside the fields was written")
            break
    print(f"{name}: {ctypes.sizeof(host)} bytes, every field where ctypes reads it")


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    lib = ctypes.CDLL(sys.argv[1])
    handle = c_u32()
    if lib.ns_OpenFile(sys.argv[2].encode(), ctypes.byref(handle)) != 0:
        print("cannot open", sys.argv[2], file=sys.stderr)
        return 1
    h = handle  # a c_uint32, passed as such
    file_info = record("ns_FILEINFO", FILE_FIELDS)()
    if lib.ns_GetFileInfo(h, ctypes.byref(file_info), ctypes.sizeof(file_info)) != 0:
        fail("ns_FILEINFO: host call failed")
    entity_record = record("ns_ENTITYINFO", ENTITY_FIELDS)
    analog = segment = None
    for e in range(file_info.dwEntityCount):
        info = entity_record()
        if lib.ns_GetEntityInfo(h, e, ctypes.byref(info), ctypes.sizeof(info)) != 0:
            continue
        if info.dwEntityType == 2 and analog is None:
            analog = e
        if info.dwEntityType == 3 and segment is None:
            segment = e
    if analog is None or segment is None:
        print(sys.argv[2], "needs an analog and a segment entity", file=sys.stderr)
        return 1

    check("ns_FILEINFO", lambda p, n: lib.ns_GetFileInfo(h, p, n), FILE_FIELDS)
    check("ns_ANALOGINFO", lambda p, n: lib.ns_GetAnalogInfo(h, analog, p, n), ANALOG_FIELDS)
    check("ns_SEGMENTINFO", lambda p, n: lib.ns_GetSegmentInfo(h, segment, p, n), SEGMENT_FIELDS)
    check("ns_SEGSOURCEINFO", lambda p, n: lib.ns_GetSegmentSourceInfo(h, segment, 0, p, n), SOURCE_FIELDS)
    lib.ns_CloseFile(h)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
