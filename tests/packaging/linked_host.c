/*
 * A C host linked against one reader library (-lqrdshare or -lmapshare, or
 * the CMake targets nsapi::qrdshare / nsapi::mapshare): the calls are
 * resolved by the dynamic linker through the library's SONAME.
 *   linked_host <recording>
 */
#include "summary_host.h"

int main(int argc, char **argv) {
    SummaryCalls calls;
    if (argc != 2) {
        fprintf(stderr, "usage: linked_host <recording>\n");
        return 2;
    }
    calls.GetLibraryInfo = ns_GetLibraryInfo;
    calls.OpenFile = ns_OpenFile;
    calls.GetFileInfo = ns_GetFileInfo;
    calls.CloseFile = ns_CloseFile;
    calls.GetEntityInfo = ns_GetEntityInfo;
    calls.GetAnalogData = ns_GetAnalogData;
    calls.GetTimeByIndex = ns_GetTimeByIndex;
    return PrintSummary(&calls, argv[1]);
}
