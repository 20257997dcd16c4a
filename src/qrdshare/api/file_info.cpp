#include "api/file_info.h"

#include "api/text_field.h"
#include "container/stream.h"
#include "container/stream_file.h"
#include "container/time_stamp.h"

#include <cstdio>
#include <cstring>
#include <limits>

namespace qrd {

namespace {

const char* LayoutPrefix(uint16_t sourceType) {
    switch (sourceType) {
        case 0: return "LIN ";
        case 1: return "MEA ";
        case 2: return "DMEA ";
        case 3: return "Conf ";
        default: return "XXX ";
    }
}

const char* RecordingModeWord(int32_t mode) {
    switch (mode) {
        case 0: return "cont ";
        case 1: return "trig ";
        case 2: return "trig_ss ";
        default: return "xxx ";
    }
}

// Calendar parts are reported as signed 16-bit values widened to 32 bits.
uint32_t CalendarField(uint16_t v) {
    return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(v)));
}

double TimeStampResolution(uint32_t sampleRateMilliHz) {
    const int32_t hz = static_cast<int32_t>(sampleRateMilliHz) / 1000;
    // Below 1 Hz there is no meaningful tick; the host sees an infinite step.
    if (hz == 0) return std::numeric_limits<double>::infinity();
    return 1.0 / hz;
}

// Recording length in whole milliseconds, as seconds.
double TimeSpan(const CQRVATimeStamp* start, const CQRVATimeStamp* stop) {
    if (start == nullptr || stop == nullptr) return 0.0;
    const uint64_t a = start->GetTicks();
    const uint64_t b = stop->GetTicks();
    if (b <= a) return 0.0;
    const int64_t ms = static_cast<int64_t>(b - a) / 1000000;
    return static_cast<double>(ms) / 1000.0;
}

}  // namespace

std::string FileTypeText(const CQRVAStreamFile& file) {
    std::string text = LayoutPrefix(file.GetSourceType());
    text += RecordingModeWord(file.GetRecordingMode());
    const uint32_t streams = file.GetStreamCount();
    // Three characters per stream; once the text is past 31 characters only
    // its first 28 survive, so further streams cannot change the result.
    for (uint32_t i = 0; i < streams && text.size() <= kFileTypeTextLength; ++i) {
        const CQRVAStream* stream = file.GetStream(i);
        const char* name = stream ? stream->GetName() : nullptr;
        char two[2] = {'\0', '\0'};
        if (name != nullptr && name[0] != '\0') {
            two[0] = name[0];
            two[1] = name[1];  // NUL when the name has one character
        }
        text.append(two, 2);
        text += ',';
    }
    if (text.size() <= kFileTypeTextLength) {
        text.pop_back();  // the last comma, or the blank after the mode word
    } else {
        text.resize(kFileTypeTextLength - 3);
        text += "...";
    }
    // Padding NULs end the visible text.
    return std::string(text.c_str());
}

void FillFileInfo(const CQRVAStreamFile& file, uint32_t entityCount, ns_FILEINFO& info) {
    WriteTextField(info.szFileType, FileTypeText(file));
    info.dwEntityCount = entityCount;
    info.dTimeStampResolution = TimeStampResolution(file.GetSampleRate());
    info.dTimeSpan = TimeSpan(file.GetStartTime(), file.GetStopTime());

    const uint32_t version = file.GetAppVersion();
    const uint32_t build = file.GetAppBuild();
    char appName[64];
    std::snprintf(appName, sizeof appName, "Vantrel %u.%u.%u.%u", static_cast<unsigned>(version >> 16),
                  static_cast<unsigned>(version & 0xFFFF), static_cast<unsigned>(build >> 16),
                  static_cast<unsigned>(build & 0xFFFF));
    WriteTextField(info.szAppName, appName);

    info.dwTime_Year = CalendarField(file.GetStartYear());
    info.dwTime_Month = CalendarField(file.GetStartMonth());
    info.dwTime_DayofWeek = 0;
    info.dwTime_Day = CalendarField(file.GetStartDay());
    info.dwTime_Hour = CalendarField(file.GetStartHour());
    info.dwTime_Min = CalendarField(file.GetStartMinute());
    info.dwTime_Sec = CalendarField(file.GetStartSecond());
    info.dwTime_MilliSec = CalendarField(file.GetStartMillisecond());

    // The header's comment field is longer than szFileComment: cut it to 255
    // characters (never reading further than that into it) and a NUL.
    const char* comment = file.GetComment();
    if (comment == nullptr) comment = "";
    WriteTextField(info.szFileComment, comment, strnlen(comment, sizeof info.szFileComment - 1));
}

}  // namespace qrd
