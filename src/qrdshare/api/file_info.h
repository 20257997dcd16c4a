// What ns_GetFileInfo reports about an open recording.
#pragma once

#include "nsapi/nsapi.h"

#include <cstdint>
#include <string>

namespace qrd {

class CQRVAStreamFile;

// Longest file type text: szFileType holds 31 characters and a NUL.
constexpr size_t kFileTypeTextLength = 31;

// The file type text: layout prefix ("LIN ", "MEA ", ...), recording mode
// word ("cont ", "trig ", ...), then the first two characters of every
// stream name separated by commas.  A text that would not fit ends in "...".
// A stream name shorter than two characters is padded with NULs, so the
// visible text ends at that stream.  The result holds no NUL.
std::string FileTypeText(const CQRVAStreamFile& file);

// Fills info: file type, entity count,
// time stamp resolution, time span, application name, start date (UTC) and
// the comment cut to 255 characters.  Only the characters of each text and
// one NUL are written.
void FillFileInfo(const CQRVAStreamFile& file, uint32_t entityCount, ns_FILEINFO& info);

}  // namespace qrd
