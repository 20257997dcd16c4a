// Printing what a Neuroshare library answers, in plain text.
#pragma once

#include "nsapi/nsapi.h"

#include <cstdint>
#include <cstdio>

namespace nsdump {

class NsLibrary;

void PrintLibraryInfo(std::FILE* out, const ns_LIBRARYINFO& info);
void PrintFileInfo(std::FILE* out, const ns_FILEINFO& info);
// One line per entity 0..count-1 from ns_GetEntityInfo; failures are shown
// in the list.  Returns false when any entity could not be read.
bool PrintEntityList(std::FILE* out, NsLibrary& lib, uint32_t hFile, uint32_t count);

// A call that failed: its name, the readable result, and the library's last
// error text when it has one.
void PrintFailure(std::FILE* out, NsLibrary& lib, const char* call, ns_RESULT result);

}  // namespace nsdump
