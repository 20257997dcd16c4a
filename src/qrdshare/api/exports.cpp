// Placeholder until the entry points land; replaced by the registry work.
#include "nsapi/nsapi.h"
extern "C" {
ns_RESULT ns_GetLibraryInfo(ns_LIBRARYINFO*, uint32_t) { return ns_LIBERROR; }
}
