/*
 * What the packaging hosts print about a recording, in the layout of
 * nsdump's report, so that scripts/test-packages.sh can compare the two:
 *
 *   library version <maj>.<min>, Neuroshare API <maj>.<min>
 *     file type    <szFileType>
 *     time span    <seconds> s
 *     entities     <count>
 *     entity <n>  <type> <items> items  <label>     (every entity)
 *   index,time_s,value                               (first analog entity,
 *   <i>,<time>,<value>                                up to ten samples)
 *
 * The calls go through a table of the seventeen function pointers, so the
 * same code serves a host linked against a library and one that loads it
 * with dlopen.  C and C++.
 */
#ifndef NS_PACKAGING_SUMMARY_HOST_H
#define NS_PACKAGING_SUMMARY_HOST_H

#include <nsapi/nsapi.h>

#include <stdio.h>
#include <string.h>

typedef struct {
    NS_GETLIBRARYINFO GetLibraryInfo;
    NS_OPENFILE OpenFile;
    NS_GETFILEINFO GetFileInfo;
    NS_CLOSEFILE CloseFile;
    NS_GETENTITYINFO GetEntityInfo;
    NS_GETANALOGDATA GetAnalogData;
    NS_GETTIMEBYINDEX GetTimeByIndex;
} SummaryCalls;

static const char *SummaryEntityType(uint32_t type) {
    switch (type) {
        case ns_ENTITY_EVENT: return "event";
        case ns_ENTITY_ANALOG: return "analog";
        case ns_ENTITY_SEGMENT: return "segment";
        case ns_ENTITY_NEURALEVENT: return "neural";
        default: return "unknown";
    }
}

/* Prints the summary of one recording; 0 when every call succeeded. */
static int PrintSummary(const SummaryCalls *ns, const char *recording) {
    ns_LIBRARYINFO library;
    ns_FILEINFO file;
    uint32_t handle = 0, entity, firstAnalog = 0xFFFFFFFFu, analogItems = 0;
    int failed = 0;

    memset(&library, 0, sizeof library);
    if (ns->GetLibraryInfo(&library, sizeof library) != ns_OK) {
        fprintf(stderr, "ns_GetLibraryInfo failed\n");
        return 1;
    }
    printf("library version %u.%u, Neuroshare API %u.%u\n", library.dwLibVersionMaj, library.dwLibVersionMin,
           library.dwAPIVersionMaj, library.dwAPIVersionMin);
    if (ns->OpenFile(recording, &handle) != ns_OK) {
        fprintf(stderr, "ns_OpenFile failed for %s\n", recording);
        return 1;
    }
    memset(&file, 0, sizeof file);
    if (ns->GetFileInfo(handle, &file, sizeof file) != ns_OK) {
        fprintf(stderr, "ns_GetFileInfo failed\n");
        ns->CloseFile(handle);
        return 1;
    }
    printf("  file type    %.*s\n", (int)sizeof file.szFileType, file.szFileType);
    printf("  time span    %.6f s\n", file.dTimeSpan);
    printf("  entities     %u\n", file.dwEntityCount);
    for (entity = 0; entity < file.dwEntityCount; ++entity) {
        ns_ENTITYINFO info;
        memset(&info, 0, sizeof info);
        if (ns->GetEntityInfo(handle, entity, &info, sizeof info) != ns_OK) {
            fprintf(stderr, "ns_GetEntityInfo failed for entity %u\n", entity);
            failed = 1;
            continue;
        }
        printf("  entity %5u  %-7s %10u items  %.*s\n", entity, SummaryEntityType(info.dwEntityType),
               info.dwItemCount, (int)sizeof info.szEntityLabel, info.szEntityLabel);
        if (info.dwEntityType == ns_ENTITY_ANALOG && firstAnalog == 0xFFFFFFFFu && info.dwItemCount > 0) {
            firstAnalog = entity;
            analogItems = info.dwItemCount;
        }
    }
    if (firstAnalog != 0xFFFFFFFFu) {
        double values[10];
        uint32_t count = analogItems < 10 ? analogItems : 10, written = 0, i;
        printf("index,time_s,value\n");
        if (ns->GetAnalogData(handle, firstAnalog, 0, count, &written, values) != ns_OK || written != count) {
            fprintf(stderr, "ns_GetAnalogData failed for entity %u\n", firstAnalog);
            failed = 1;
        } else {
            for (i = 0; i < count; ++i) {
                double time = 0;
                if (ns->GetTimeByIndex(handle, firstAnalog, i, &time) != ns_OK) {
                    fprintf(stderr, "ns_GetTimeByIndex failed\n");
                    failed = 1;
                    break;
                }
                printf("%u,%.9f,%.10g\n", i, time, values[i]);
            }
        }
    }
    if (ns->CloseFile(handle) != ns_OK) failed = 1;
    return failed;
}

#endif
