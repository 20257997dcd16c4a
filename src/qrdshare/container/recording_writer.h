// Writes whole QRD recordings from a plain description.
//
// Used by the tests, the fuzz seed generators, the benchmark and the sample
// tool: describe the file header, the streams with their channels, format and
// settings, and the data chunks in file order, then write it to disk
// (WriteRecording) or into memory (RecordingBytes).  The writer follows the
// stored layout of the chosen header version (0..10): record sizes, the
// header-list trailer ("LISTstrm" for version 0, nothing for 1 and 2,
// "IDX1POS " for 3 and above) and, on request, an index block built from the
// chunks actually written.
//
// The builders at the end add typical streams: continuous raw data filled from
// a sample function (one span or several sweeps), a digital stream, and event
// streams carrying given payload bytes.
//
// The description is deliberately permissive (any version, any counts), so
// tests can also write damaged recordings; RecordingPlan reports where every
// part landed, for tests that patch or cut the bytes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "container/channel_record.h"
#include "container/file_header.h"
#include "container/index_records.h"
#include "container/time_stamp.h"

namespace qrd {

struct ChannelSpec {
    int32_t number = 0;          // channel number shown to the host
    int32_t hardwareIndex = 0;
    std::string name;
    std::string label;           // empty: same as name
    std::string description;
    uint16_t group = 0;
    uint16_t recordVersion = 2;
    int32_t recordValue = -1;    // value at 1048
    uint32_t positionX = 0, positionY = 0, positionZ = 0;  // micrometres
    std::array<uint32_t, 7> recordWords{};
    uint32_t lowerCorner = 0, upperCorner = 0;             // millihertz
    std::vector<ExtraItem> extraItems;
    // Written into the record instead of extraItems.size() when set (damage).
    std::optional<uint32_t> extraCountOverride;
};

struct FormatSpec {
    uint16_t formatVersion = 0;
    uint8_t formatByte = 0;
    int16_t adcBits = 16;
    uint16_t adcZero = 32768;
    double unitStep = 1.0e-7;    // volts per ADC step
    uint16_t word16 = 0;
    uint16_t word18 = 0;
    uint16_t word20 = 0;
};

struct StreamSpec {
    std::string typeName = "analog";  // "analog", "digital", "trigger", "spikes", ...
    std::string name;
    std::string comment;
    uint16_t id = 0;
    std::string tag;                  // stream tag, stored for header version 5 and above
    uint16_t headerVersion = 0;       // stream header version = event record format version
    uint32_t sampleRate = 25000000;   // millihertz
    std::vector<ChannelSpec> channels;
    FormatSpec format;
    std::vector<uint8_t> settings;    // bytes after the 24-byte format header
    // Chunk tag used by ChunkSpec::stream; empty: the tag the reader derives
    // (the stream tag for header version 5+, "%05x" of the ID + type suffix below).
    std::string chunkTag;
    // Damage switches for tests: a channel count other than channels.size()
    // in the stream header, and another spelling of the format tag.
    std::optional<uint32_t> channelCountOverride;
    std::string formatTag = "STRMFMT ";
};

// Produces the payload of one chunk on demand (so big recordings need not be
// held in memory while they are written).
using PayloadFunction = std::function<void(std::vector<uint8_t>& payload)>;

struct ChunkSpec {
    int stream = -1;          // index into RecordingSpec::streams, or -1 with an explicit tag
    std::string tag;          // overrides the stream's chunk tag when not empty
    uint64_t start = 0;       // ticks
    uint64_t end = 0;         // ticks
    std::vector<uint8_t> payload;
    // When set, the payload comes from generate() and has payloadSize bytes.
    PayloadFunction generate;
    uint64_t payloadSize = 0;

    uint64_t PayloadSize() const { return generate ? payloadSize : payload.size(); }
    std::vector<uint8_t> Payload() const;
};

enum class IndexChoice {
    kNone,     // "IDX1POS " points nowhere (offset 0), index flag 0
    kEmbedded  // index block after the chunks, index flag 1 (header version 3+ only)
};

struct RecordingSpec {
    uint16_t version = 10;
    uint32_t appVersion = (3u << 16) | 6u;  // major 3, minor 6
    uint32_t appBuild = (0u << 16) | 14u;
    std::string comment;
    uint64_t fileTime = 0;                  // 0: the start time
    uint64_t startTime = 0;                 // written as given (0 lets the reader take the first chunk's)
    std::optional<uint64_t> stopTime;       // absent: the latest chunk end (start time without chunks)
    uint32_t sampleRate = 25000000;         // millihertz
    int32_t recordingMode = kModeContinuous;
    float sweepOffset = 0.0f;
    float sweepLength = 0.0f;               // milliseconds
    uint16_t triggerStreamId = 0;           // header versions 1..4
    std::string triggerTag1, triggerTag2;   // header version 5+
    uint32_t sourceType = kSourceElectrodeArray;
    uint16_t electrodeCount = 60;
    int16_t electrodeFirst = 0;
    uint16_t analogCount = 0;
    int16_t analogFirst = 60;
    int16_t digitalCount = 1;
    int16_t digitalFirst = 60;
    int16_t totalChannelCount = 61;
    uint32_t chunkDuration = 100000000;     // nanoseconds, nominal
    // Last word on the header: called with the filled header before it is
    // written (header table entries, additional channel counts, damage, ...).
    std::function<void(StreamFileHeader&)> adjustHeader;

    std::vector<uint8_t> layoutBlock;       // written after the file header when not empty
    std::vector<StreamSpec> streams;
    std::vector<ChunkSpec> chunks;          // in file order
    uint64_t streamListValue = 0;           // value after "LISTstrm" (version 0)

    IndexChoice index = IndexChoice::kNone;
    std::string indexPath;                  // path stored in the index header
    // Sweeps of the index; absent: derived from the chunks of the last stream
    // that has chunks (a gap between a chunk's start and the previous chunk's
    // end starts a new sweep).
    std::optional<std::vector<SweepEntry>> sweeps;
    // A position entry is written for the first chunk and then for the first
    // chunk more than this many bytes after the last indexed one (0: every chunk).
    uint64_t positionSpacing = 250000;
};

// Where the parts of a written recording lie.
struct RecordingPlan {
    uint64_t fileHeaderOffset = 0;              // the "QRVHDR  " tag
    std::vector<uint64_t> streamBlockOffsets;   // each "STRMHDR " tag
    uint64_t trailerOffset = 0;                 // "LISTstrm" / "IDX1POS " tag (= data start for 1, 2)
    uint64_t dataStart = 0;                     // first chunk tag
    std::vector<uint64_t> chunkOffsets;         // each chunk's tag
    uint64_t indexOffset = 0;                   // "IDX1QRV " tag, 0 without index
    uint64_t fileSize = 0;
    std::vector<PositionEntry> positions;       // as written into the index
    std::vector<SweepEntry> sweeps;             // as written (or derived) for the index
};

// The chunk tag the writer uses for stream s.
std::string ChunkTagOf(const RecordingSpec& desc, size_t s);
// The sweeps a scan of the chunks finds (see RecordingSpec::sweeps).
std::vector<SweepEntry> DeriveSweeps(const RecordingSpec& desc);

// Writes the recording; false (with a reason in *error when given) when the
// file cannot be created or a write fails.
bool WriteRecording(const RecordingSpec& desc, const std::string& path, std::string* error = nullptr,
                    RecordingPlan* plan = nullptr);
// The same bytes in memory.
std::vector<uint8_t> RecordingBytes(const RecordingSpec& desc, RecordingPlan* plan = nullptr);

// ---- builders ---------------------------------------------------------------

// Raw sample of channel c (0-based position in the stream) at sample index i
// (counted from the stream's first sample, across sweeps).
using SampleFunction = std::function<uint16_t(uint32_t channel, uint64_t index)>;

// One stretch of uninterrupted samples.
struct SampleSpan {
    uint64_t start = 0;        // ticks of the first sample
    uint64_t sampleCount = 0;  // samples per channel
};

struct ContinuousStreamOptions {
    std::string typeName = "analog";
    std::string name = "Electrode Raw Data";
    std::string tag = "elec0001";
    uint16_t id = 1;
    uint16_t headerVersion = 0;
    uint32_t sampleRate = 25000000;   // millihertz
    uint32_t channelCount = 1;
    int32_t firstChannelNumber = 1;   // channel numbers count up from here
    int32_t firstHardwareIndex = 0;   // hardware indices count up from here
    std::string channelNamePrefix;    // channel names: prefix + number
    FormatSpec format;
    uint64_t chunkDuration = 100000000;  // ns of samples per chunk (the last chunk of a span may be shorter)
    std::vector<SampleSpan> spans;    // in time order; one span for a continuous recording
};

// Time of sample i of a span: start + i x 10^12 / rate (rate in millihertz).
uint64_t SampleTime(uint64_t spanStart, uint64_t index, uint32_t sampleRate);
// Samples per channel in duration ns at a rate in millihertz (rounded down).
uint64_t SamplesIn(uint64_t durationNs, uint32_t sampleRate);

// Adds the stream and its chunks (appended to desc.chunks; see
// InterleaveChunks); returns the stream's index.  Chunk payloads are generated
// while writing.
int AddContinuousStream(RecordingSpec& desc, const ContinuousStreamOptions& options, SampleFunction samples);
// A one-channel "digital" stream named "Digital Raw Data", tag "digi0001".
int AddDigitalStream(RecordingSpec& desc, ContinuousStreamOptions options,
                     std::function<uint16_t(uint64_t index)> word);

struct EventChunk {
    uint64_t start = 0;
    uint64_t end = 0;
    std::vector<uint8_t> payload;
};
// Adds an event stream (type, name, tag, ID, header version, channels and
// settings from stream) with one chunk per entry of chunks.
int AddEventStream(RecordingSpec& desc, StreamSpec stream, const std::vector<EventChunk>& chunks);

// Orders the chunks by start time; chunks with equal starts keep their order,
// as a recorder writes the streams of one time slice one after another.
void InterleaveChunks(RecordingSpec& desc);

}  // namespace qrd
