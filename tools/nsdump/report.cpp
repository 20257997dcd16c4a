#include "report.h"

#include "ns_library.h"
#include "result_names.h"

#include <cstring>
#include <string>

namespace nsdump {

namespace {

// A library's text field, read no further than the field's end even when
// the library left it without a NUL.
template <size_t N>
std::string Text(const char (&field)[N]) {
    return std::string(field, strnlen(field, N));
}

}  // namespace

void PrintLibraryInfo(std::FILE* out, const ns_LIBRARYINFO& info) {
    std::fprintf(out, "library        %s\n", Text(info.szDescription).c_str());
    std::fprintf(out, "  creator      %s\n", Text(info.szCreator).c_str());
    std::fprintf(out, "  version      %u.%u (Neuroshare API %u.%u)\n", info.dwLibVersionMaj, info.dwLibVersionMin,
                 info.dwAPIVersionMaj, info.dwAPIVersionMin);
    std::fprintf(out, "  date         %04u-%02u-%02u\n", info.dwTime_Year, info.dwTime_Month, info.dwTime_Day);
    std::fprintf(out, "  flags        0x%x\n", info.dwFlags);
    std::fprintf(out, "  max files    %u\n", info.dwMaxFiles);
    const uint32_t count = info.dwFileDescCount < 16 ? info.dwFileDescCount : 16;
    for (uint32_t i = 0; i < count; ++i) {
        const ns_FILEDESC& d = info.FileDesc[i];
        std::fprintf(out, "  file type    %s: %s (magic \"%s\", mac \"%s\")\n", Text(d.szExtension).c_str(),
                     Text(d.szDescription).c_str(), Text(d.szMagicCode).c_str(), Text(d.szMacCodes).c_str());
    }
}

void PrintFileInfo(std::FILE* out, const ns_FILEINFO& info) {
    std::fprintf(out, "  file type    %s\n", Text(info.szFileType).c_str());
    std::fprintf(out, "  application  %s\n", Text(info.szAppName).c_str());
    std::fprintf(out, "  start (UTC)  %04u-%02u-%02u %02u:%02u:%02u.%03u\n", info.dwTime_Year, info.dwTime_Month,
                 info.dwTime_Day, info.dwTime_Hour, info.dwTime_Min, info.dwTime_Sec, info.dwTime_MilliSec);
    std::fprintf(out, "  time span    %.6f s\n", info.dTimeSpan);
    std::fprintf(out, "  resolution   %.9g s\n", info.dTimeStampResolution);
    std::fprintf(out, "  comment      %s\n", Text(info.szFileComment).c_str());
    std::fprintf(out, "  entities     %u\n", info.dwEntityCount);
}

void PrintFailure(std::FILE* out, NsLibrary& lib, const char* call, ns_RESULT result) {
    std::fprintf(out, "  %s failed: %s\n", call, ResultName(result).c_str());
    const std::string message = lib.LastErrorMessage();
    if (!message.empty()) std::fprintf(out, "  library says: %s\n", message.c_str());
}

}  // namespace nsdump
