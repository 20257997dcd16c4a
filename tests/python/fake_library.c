/* A small Neuroshare library for the nsread tests, standing in for "any other
 * library": it reads any file whose name ends in .fake and reports
 *   entity 0  analog, 100 samples at 1 kHz in runs of 10 contiguous samples
 *             (a gap of 1 s between runs); each call writes only the samples
 *             of its first run, value = sample index;
 *   entity 1  text events, 3 items "one", "twö" (cp1252 byte 0xF6), "three";
 *   entity 2  segments, 2 sources, 4 samples each; only source 0 is written;
 *   entity 3  neural, 5 spikes at 0.5 s + index.
 * Failures set a last-error text. */
#include <stdio.h>
#include <string.h>
#include <nsapi/nsapi.h>

static char last_error[256];
static int open_count;

static ns_RESULT fail(ns_RESULT code, const char *text) {
    snprintf(last_error, sizeof last_error, "%s", text);
    return code;
}

ns_RESULT ns_GetLibraryInfo(ns_LIBRARYINFO *info, uint32_t size) {
    if (!info || size < sizeof *info) return fail(ns_LIBERROR, "bad record");
    memset(info, 0, sizeof *info);
    info->dwLibVersionMaj = 0; info->dwLibVersionMin = 1;
    info->dwAPIVersionMaj = 1; info->dwAPIVersionMin = 3;
    strcpy(info->szDescription, "Test library");
    strcpy(info->szCreator, "nsread tests");
    info->dwMaxFiles = 4; info->dwFileDescCount = 1;
    strcpy(info->FileDesc[0].szExtension, "fake");
    return ns_OK;
}

ns_RESULT ns_OpenFile(const char *path, uint32_t *file) {
    size_t n = path ? strlen(path) : 0;
    if (n < 5 || strcmp(path + n - 5, ".fake") != 0) return fail(ns_TYPEERROR, "not a .fake file");
    FILE *f = fopen(path, "rb");
    if (!f) return fail(ns_FILEERROR, "cannot open the fake file");
    fclose(f);
    *file = (uint32_t)(++open_count);
    return ns_OK;
}

ns_RESULT ns_GetFileInfo(uint32_t file, ns_FILEINFO *info, uint32_t size) {
    (void)file;
    if (size != sizeof *info) return fail(ns_LIBERROR, "size");
    memset(info, 0, sizeof *info);
    strcpy(info->szFileType, "fake");
    info->dwEntityCount = 4;
    info->dTimeStampResolution = 0.001;
    info->dTimeSpan = 10.0;
    strcpy(info->szAppName, "caf\xe9");               /* cp1252 */
    strcpy(info->szFileComment, "caf\xc3\xa9 \xe2\x82\xac"); /* UTF-8 */
    info->dwTime_Year = 2024; info->dwTime_Month = 2; info->dwTime_Day = 29;
    info->dwTime_Hour = 23; info->dwTime_Min = 59; info->dwTime_Sec = 58; info->dwTime_MilliSec = 250;
    return ns_OK;
}

ns_RESULT ns_CloseFile(uint32_t file) { (void)file; return ns_OK; }

static const uint32_t types[4] = {ns_ENTITY_ANALOG, ns_ENTITY_EVENT, ns_ENTITY_SEGMENT, ns_ENTITY_NEURALEVENT};
static const uint32_t counts[4] = {100, 3, 2, 5};

ns_RESULT ns_GetEntityInfo(uint32_t file, uint32_t e, ns_ENTITYINFO *info, uint32_t size) {
    (void)file; (void)size;
    if (e >= 4) return fail(ns_BADENTITY, "no such entity");
    memset(info, 0, sizeof *info);
    snprintf(info->szEntityLabel, sizeof info->szEntityLabel, "fake %u", e);
    info->dwEntityType = types[e];
    info->dwItemCount = counts[e];
    return ns_OK;
}

ns_RESULT ns_GetEventInfo(uint32_t file, uint32_t e, ns_EVENTINFO *info, uint32_t size) {
    (void)file; (void)size;
    if (e != 1) return fail(ns_BADENTITY, "not an event entity");
    memset(info, 0, sizeof *info);
    info->dwEventType = ns_EVENT_TEXT; info->dwMinDataLength = 3; info->dwMaxDataLength = 16;
    return ns_OK;
}

ns_RESULT ns_GetEventData(uint32_t file, uint32_t e, uint32_t i, double *t, void *data, uint32_t size,
                          uint32_t *ret) {
    static const char *texts[3] = {"one", "tw\xf6", "three"};
    (void)file;
    if (e != 1) return fail(ns_BADENTITY, "not an event entity");
    if (i >= 3) return fail(ns_BADINDEX, "no such event");
    *t = 1.0 + i;
    size_t n = strlen(texts[i]) + 1;
    if (n > size) n = size;
    memcpy(data, texts[i], n);
    if (ret) *ret = (uint32_t)n;
    return ns_OK;
}

ns_RESULT ns_GetAnalogInfo(uint32_t file, uint32_t e, ns_ANALOGINFO *info, uint32_t size) {
    (void)file; (void)size;
    if (e != 0) return fail(ns_BADENTITY, "not an analog entity");
    memset(info, 0, sizeof *info);
    info->dSampleRate = 1000.0; info->dMinVal = 0; info->dMaxVal = 100; info->dResolution = 1;
    strcpy(info->szUnits, "mV");
    return ns_OK;
}

ns_RESULT ns_GetAnalogData(uint32_t file, uint32_t e, uint32_t start, uint32_t count, uint32_t *cont,
                           double *data) {
    (void)file;
    if (e != 0) return fail(ns_BADENTITY, "not an analog entity");
    if ((uint64_t)start + count > 100) return fail(ns_BADINDEX, "samples beyond the end");
    uint32_t run = 10 - start % 10;
    uint32_t n = count < run ? count : run;
    for (uint32_t k = 0; k < n; ++k) data[k] = start + k;
    *cont = n;
    return ns_OK;
}

ns_RESULT ns_GetSegmentInfo(uint32_t file, uint32_t e, ns_SEGMENTINFO *info, uint32_t size) {
    (void)file; (void)size;
    if (e != 2) return fail(ns_BADENTITY, "not a segment entity");
    memset(info, 0, sizeof *info);
    info->dwSourceCount = 2; info->dwMinSampleCount = 4; info->dwMaxSampleCount = 4; info->dSampleRate = 1000;
    strcpy(info->szUnits, "mV");
    return ns_OK;
}

ns_RESULT ns_GetSegmentSourceInfo(uint32_t file, uint32_t e, uint32_t s, ns_SEGSOURCEINFO *info, uint32_t size) {
    (void)file; (void)size;
    if (e != 2) return fail(ns_BADENTITY, "not a segment entity");
    if (s >= 2) return fail(ns_BADSOURCE, "no such source");
    memset(info, 0, sizeof *info);
    info->dResolution = 1;
    return ns_OK;
}

ns_RESULT ns_GetSegmentData(uint32_t file, uint32_t e, int32_t i, double *t, double *data, uint32_t bytes,
                            uint32_t *count, uint32_t *unit) {
    (void)file;
    if (e != 2) return fail(ns_BADENTITY, "not a segment entity");
    if (i < 0 || i >= 2) return fail(ns_BADINDEX, "no such segment");
    *t = 2.0 + i;
    for (uint32_t k = 0; k < 4 && (k + 1) * 8 <= bytes; ++k) data[k] = 10.0 * i + k;
    *count = 4;
    *unit = 1u << i;
    return ns_OK;
}

ns_RESULT ns_GetNeuralInfo(uint32_t file, uint32_t e, ns_NEURALINFO *info, uint32_t size) {
    (void)file; (void)size;
    if (e != 3) return fail(ns_BADENTITY, "not a neural entity");
    memset(info, 0, sizeof *info);
    info->dwSourceEntityID = 2; info->dwSourceUnitID = 1;
    return ns_OK;
}

ns_RESULT ns_GetNeuralData(uint32_t file, uint32_t e, uint32_t start, uint32_t count, double *data) {
    (void)file;
    if (e != 3) return fail(ns_BADENTITY, "not a neural entity");
    if ((uint64_t)start + count > 5) return fail(ns_BADINDEX, "spikes beyond the end");
    for (uint32_t k = 0; k < count; ++k) data[k] = 0.5 + start + k;
    return ns_OK;
}

/* Sample i of entity 0 lies at i/1000 s plus 1 s for every run of 10 before it. */
ns_RESULT ns_GetTimeByIndex(uint32_t file, uint32_t e, uint32_t i, double *t) {
    (void)file;
    if (e >= 4 || i >= counts[e]) return fail(ns_BADINDEX, "index out of range");
    *t = e == 0 ? i / 1000.0 + (i / 10) * 1.0 : (double)i;
    return ns_OK;
}

ns_RESULT ns_GetIndexByTime(uint32_t file, uint32_t e, double t, int32_t flag, uint32_t *i) {
    (void)file; (void)flag;
    if (e >= 4 || t < 0) return fail(ns_BADINDEX, "time out of range");
    *i = 0;
    return ns_OK;
}

ns_RESULT ns_GetLastErrorMsg(char *buffer, uint32_t size) {
    if (!buffer || size == 0) return ns_LIBERROR;
    snprintf(buffer, size, "%s", last_error);
    last_error[0] = '\0';
    return ns_OK;
}
