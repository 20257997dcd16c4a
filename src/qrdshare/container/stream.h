// One stream of a QRD recording: its stream block (header, channel records,
// format header and tool settings), its tags, and access to its data chunks,
// samples and events.
//
// Streams are created only by CQRVAStreamFile while it reads the header list;
// each keeps a pointer back to the file that owns it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qrd {

class BinaryFile;
class CQRVAChannel;
class CQRVAChunk;
class ChunkTable;
class CQRVAEvent;
class CQRVAStreamFile;
class CQRVATimeStamp;
class InfoObject;
class SpanCache;
class StreamFormat;
class StreamHeader;

// A column read of one sweep: ReadSweepChannel (whole) or
// ReadSweepSliceChannel (samples [first, first + count)), with room for
// capacity samples, converted as (raw - zero) x step.
struct SweepColumnRead {
    bool whole = true;
    uint32_t first = 0;
    uint32_t count = 0;
    uint32_t capacity = 0;
    uint16_t zero = 0;
    double step = 1.0;
};

class CQRVAStream {
public:
    explicit CQRVAStream(CQRVAStreamFile* file);
    virtual ~CQRVAStream();
    CQRVAStream(const CQRVAStream&) = delete;
    CQRVAStream& operator=(const CQRVAStream&) = delete;

    // ---- stream header and format header (values without a record in brackets)
    virtual uint32_t GetChannelCount() const;      // (0)
    // Stream header version, the format version of the stream's payloads (0xFFFFFFFF).
    virtual uint32_t GetStreamVersion() const;
    virtual const char* GetTypeName() const;       // (null)
    virtual const char* GetName() const;           // (null)
    virtual const char* GetComment() const;        // (null)
    virtual uint16_t GetStreamId() const;          // (0)
    virtual uint32_t GetSampleRate() const;        // millihertz (0)
    virtual uint32_t GetSampleRateHz() const;      // GetSampleRate() / 1000
    virtual uint16_t GetFormatVersion() const;     // format u16 at 0
    virtual uint8_t GetFormatByte() const;         // format u8 at 2
    virtual int16_t GetAdcBits() const;            // format i16 at 4
    virtual uint16_t GetAdcZero() const;           // format u16 at 6
    virtual double GetUnitStep() const;            // format f64 at 8 (0)
    virtual uint16_t GetFormatWord16() const;
    virtual uint16_t GetFormatWord18() const;
    virtual uint16_t GetFormatWord20() const;

    // ---- channels
    // Channel at a position; null when the position is not below the channel count.
    virtual CQRVAChannel* GetChannel(uint32_t position) const;
    // First channel whose number equals number as a 16-bit value, else null.
    virtual CQRVAChannel* FindChannel(int32_t number) const;
    // Label of a channel; an empty text when the position is out of range.
    virtual const char* GetChannelLabel(uint32_t position) const;

    // Info object decoded from the tool settings (caller owns), or null.
    virtual std::unique_ptr<InfoObject> CreateInfo() const;
    // True when the owning file records continuously (recording mode 0).
    virtual bool IsContinuousRecording() const;
    // True for the sample-carrying types "analog", "chat", "filter", "digital".
    virtual bool IsContinuousType() const;

    // ---- samples.  Destinations hold raw u16 values and are never written
    // beyond their stated capacity.  Times use only their ticks.
    virtual uint32_t ReadSamplesBetween(uint16_t* dst, uint32_t capacity, const CQRVATimeStamp& t1,
                                        const CQRVATimeStamp& t2);
    virtual uint32_t ReadChannel(uint16_t* dst, uint32_t capacity, uint32_t channel);
    // dst holds count values.
    virtual uint32_t ReadChannelRange(uint16_t* dst, uint32_t channel, uint32_t first, uint32_t count);
    virtual uint32_t SampleCountBetween(const CQRVATimeStamp& t1, const CQRVATimeStamp& t2) const;
    virtual uint32_t TotalSampleCount() const;
    virtual uint32_t SweepSampleCount(uint32_t sweep) const;
    virtual uint32_t ReadSweepSlice(uint16_t* dst, uint32_t capacity, uint32_t sweep, uint32_t first,
                                    uint32_t count);
    virtual uint32_t ReadSweep(uint16_t* dst, uint32_t capacity, uint32_t sweep);
    virtual uint32_t ReadSweepSliceChannel(uint16_t* dst, uint32_t capacity, uint32_t sweep,
                                           uint32_t channel, uint32_t first, uint32_t count);
    virtual uint32_t ReadSweepChannel(uint16_t* dst, uint32_t capacity, uint32_t sweep, uint32_t channel);
    // The same read as ReadSweepChannel / ReadSweepSliceChannel, served from
    // the file's span cache (this stream is stream streamIndex of the file)
    // and written converted to out: the samples delivered, as those return.
    // -1 when the cache does not hold every sample the read takes; out is
    // then unspecified, nothing else has changed, and the caller reads from
    // the file instead.
    int64_t ConvertSweepColumnFromCache(SpanCache& cache, uint32_t streamIndex, uint32_t sweep, uint32_t channel,
                                        const SweepColumnRead& read, double* out);

    // ---- chunks.  Every chunk returned belongs to the caller.
    virtual std::unique_ptr<CQRVAChunk> FirstChunk();
    // The chunk of this stream after chunk.  When one is found, chunk is
    // released and the new one returned; otherwise null is returned and the
    // caller keeps chunk.
    virtual std::unique_ptr<CQRVAChunk> NextChunk(std::unique_ptr<CQRVAChunk>& chunk);
    // First chunk of this stream whose end lies after t, or null.
    virtual std::unique_ptr<CQRVAChunk> ChunkAtTime(const CQRVATimeStamp& t);

    // ---- events.  An event cursor returned here belongs to the caller, who
    // deletes it (it owns the chunk it reads from).
    virtual CQRVAEvent* FirstEvent();
    virtual int Reserved37();
    virtual CQRVAEvent* EventAtTime(const CQRVATimeStamp& t);
    // Adds one to counts[spike channel ID] ("spikes") or counts[0] (other
    // types) for every event in [from, to); IDs not below countsSize are skipped.
    virtual void CountEventsBefore(const CQRVATimeStamp& from, const CQRVATimeStamp& to,
                                   uint32_t* counts, uint32_t countsSize);

    // ---- stream block
    // Stores the settings pointer (null when there are none) and returns their length.
    virtual uint32_t GetSettings(const uint8_t** settings) const;
    // Reads the stream block at the current position.  0 on success, 2 on any
    // failure (short read, wrong section tag, a count the file cannot hold).
    virtual int ReadStreamHeader(BinaryFile& file, uint16_t fileHeaderVersion);

    // STRMHDR section, channel records and STRMFMT section, as read.
    bool WriteStreamHeader(BinaryFile& out) const;
    // The 8-character tag of this stream's data chunks.
    const char* GetChunkTag() const { return chunkTag_; }
    // The stream tag (how the file header and the host name this stream);
    // null without a header.
    const char* GetStreamTag() const;
    // Deep copy (header, channels, format, settings) owned by another file.
    std::unique_ptr<CQRVAStream> Clone(CQRVAStreamFile* owner) const;

    CQRVAStreamFile* GetFile() const { return file_; }
    // The chunk list the sample readers (and the file's span cache) work
    // from, built on first use.
    ChunkTable& SampleTable();
    const StreamHeader* GetHeader() const { return header_.get(); }
    const StreamFormat* GetFormat() const { return format_.get(); }
    uint64_t GetHeaderSectionLength() const { return headerSectionLength_; }
    uint64_t GetFormatSectionLength() const { return formatSectionLength_; }
    // Type name compared case-insensitively over its first 8 characters.
    bool IsType(const char* typeName) const;

private:
    // Merging retags the cloned streams of its output (file_merge.h).
    friend class StreamFileMerger;

    void ClearBlock();
    void BuildTags(uint16_t fileHeaderVersion);
    // Reads the next chunk of this stream from file offset `at` on.
    std::unique_ptr<CQRVAChunk> ScanForChunk(uint64_t at);
    // Chunk found by scanning from the index entry for ticks; null without entries.
    std::unique_ptr<CQRVAChunk> ChunkFromIndex(uint64_t ticks);
    // First chunk from chunk on whose end lies after ticks, or null.
    std::unique_ptr<CQRVAChunk> AdvancePast(std::unique_ptr<CQRVAChunk> chunk, uint64_t ticks);
    // The chunk tag as the scan compares it: 8 bytes, upper case, NULs as blanks.
    void ChunkTagKey(char key[8]) const;

    // The sample readers' chunk list, built once (sampleTableOnce_) by the
    // first read on any thread, and the chunk of it the time-based reader
    // stands on (kept between calls; kNoSampleCursor before the first).  The
    // cursor only says where a search starts: each read takes it, works with
    // a copy of its own and leaves where it ended, so reads on several
    // threads may overwrite each other's cursor without changing an answer.
    static constexpr size_t kNoSampleCursor = static_cast<size_t>(-1);
    // (shared_ptr: destroyed where ChunkTable is an incomplete type)
    std::shared_ptr<ChunkTable> sampleTable_;
    std::once_flag sampleTableOnce_;
    std::atomic<size_t> sampleCursor_{kNoSampleCursor};
    uint64_t headerSectionLength_ = 0;
    uint64_t formatSectionLength_ = 0;
    std::vector<uint8_t> settings_;
    std::unique_ptr<StreamHeader> header_;
    std::vector<std::unique_ptr<CQRVAChannel>> channels_;
    char chunkTag_[16] = {0};
    std::unique_ptr<StreamFormat> format_;
    CQRVAStreamFile* file_ = nullptr;
};

}  // namespace qrd
