// Printing what a Neuroshare library answers, in plain text.
#pragma once

#include "nsapi/nsapi.h"

#include <cstdint>
#include <cstdio>

namespace nsdump {

class NsLibrary;

void PrintLibraryInfo(std::FILE* out, const ns_LIBRARYINFO& info);
void PrintFileInfo(std::FILE* out, const ns_FILEINFO& info);

// A call that failed: its name, the readable result, and the library's last
// error text when it has one.
void PrintFailure(std::FILE* out, NsLibrary& lib, const char* call, ns_RESULT result);

}  // namespace nsdump
