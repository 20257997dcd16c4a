#include "csv_export.h"

#include "ns_library.h"
#include "report.h"
#include "result_names.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace nsdump {

namespace {

// Analog samples are fetched this many at a time.
constexpr uint32_t kAnalogPiece = 65536;
// Largest event data and segment read accepted from a library's info record.
constexpr uint32_t kMaxEventBytes = 1u << 20;
constexpr uint32_t kMaxSegmentSamples = 1u << 24;

struct Range {
    uint32_t first = 0;
    uint32_t end = 0;  // one past the last item
};

// The time of item `index`, or false (with the reason logged).
bool ItemTime(std::FILE* log, NsLibrary& lib, uint32_t hFile, uint32_t entity, uint32_t index, double& time) {
    const ns_RESULT r = lib.GetTimeByIndex(hFile, entity, index, &time);
    if (r != ns_OK) PrintFailure(log, lib, "ns_GetTimeByIndex", r);
    return r == ns_OK;
}

// The first item at or after t: range.first becomes itemCount when there is
// none.  ns_BADINDEX from the library means just that (no item after t);
// any other failure is an error.
bool FirstItemFrom(std::FILE* log, NsLibrary& lib, uint32_t hFile, uint32_t entity, uint32_t itemCount, double t,
                   uint32_t& first) {
    uint32_t index = 0;
    const ns_RESULT r = lib.GetIndexByTime(hFile, entity, t, ns_AFTER, &index);
    if (r == ns_BADINDEX || (r == ns_OK && index >= itemCount)) {
        first = itemCount;
        return true;
    }
    if (r != ns_OK) {
        PrintFailure(log, lib, "ns_GetIndexByTime", r);
        return false;
    }
    // A library may round a time to the item just before it.
    double at = 0;
    if (!ItemTime(log, lib, hFile, entity, index, at)) return false;
    first = at < t ? index + 1 : index;
    return true;
}

// One past the last item at or before t (0 when there is none).
bool EndItemTo(std::FILE* log, NsLibrary& lib, uint32_t hFile, uint32_t entity, uint32_t itemCount, double t,
               uint32_t& end) {
    uint32_t index = 0;
    const ns_RESULT r = lib.GetIndexByTime(hFile, entity, t, ns_BEFORE, &index);
    if (r == ns_BADINDEX) {
        end = 0;
        return true;
    }
    if (r != ns_OK) {
        PrintFailure(log, lib, "ns_GetIndexByTime", r);
        return false;
    }
    if (index >= itemCount) index = itemCount - 1;
    // Before the first item "before" still names item 0.
    double at = 0;
    if (!ItemTime(log, lib, hFile, entity, index, at)) return false;
    end = at > t ? index : index + 1;
    return true;
}

// The items of the window, or false (with the reason logged).  A time window
// without items, or an entity without items, is an empty range: the export
// then writes the header alone.
bool ResolveWindow(std::FILE* log, NsLibrary& lib, uint32_t hFile, uint32_t entity, uint32_t itemCount,
                   const ItemWindow& w, Range& range) {
    range.first = w.start.value_or(0);
    range.end = itemCount;
    if (range.first > itemCount) {
        std::fprintf(log, "nsdump: entity %u has %u items; the window starts at item %u\n", entity, itemCount,
                     range.first);
        return false;
    }
    if (itemCount > 0 && w.fromSeconds) {
        uint32_t first = 0;
        if (!FirstItemFrom(log, lib, hFile, entity, itemCount, *w.fromSeconds, first)) return false;
        range.first = std::max(range.first, first);
    }
    if (itemCount > 0 && w.toSeconds) {
        uint32_t end = 0;
        if (!EndItemTo(log, lib, hFile, entity, itemCount, *w.toSeconds, end)) return false;
        range.end = std::min(range.end, end);
    }
    if (w.count) range.end = static_cast<uint32_t>(std::min<uint64_t>(range.end, uint64_t{range.first} + *w.count));
    if (range.end < range.first) range.end = range.first;
    return true;
}

void PrintTime(std::FILE* csv, double t) { std::fprintf(csv, "%.9f", t); }

std::string EventValue(uint32_t type, const std::vector<uint8_t>& data, uint32_t size) {
    size = std::min<uint32_t>(size, static_cast<uint32_t>(data.size()));
    std::string text;
    auto add = [&](unsigned long v) {
        if (!text.empty()) text += ' ';
        text += std::to_string(v);
    };
    switch (type) {
        case ns_EVENT_TEXT:
        case ns_EVENT_CSV: {
            const char* chars = reinterpret_cast<const char*>(data.data());
            const std::string s(chars, strnlen(chars, size));
            text = "\"";
            for (char c : s) text += c == '"' ? std::string("\"\"") : std::string(1, c);
            text += '"';
            break;
        }
        case ns_EVENT_WORD:
            for (uint32_t i = 0; i + 2 <= size; i += 2) {
                uint16_t v;
                std::memcpy(&v, data.data() + i, 2);
                add(v);
            }
            break;
        case ns_EVENT_DWORD:
            for (uint32_t i = 0; i + 4 <= size; i += 4) {
                uint32_t v;
                std::memcpy(&v, data.data() + i, 4);
                add(v);
            }
            break;
        default:
            for (uint32_t i = 0; i < size; ++i) add(data[i]);
            break;
    }
    return text;
}

bool ExportEvents(std::FILE* csv, std::FILE* log, NsLibrary& lib, uint32_t hFile, uint32_t entity, const Range& range) {
    ns_EVENTINFO info;
    std::memset(&info, 0, sizeof info);
    ns_RESULT r = lib.GetEventInfo(hFile, entity, &info, sizeof info);
    if (r != ns_OK) {
        PrintFailure(log, lib, "ns_GetEventInfo", r);
        return false;
    }
    std::vector<uint8_t> data(std::min(std::max<uint32_t>(info.dwMaxDataLength, 1), kMaxEventBytes), 0);
    std::fprintf(csv, "index,time_s,value\n");
    for (uint32_t i = range.first; i < range.end; ++i) {
        double t = 0;
        uint32_t size = 0;
        std::fill(data.begin(), data.end(), 0);
        r = lib.GetEventData(hFile, entity, i, &t, data.data(), static_cast<uint32_t>(data.size()), &size);
        if (r != ns_OK) {
            PrintFailure(log, lib, "ns_GetEventData", r);
            return false;
        }
        std::fprintf(csv, "%u,", i);
        PrintTime(csv, t);
        std::fprintf(csv, ",%s\n", EventValue(info.dwEventType, data, size).c_str());
    }
    return true;
}

bool ExportAnalog(std::FILE* csv, std::FILE* log, NsLibrary& lib, uint32_t hFile, uint32_t entity, const Range& range) {
    std::vector<double> values(std::min(kAnalogPiece, std::max<uint32_t>(range.end - range.first, 1)));
    std::fprintf(csv, "index,time_s,value\n");
    for (uint32_t first = range.first; first < range.end;) {
        const uint32_t n = std::min<uint32_t>(range.end - first, static_cast<uint32_t>(values.size()));
        uint32_t contiguous = 0;
        ns_RESULT r = lib.GetAnalogData(hFile, entity, first, n, &contiguous, values.data());
        if (r != ns_OK) {
            PrintFailure(log, lib, "ns_GetAnalogData", r);
            return false;
        }
        // Only the contiguous values are the items asked for: a library may
        // leave the rest of the buffer as it was when the read crosses a gap,
        // so the next piece starts at the gap.  A library that reports no
        // contiguous values is taken at its word for the whole piece.
        const uint32_t got = (contiguous > 0 && contiguous < n) ? contiguous : n;
        for (uint32_t k = 0; k < got; ++k) {
            double t = 0;
            r = lib.GetTimeByIndex(hFile, entity, first + k, &t);
            if (r != ns_OK) {
                PrintFailure(log, lib, "ns_GetTimeByIndex", r);
                return false;
            }
            std::fprintf(csv, "%u,", first + k);
            PrintTime(csv, t);
            std::fprintf(csv, ",%.10g\n", values[k]);
        }
        first += got;
    }
    return true;
}

bool ExportSegments(std::FILE* csv, std::FILE* log, NsLibrary& lib, uint32_t hFile, uint32_t entity,
                    const Range& range) {
    ns_SEGMENTINFO info;
    std::memset(&info, 0, sizeof info);
    ns_RESULT r = lib.GetSegmentInfo(hFile, entity, &info, sizeof info);
    if (r != ns_OK) {
        PrintFailure(log, lib, "ns_GetSegmentInfo", r);
        return false;
    }
    // A segment holds its longest length of samples for each of its sources.
    const uint64_t room =
        uint64_t{std::max<uint32_t>(info.dwMaxSampleCount, 1)} * std::max<uint32_t>(info.dwSourceCount, 1);
    std::vector<double> samples(static_cast<size_t>(std::min<uint64_t>(room, kMaxSegmentSamples)));
    std::fprintf(csv, "index,time_s,unit,sample_count,samples\n");
    for (uint32_t i = range.first; i < range.end; ++i) {
        double t = 0;
        uint32_t count = 0, unit = 0;
        r = lib.GetSegmentData(hFile, entity, static_cast<int32_t>(i), &t, samples.data(),
                               static_cast<uint32_t>(samples.size() * sizeof(double)), &count, &unit);
        if (r != ns_OK) {
            PrintFailure(log, lib, "ns_GetSegmentData", r);
            return false;
        }
        std::fprintf(csv, "%u,", i);
        PrintTime(csv, t);
        std::fprintf(csv, ",%d,%u", static_cast<int32_t>(unit), count);
        for (uint32_t k = 0; k < count && k < samples.size(); ++k) std::fprintf(csv, ",%.10g", samples[k]);
        std::fprintf(csv, "\n");
    }
    return true;
}

bool ExportNeural(std::FILE* csv, std::FILE* log, NsLibrary& lib, uint32_t hFile, uint32_t entity, const Range& range) {
    std::vector<double> times(std::min(kAnalogPiece, std::max<uint32_t>(range.end - range.first, 1)));
    std::fprintf(csv, "index,time_s\n");
    for (uint32_t first = range.first; first < range.end;) {
        const uint32_t n = std::min<uint32_t>(range.end - first, static_cast<uint32_t>(times.size()));
        const ns_RESULT r = lib.GetNeuralData(hFile, entity, first, n, times.data());
        if (r != ns_OK) {
            PrintFailure(log, lib, "ns_GetNeuralData", r);
            return false;
        }
        for (uint32_t k = 0; k < n; ++k) {
            std::fprintf(csv, "%u,", first + k);
            PrintTime(csv, times[k]);
            std::fprintf(csv, "\n");
        }
        first += n;
    }
    return true;
}

}  // namespace

bool ExportEntityCsv(std::FILE* csv, std::FILE* log, NsLibrary& lib, uint32_t hFile, uint32_t entity,
                     const ItemWindow& window) {
    ns_ENTITYINFO e;
    std::memset(&e, 0, sizeof e);
    const ns_RESULT r = lib.GetEntityInfo(hFile, entity, &e, sizeof e);
    if (r != ns_OK) {
        std::fprintf(log, "nsdump: entity %u:\n", entity);
        PrintFailure(log, lib, "ns_GetEntityInfo", r);
        return false;
    }
    Range range;
    if (!ResolveWindow(log, lib, hFile, entity, e.dwItemCount, window, range)) return false;
    switch (e.dwEntityType) {
        case ns_ENTITY_EVENT: return ExportEvents(csv, log, lib, hFile, entity, range);
        case ns_ENTITY_ANALOG: return ExportAnalog(csv, log, lib, hFile, entity, range);
        case ns_ENTITY_SEGMENT: return ExportSegments(csv, log, lib, hFile, entity, range);
        case ns_ENTITY_NEURALEVENT: return ExportNeural(csv, log, lib, hFile, entity, range);
        default:
            std::fprintf(log, "nsdump: entity %u has an unknown type %u\n", entity, e.dwEntityType);
            return false;
    }
}

}  // namespace nsdump
