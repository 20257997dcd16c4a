// Byte layouts of the records of a MAP recording.
//
// A MAP file is a flat run of records.  Each starts with a six-byte frame:
// u16 record length (the whole record), a type letter and one byte that data
// blocks use for the unit number.  All values are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mapshare {
namespace record {

// ---- frame -----------------------------------------------------------------
constexpr size_t kFrameSize = 6;
constexpr size_t kLengthOffset = 0;
constexpr size_t kTypeOffset = 2;
constexpr size_t kUnitOffset = 3;        // i8, data blocks only
constexpr size_t kMaxRecordSize = 65535; // the length is a u16
// The acquisition system may close a file with five FF bytes instead of a
// further record.
constexpr size_t kEndMarkerSize = 5;
static_assert(kEndMarkerSize < kFrameSize, "the end marker is shorter than any frame");

// ---- 'h' file header -------------------------------------------------------
constexpr size_t kHeaderVersion1Size = 40;   // format version 1
constexpr size_t kHeaderLaterSize = 60;      // later versions carry the version byte
constexpr size_t kHeaderLayoutWordOffset = 8;  // u16; 57 selects the later digital layout in version 1
constexpr uint16_t kLaterDigitalLayoutWord = 57;
constexpr size_t kHeaderHourOffset = 10;
constexpr size_t kHeaderMinuteOffset = 11;
constexpr size_t kHeaderSecondOffset = 12;
constexpr size_t kHeaderSubSecondOffset = 13;
constexpr size_t kHeaderDayOffset = 14;
constexpr size_t kHeaderMonthOffset = 15;
constexpr size_t kHeaderYearOffset = 16;       // u16
constexpr size_t kHeaderSpanStartOffset = 20;  // f64 seconds
constexpr size_t kHeaderSpanEndOffset = 28;    // f64 seconds
constexpr size_t kHeaderVersionOffset = 40;    // u8, 60-byte header only
static_assert(kHeaderSpanEndOffset + 8 <= kHeaderVersion1Size, "span fits the short header");
static_assert(kHeaderVersionOffset < kHeaderLaterSize, "version byte lies in the long header");

// ---- '1' resolution record ------------------------------------------------
constexpr size_t kResolutionOffset = 56;       // f32 microseconds
constexpr float kDefaultResolutionMicroseconds = 1.3f;

// ---- 'b' port definition ----------------------------------------------------
constexpr size_t kPortGroupOffset = 4;         // i32
constexpr size_t kPortNumberOffset = 8;        // i32; low 16 bits are the channel number
constexpr size_t kPortNameOffset = 14;
constexpr size_t kPortNameOffsetVersion1 = 12;
constexpr size_t kPortStoredLength = 16;

// ---- '2' channel definition ------------------------------------------------
constexpr size_t kChannelAnalogFlagOffset = 8;    // u16
constexpr size_t kChannelActiveFlagOffset = 10;   // u16
constexpr size_t kChannelNumberOffset = 12;       // u16
constexpr size_t kAnalogModeOffset = 18;          // u16
constexpr size_t kAnalogRateOffset = 24;          // f32 kHz
constexpr size_t kAnalogSubRecordOffset = 28;     // i16 words
constexpr size_t kAnalogPreTriggerOffset = 32;    // f32 ms
constexpr uint16_t kModeContinuous = 0;
constexpr uint16_t kModeLevel = 1;
constexpr uint16_t kModeWindowDiscriminator = 3;
constexpr size_t kContinuousNameOffset = 38;
constexpr size_t kExternalTriggerNameOffset = 42;
constexpr size_t kLevelNameOffset = 48;
constexpr size_t kWindowDiscriminatorNameOffset = 82;
constexpr size_t kDigitalRateOffset = 18;         // f32 kHz
constexpr size_t kDigitalNameOffset = 30;
constexpr size_t kDigitalNameOffsetEarlyLayout = 28;
// A channel keeps the start of its definition (name included from its name
// position on) to recognise a definition that is given twice.
constexpr size_t kStoredNameBytes = 2;
constexpr size_t storedLengthFor(size_t nameOffset) { return nameOffset + kStoredNameBytes; }
static_assert(storedLengthFor(kPortNameOffset) == kPortStoredLength, "port definition keeps 16 bytes");
static_assert(storedLengthFor(kWindowDiscriminatorNameOffset) == 84, "window discriminator keeps 84 bytes");
static_assert(kAnalogPreTriggerOffset + 4 <= kContinuousNameOffset, "analog fields precede every name");

// ---- '5' data block ----------------------------------------------------------
constexpr size_t kBlockChannelOffset = 4;      // u16
constexpr size_t kBlockPayloadOffset = 6;
constexpr size_t kBlockMinSize = 10;           // frame, channel word, time stamp
constexpr size_t kEventBlockMinSize = 12;      // plus the 16-bit event value
constexpr size_t kTimeStampSize = 4;
static_assert(kBlockMinSize == kBlockPayloadOffset + kTimeStampSize, "a block without samples");
static_assert(kEventBlockMinSize == kBlockMinSize + 2, "an event block holds one value");

// ---- '7' multiplexed data ----------------------------------------------------
constexpr size_t kMultiplexFirstWordOffset = 6;
constexpr int16_t kEventSubRecordWords = 3;    // Port and Digital: value + time stamp
constexpr int16_t kMarkerPlain = -666;         // no contents
constexpr int16_t kMarkerTwoWordsA = -558;     // 2 words of contents
constexpr int16_t kMarkerTwoWordsB = -557;
constexpr int16_t kMarkerOneWordA = -444;      // 1 word of contents
constexpr int16_t kMarkerOneWordB = -222;
constexpr int16_t kMarkerOneWordC = -111;
constexpr int16_t kMarkerFiveWords = -333;     // 5 words of contents

}  // namespace record
}  // namespace mapshare
