/*
 * A host compiled without any packing, as C hosts built with gcc or clang
 * commonly are: it declares the Neuroshare records plainly, loads a reader
 * library with dlopen and asks for the file, analog, segment and segment
 * source records of a recording.  On 64-bit systems (and 32-bit Windows)
 * its records hold every double at an 8-byte offset; on 32-bit x86 Linux
 * they come out packed anyway.  Either way each field must arrive where this
 * host reads it, and no byte outside the fields (padding, text after its
 * NUL, guard bytes after the record) may change.  The _ALIGNED records of
 * nsapi.h are checked the same way, so the aligned layout is covered on
 * every machine.  The packed records of nsapi.h give the reference values.
 *
 * usage: unpacked_records_host <library> <recording> exact|minimum
 *   exact    the library accepts only the packed and the aligned size
 *   minimum  the library accepts any size from the packed size on
 */
#include <nsapi/nsapi.h>

#include <dlfcn.h>
#include <math.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

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
} host_FILEINFO;

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
} host_ANALOGINFO;

typedef struct {
    uint32_t dwSourceCount;
    uint32_t dwMinSampleCount;
    uint32_t dwMaxSampleCount;
    double dSampleRate;
    char szUnits[32];
} host_SEGMENTINFO;

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
} host_SEGSOURCEINFO;

typedef struct {
    char szEntityLabel[32];
    uint32_t dwEntityType;
    uint32_t dwItemCount;
} host_ENTITYINFO;

/* The library's functions as this host declares them. */
typedef int32_t (*open_fn)(const char*, uint32_t*);
typedef int32_t (*close_fn)(uint32_t);
typedef int32_t (*file_info_fn)(uint32_t, void*, uint32_t);
typedef int32_t (*entity_info_fn)(uint32_t, uint32_t, void*, uint32_t);
typedef int32_t (*source_info_fn)(uint32_t, uint32_t, uint32_t, void*, uint32_t);

enum { kText, kNumber, kDouble };

typedef struct {
    const char* name;
    size_t packed;   /* offset in the packed record of nsapi.h */
    size_t host;     /* offset in the record the host passes */
    size_t width;
    int kind;
} Field;

#define FIELD(Host, Packed, name, kind) {#name, offsetof(Packed, name), offsetof(Host, name), sizeof(((Host*)0)->name), kind}
#define FILE_FIELDS(Host)                                                                                   \
    {FIELD(Host, ns_FILEINFO, szFileType, kText), FIELD(Host, ns_FILEINFO, dwEntityCount, kNumber),         \
     FIELD(Host, ns_FILEINFO, dTimeStampResolution, kDouble), FIELD(Host, ns_FILEINFO, dTimeSpan, kDouble), \
     FIELD(Host, ns_FILEINFO, szAppName, kText), FIELD(Host, ns_FILEINFO, dwTime_Year, kNumber),            \
     FIELD(Host, ns_FILEINFO, dwTime_Month, kNumber), FIELD(Host, ns_FILEINFO, dwTime_DayofWeek, kNumber),  \
     FIELD(Host, ns_FILEINFO, dwTime_Day, kNumber), FIELD(Host, ns_FILEINFO, dwTime_Hour, kNumber),         \
     FIELD(Host, ns_FILEINFO, dwTime_Min, kNumber), FIELD(Host, ns_FILEINFO, dwTime_Sec, kNumber),          \
     FIELD(Host, ns_FILEINFO, dwTime_MilliSec, kNumber), FIELD(Host, ns_FILEINFO, szFileComment, kText)}
#define CHANNEL_FIELDS(Host, Packed)                                                                        \
    FIELD(Host, Packed, dMinVal, kDouble), FIELD(Host, Packed, dMaxVal, kDouble),                          \
        FIELD(Host, Packed, dResolution, kDouble), FIELD(Host, Packed, dLocationX, kDouble),               \
        FIELD(Host, Packed, dLocationY, kDouble), FIELD(Host, Packed, dLocationZ, kDouble),                \
        FIELD(Host, Packed, dLocationUser, kDouble), FIELD(Host, Packed, dHighFreqCorner, kDouble),        \
        FIELD(Host, Packed, dwHighFreqOrder, kNumber), FIELD(Host, Packed, szHighFilterType, kText),       \
        FIELD(Host, Packed, dLowFreqCorner, kDouble), FIELD(Host, Packed, dwLowFreqOrder, kNumber),        \
        FIELD(Host, Packed, szLowFilterType, kText), FIELD(Host, Packed, szProbeInfo, kText)
#define ANALOG_FIELDS(Host) \
    {FIELD(Host, ns_ANALOGINFO, dSampleRate, kDouble), FIELD(Host, ns_ANALOGINFO, szUnits, kText), CHANNEL_FIELDS(Host, ns_ANALOGINFO)}
#define SEGMENT_FIELDS(Host)                                                                              \
    {FIELD(Host, ns_SEGMENTINFO, dwSourceCount, kNumber), FIELD(Host, ns_SEGMENTINFO, dwMinSampleCount, kNumber), \
     FIELD(Host, ns_SEGMENTINFO, dwMaxSampleCount, kNumber), FIELD(Host, ns_SEGMENTINFO, dSampleRate, kDouble),   \
     FIELD(Host, ns_SEGMENTINFO, szUnits, kText)}
#define SOURCE_FIELDS(Host) \
    {FIELD(Host, ns_SEGSOURCEINFO, dSubSampleShift, kDouble), CHANNEL_FIELDS(Host, ns_SEGSOURCEINFO)}

static const Field kFileHost[] = FILE_FIELDS(host_FILEINFO);
static const Field kFileAligned[] = FILE_FIELDS(ns_FILEINFO_ALIGNED);
static const Field kAnalogHost[] = ANALOG_FIELDS(host_ANALOGINFO);
static const Field kAnalogAligned[] = ANALOG_FIELDS(ns_ANALOGINFO_ALIGNED);
static const Field kSegmentHost[] = SEGMENT_FIELDS(host_SEGMENTINFO);
static const Field kSegmentAligned[] = SEGMENT_FIELDS(ns_SEGMENTINFO_ALIGNED);
static const Field kSourceHost[] = SOURCE_FIELDS(host_SEGSOURCEINFO);
static const Field kSourceAligned[] = SOURCE_FIELDS(ns_SEGSOURCEINFO_ALIGNED);
#define COUNT(a) (sizeof(a) / sizeof((a)[0]))

enum { kGuard = 64, kFill = 0xA5, kMaxRecord = 512 };

static int failures = 0;

static void fail(const char* record, const char* what, const char* detail) {
    fprintf(stderr, "FAIL %s: %s %s\n", record, what, detail);
    ++failures;
}

/* Which of the records is asked for, and of which entity. */
typedef struct {
    const char* name;
    file_info_fn fileInfo;     /* set for ns_GetFileInfo */
    entity_info_fn entityInfo; /* set for the analog and segment records */
    source_info_fn sourceInfo; /* set for ns_GetSegmentSourceInfo */
    uint32_t file;
    uint32_t entity;
} Call;

static int32_t ask(const Call* c, unsigned char* record, uint32_t size) {
    memset(record, kFill, kMaxRecord + kGuard);
    if (c->fileInfo) return c->fileInfo(c->file, record, size);
    if (c->sourceInfo) return c->sourceInfo(c->file, c->entity, 0, record, size);
    return c->entityInfo(c->file, c->entity, record, size);
}

static int untouched(const unsigned char* bytes, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
        if (bytes[i] != kFill) return 0;
    return 1;
}

/* The record filled for `size` against the packed reference: every field
 * equal, every other byte (padding, guard) untouched. */
static void check_layout(const Call* c, const unsigned char* reference, const Field* fields, size_t count,
                         uint32_t size, const char* layout) {
    unsigned char record[kMaxRecord + kGuard];
    char label[96];
    snprintf(label, sizeof label, "%s (%s layout, size %u)", c->name, layout, (unsigned)size);
    const int32_t r = ask(c, record, size);
    if (r != ns_OK) {
        fail(label, "call", "did not succeed");
        return;
    }
    unsigned char covered[kMaxRecord + kGuard] = {0};
    for (size_t i = 0; i < count; ++i) {
        const Field* f = &fields[i];
        const unsigned char* got = record + f->host;
        const unsigned char* want = reference + f->packed;
        memset(covered + f->host, 1, f->width);
        /* Whole fields are compared: a text's bytes after its NUL must be
         * left (or written) exactly as in the packed record. */
        if (memcmp(got, want, f->width) != 0) {
            fail(label, f->name, "differs from the packed record");
        } else if (f->kind == kDouble) {
            double v;
            memcpy(&v, got, sizeof v);
            if (fpclassify(v) == FP_SUBNORMAL || fabs(v) > 1e12) fail(label, f->name, "implausible value");
        }
    }
    for (size_t i = 0; i < size + kGuard; ++i) {
        if (!covered[i] && record[i] != kFill) {
            char at[32];
            snprintf(at, sizeof at, "byte %u", (unsigned)i);
            fail(label, at, "outside the fields was written");
            break;
        }
    }
}

static void check_record(const Call* c, uint32_t packedSize, const Field* hostFields, size_t hostCount,
                         uint32_t hostSize, const Field* alignedFields, size_t alignedCount, uint32_t alignedSize,
                         int exactSizes) {
    unsigned char reference[kMaxRecord + kGuard];
    if (ask(c, reference, packedSize) != ns_OK) {
        fail(c->name, "packed call", "did not succeed");
        return;
    }
    if (!untouched(reference, packedSize, packedSize + kGuard)) fail(c->name, "packed call", "wrote past the record");
    check_layout(c, reference, hostFields, hostCount, hostSize, hostSize == packedSize ? "packed" : "host");
    check_layout(c, reference, alignedFields, alignedCount, alignedSize, "aligned");

    unsigned char record[kMaxRecord + kGuard];
    if (exactSizes) {
        /* Any other size is refused, and nothing is written. */
        const uint32_t others[] = {packedSize - 1, packedSize + 1, alignedSize - 1, alignedSize + 1};
        for (size_t i = 0; i < COUNT(others); ++i) {
            if (ask(c, record, others[i]) != ns_LIBERROR) fail(c->name, "other size", "was not refused");
            if (!untouched(record, 0, kMaxRecord + kGuard)) fail(c->name, "other size", "wrote into the record");
        }
    } else {
        /* A size above the aligned one keeps the packed layout. */
        const uint32_t larger = alignedSize + 8;
        if (ask(c, record, larger) != ns_OK) {
            fail(c->name, "larger size", "did not succeed");
        } else if (memcmp(record, reference, packedSize) != 0 || !untouched(record, packedSize, larger + kGuard)) {
            fail(c->name, "larger size", "was not filled in the packed layout");
        }
    }
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: %s <library> <recording> exact|minimum\n", argv[0]);
        return 2;
    }
    const int exactSizes = strcmp(argv[3], "exact") == 0;
    void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 1;
    }
    open_fn open_file = (open_fn)dlsym(lib, "ns_OpenFile");
    close_fn close_file = (close_fn)dlsym(lib, "ns_CloseFile");
    file_info_fn file_info = (file_info_fn)dlsym(lib, "ns_GetFileInfo");
    entity_info_fn entity_info = (entity_info_fn)dlsym(lib, "ns_GetEntityInfo");
    entity_info_fn analog_info = (entity_info_fn)dlsym(lib, "ns_GetAnalogInfo");
    entity_info_fn segment_info = (entity_info_fn)dlsym(lib, "ns_GetSegmentInfo");
    source_info_fn source_info = (source_info_fn)dlsym(lib, "ns_GetSegmentSourceInfo");
    if (!open_file || !close_file || !file_info || !entity_info || !analog_info || !segment_info || !source_info) {
        fprintf(stderr, "%s lacks a Neuroshare function\n", argv[1]);
        return 1;
    }
    printf("host records: ns_FILEINFO %u, ns_ANALOGINFO %u, ns_SEGMENTINFO %u, ns_SEGSOURCEINFO %u bytes\n",
           (unsigned)sizeof(host_FILEINFO), (unsigned)sizeof(host_ANALOGINFO), (unsigned)sizeof(host_SEGMENTINFO),
           (unsigned)sizeof(host_SEGSOURCEINFO));

    uint32_t file = 0;
    if (open_file(argv[2], &file) != ns_OK) {
        fprintf(stderr, "cannot open %s\n", argv[2]);
        return 1;
    }
    host_FILEINFO fi;
    memset(&fi, 0, sizeof fi);
    if (file_info(file, &fi, sizeof fi) != ns_OK) fail("ns_FILEINFO", "host call", "did not succeed");
    uint32_t analog = UINT32_MAX, segment = UINT32_MAX;
    for (uint32_t e = 0; e < fi.dwEntityCount; ++e) {
        host_ENTITYINFO info;
        if (entity_info(file, e, &info, sizeof info) != ns_OK) continue;
        if (info.dwEntityType == ns_ENTITY_ANALOG && analog == UINT32_MAX) analog = e;
        if (info.dwEntityType == ns_ENTITY_SEGMENT && segment == UINT32_MAX) segment = e;
    }
    if (analog == UINT32_MAX || segment == UINT32_MAX) {
        fprintf(stderr, "%s needs an analog and a segment entity\n", argv[2]);
        return 1;
    }

    const Call fileCall = {"ns_FILEINFO", file_info, NULL, NULL, file, 0};
    const Call analogCall = {"ns_ANALOGINFO", NULL, analog_info, NULL, file, analog};
    const Call segmentCall = {"ns_SEGMENTINFO", NULL, segment_info, NULL, file, segment};
    const Call sourceCall = {"ns_SEGSOURCEINFO", NULL, NULL, source_info, file, segment};
    check_record(&fileCall, sizeof(ns_FILEINFO), kFileHost, COUNT(kFileHost), sizeof(host_FILEINFO), kFileAligned,
                 COUNT(kFileAligned), sizeof(ns_FILEINFO_ALIGNED), exactSizes);
    check_record(&analogCall, sizeof(ns_ANALOGINFO), kAnalogHost, COUNT(kAnalogHost), sizeof(host_ANALOGINFO),
                 kAnalogAligned, COUNT(kAnalogAligned), sizeof(ns_ANALOGINFO_ALIGNED), exactSizes);
    check_record(&segmentCall, sizeof(ns_SEGMENTINFO), kSegmentHost, COUNT(kSegmentHost), sizeof(host_SEGMENTINFO),
                 kSegmentAligned, COUNT(kSegmentAligned), sizeof(ns_SEGMENTINFO_ALIGNED), exactSizes);
    check_record(&sourceCall, sizeof(ns_SEGSOURCEINFO), kSourceHost, COUNT(kSourceHost), sizeof(host_SEGSOURCEINFO),
                 kSourceAligned, COUNT(kSourceAligned), sizeof(ns_SEGSOURCEINFO_ALIGNED), exactSizes);

    close_file(file);
    dlclose(lib);
    if (failures) {
        fprintf(stderr, "%d failure(s)\n", failures);
        return 1;
    }
    printf("every field where the host reads it\n");
    return 0;
}
