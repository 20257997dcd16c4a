// The open and close sequences behind ns_OpenFile and ns_CloseFile.
#pragma once

#include <nsapi/nsapi.h>

#include <cstdint>

namespace mapshare {

ns_RESULT openRecording(const char* path, uint32_t* handle);
ns_RESULT closeRecording(uint32_t handle);

}  // namespace mapshare
