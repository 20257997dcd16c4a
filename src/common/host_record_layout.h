// Filling Neuroshare records in the layout of the host that asked.
//
// The records are defined packed on 4-byte boundaries, but many hosts lay
// out ns_FILEINFO, ns_ANALOGINFO, ns_SEGMENTINFO and ns_SEGSOURCEINFO with
// every double on an 8-byte offset (see the _ALIGNED variants in nsapi.h).
// The size argument of the info call names the layout: the aligned size
// selects the aligned layout, any other accepted size the packed one.
//
// The libraries fill packed records only.  For an aligned host record the
// host's fields are copied into a packed record, the library fills that, and
// the fields are copied back to their aligned offsets.  Fields the library
// does not set, text bytes after a NUL and the padding of the aligned layout
// so keep what the host put there; padding is neither read nor written.
#pragma once

#include "nsapi/nsapi.h"

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace nscommon {

// One field of a record: its offset in the packed and in the aligned layout.
struct RecordField {
    uint16_t packedOffset;
    uint16_t alignedOffset;
    uint16_t width;
};

#define NSCOMMON_RECORD_FIELD(Record, name) \
    RecordField { offsetof(Record, name), offsetof(Record##_ALIGNED, name), sizeof(Record::name) }

inline constexpr RecordField kFileInfoFields[] = {
    NSCOMMON_RECORD_FIELD(ns_FILEINFO, szFileType),       NSCOMMON_RECORD_FIELD(ns_FILEINFO, dwEntityCount),
    NSCOMMON_RECORD_FIELD(ns_FILEINFO, dTimeStampResolution), NSCOMMON_RECORD_FIELD(ns_FILEINFO, dTimeSpan),
    NSCOMMON_RECORD_FIELD(ns_FILEINFO, szAppName),        NSCOMMON_RECORD_FIELD(ns_FILEINFO, dwTime_Year),
    NSCOMMON_RECORD_FIELD(ns_FILEINFO, dwTime_Month),     NSCOMMON_RECORD_FIELD(ns_FILEINFO, dwTime_DayofWeek),
    NSCOMMON_RECORD_FIELD(ns_FILEINFO, dwTime_Day),       NSCOMMON_RECORD_FIELD(ns_FILEINFO, dwTime_Hour),
    NSCOMMON_RECORD_FIELD(ns_FILEINFO, dwTime_Min),       NSCOMMON_RECORD_FIELD(ns_FILEINFO, dwTime_Sec),
    NSCOMMON_RECORD_FIELD(ns_FILEINFO, dwTime_MilliSec),  NSCOMMON_RECORD_FIELD(ns_FILEINFO, szFileComment),
};

inline constexpr RecordField kAnalogInfoFields[] = {
    NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, dSampleRate),      NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, dMinVal),
    NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, dMaxVal),          NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, szUnits),
    NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, dResolution),      NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, dLocationX),
    NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, dLocationY),       NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, dLocationZ),
    NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, dLocationUser),    NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, dHighFreqCorner),
    NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, dwHighFreqOrder),  NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, szHighFilterType),
    NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, dLowFreqCorner),   NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, dwLowFreqOrder),
    NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, szLowFilterType),  NSCOMMON_RECORD_FIELD(ns_ANALOGINFO, szProbeInfo),
};

inline constexpr RecordField kSegmentInfoFields[] = {
    NSCOMMON_RECORD_FIELD(ns_SEGMENTINFO, dwSourceCount),    NSCOMMON_RECORD_FIELD(ns_SEGMENTINFO, dwMinSampleCount),
    NSCOMMON_RECORD_FIELD(ns_SEGMENTINFO, dwMaxSampleCount), NSCOMMON_RECORD_FIELD(ns_SEGMENTINFO, dSampleRate),
    NSCOMMON_RECORD_FIELD(ns_SEGMENTINFO, szUnits),
};

inline constexpr RecordField kSegSourceInfoFields[] = {
    NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, dMinVal),          NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, dMaxVal),
    NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, dResolution),      NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, dSubSampleShift),
    NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, dLocationX),       NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, dLocationY),
    NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, dLocationZ),       NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, dLocationUser),
    NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, dHighFreqCorner),  NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, dwHighFreqOrder),
    NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, szHighFilterType), NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, dLowFreqCorner),
    NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, dwLowFreqOrder),   NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, szLowFilterType),
    NSCOMMON_RECORD_FIELD(ns_SEGSOURCEINFO, szProbeInfo),
};

#undef NSCOMMON_RECORD_FIELD

// The aligned layout of a packed record; kSize 0 where the two layouts are
// the same.
template <typename Packed>
struct AlignedLayout {
    static constexpr uint32_t kSize = 0;
};

template <typename Aligned, const RecordField* Fields, size_t Count>
struct AlignedLayoutOf {
    static constexpr uint32_t kSize = sizeof(Aligned);
    static constexpr const RecordField* kFields = Fields;
    static constexpr size_t kCount = Count;
};

template <>
struct AlignedLayout<ns_FILEINFO>
    : AlignedLayoutOf<ns_FILEINFO_ALIGNED, kFileInfoFields, std::size(kFileInfoFields)> {};
template <>
struct AlignedLayout<ns_ANALOGINFO>
    : AlignedLayoutOf<ns_ANALOGINFO_ALIGNED, kAnalogInfoFields, std::size(kAnalogInfoFields)> {};
template <>
struct AlignedLayout<ns_SEGMENTINFO>
    : AlignedLayoutOf<ns_SEGMENTINFO_ALIGNED, kSegmentInfoFields, std::size(kSegmentInfoFields)> {};
template <>
struct AlignedLayout<ns_SEGSOURCEINFO>
    : AlignedLayoutOf<ns_SEGSOURCEINFO_ALIGNED, kSegSourceInfoFields, std::size(kSegSourceInfoFields)> {};

// True when size is the aligned size of the record (never for records that
// have one layout only).
template <typename Packed>
constexpr bool IsAlignedSize(uint32_t size) {
    return AlignedLayout<Packed>::kSize != 0 && size == AlignedLayout<Packed>::kSize;
}

// The field tables must name every byte of the packed record, in order, and
// every field must sit inside the aligned record.
template <typename Packed>
constexpr bool FieldsCoverRecord() {
    using Layout = AlignedLayout<Packed>;
    size_t next = 0;
    for (size_t i = 0; i < Layout::kCount; ++i) {
        const RecordField& f = Layout::kFields[i];
        if (f.packedOffset != next || f.alignedOffset < f.packedOffset) return false;
        if (f.alignedOffset + f.width > Layout::kSize) return false;
        next += f.width;
    }
    return next == sizeof(Packed);
}
static_assert(FieldsCoverRecord<ns_FILEINFO>(), "ns_FILEINFO field table");
static_assert(FieldsCoverRecord<ns_ANALOGINFO>(), "ns_ANALOGINFO field table");
static_assert(FieldsCoverRecord<ns_SEGMENTINFO>(), "ns_SEGMENTINFO field table");
static_assert(FieldsCoverRecord<ns_SEGSOURCEINFO>(), "ns_SEGSOURCEINFO field table");

// Copies each field from its aligned offset in `aligned` to its packed offset
// in `packed`, and back.
void GatherAlignedFields(const RecordField* fields, size_t count, const void* aligned, void* packed);
void ScatterAlignedFields(const RecordField* fields, size_t count, const void* packed, void* aligned);

// Runs fill(Packed&) on the host's record in the layout that size names:
// through a packed copy when size is the record's aligned size, directly on
// the record otherwise.  The caller has already decided that the size is
// acceptable.  Returns what fill returns.
template <typename Packed, typename Fill>
decltype(auto) FillHostRecord(Packed* record, uint32_t size, Fill&& fill) {
    using Layout = AlignedLayout<Packed>;
    if constexpr (Layout::kSize != 0) {
        if (size == Layout::kSize) {
            // Copies the fields back however fill returns.
            struct Scatter {
                Packed packed;
                void* host;
                ~Scatter() { ScatterAlignedFields(Layout::kFields, Layout::kCount, &packed, host); }
            } through{{}, record};
            GatherAlignedFields(Layout::kFields, Layout::kCount, record, &through.packed);
            return fill(through.packed);
        }
    }
    return fill(*record);
}

}  // namespace nscommon
