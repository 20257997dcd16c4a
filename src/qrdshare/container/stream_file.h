// One open QRD recording.
//
// Open reads the header list (signature, file header, layout, stream blocks,
// index pointer and, when present, the embedded chunk index), decides the
// trigger streams and the effective recording mode, and keeps the file open
// for chunk access.  The object owns its header, streams, index and layout;
// time stamps it hands out by pointer stay its own, time stamps it returns
// as unique_ptr belong to the caller.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "container/binary_file.h"

namespace nscommon {
class CacheBudget;
}

namespace qrd {

class CQRLayout;
class CQRVAChunk;
class CQRVAChunkIndex;
struct ChunkHeader;
class CQRVAStream;
class CQRVATimeStamp;
class PayloadCache;
class RecordBlockCache;
class SpanCache;
class StreamFileHeader;

class CQRVAStreamFile {
public:
    // Open results.
    static constexpr int kOpenOk = 0;
    static constexpr int kOpenCannotOpen = 1;
    static constexpr int kOpenNotQrd = 2;
    static constexpr int kOpenBadHeader = 3;
    // Trigger stream index values besides a stream index.
    static constexpr int32_t kTriggerUndecided = -2;
    static constexpr int32_t kTriggerNone = -1;
    // Longest path the object keeps (a 260-byte member including its NUL).
    static constexpr size_t kMaxPathLength = 259;

    // Returns non-zero to cancel the running operation.
    using ProgressCallback = std::function<int(const char* text, uint32_t percent)>;

    CQRVAStreamFile();
    virtual ~CQRVAStreamFile();
    CQRVAStreamFile(const CQRVAStreamFile&) = delete;
    CQRVAStreamFile& operator=(const CQRVAStreamFile&) = delete;

    // 0 success; 1 cannot open for reading (or the path is too long); 2 not a
    // QRD file; 3 the header list is invalid.
    int Open(const char* path);
    // Close, then forget everything read at open.
    void Reset();
    // Closes the file and destroys streams, header, index contents and path.
    void Close();
    // Header list of this file into out (used when recordings are merged).
    // The 8-byte index offset is written as 0; its position is kept in
    // GetIndexPointerPosition() for the merger to patch.
    bool WriteHeader(BinaryFile& out);
    // Folder text that index cache file names start with; empty (the
    // default) reads and writes no cache files.  The name is this text
    // followed directly by "qrvidx" and the file time ticks, so a folder must
    // be given with its trailing "/".  Kept across Open.  A cache file is
    // written under a temporary name and renamed into place, so recordings
    // opened at the same time by other threads or processes never read a
    // half-written one.
    void SetCacheDirectory(const std::string& directory) { cacheDirectory_ = directory; }
    const std::string& GetCacheDirectory() const { return cacheDirectory_; }
    // The budget this file's caches (decoded spans, span_cache.h; chunk
    // payloads, payload_cache.h) take their memory from; null, the default,
    // or a budget of 0 keeps no cache.  Kept across Open; the budget must
    // outlive the file.
    void SetCacheBudget(nscommon::CacheBudget* budget);
    // The caches guard themselves: calls on any thread may use them at once.
    SpanCache& GetSpanCache() { return *spanCache_; }
    PayloadCache& GetPayloadCache() { return *payloadCache_; }
    RecordBlockCache& GetRecordBlockCache() { return *recordBlockCache_; }
    void SetProgressCallback(ProgressCallback callback) { progress_ = std::move(callback); }
    int ReportProgress(const char* text, uint32_t percent);

    // ---- accessors (0, -1 or null when there is no header)
    virtual uint32_t GetAppVersion() const;   // major << 16 | minor
    virtual uint32_t GetAppBuild() const;     // third << 16 | fourth
    virtual uint16_t GetHeaderVersion() const;
    virtual int32_t GetRecordingMode() const;
    virtual uint16_t GetSourceType() const;
    virtual uint32_t GetSampleRate() const;   // millihertz
    virtual const char* GetComment() const;
    // Calendar of the header start time, UTC.
    virtual uint16_t GetStartYear() const;
    virtual uint16_t GetStartMonth() const;
    virtual uint16_t GetStartDay() const;
    virtual uint16_t GetStartHour() const;
    virtual uint16_t GetStartMinute() const;
    virtual uint16_t GetStartSecond() const;
    virtual uint16_t GetStartMillisecond() const;
    virtual uint32_t GetStartMicrosecond() const;
    virtual uint32_t GetStartNanosecond() const;
    virtual uint32_t GetStreamCount() const;
    virtual CQRVAStream* GetStream(uint32_t i) const;
    // Number of sweeps of the chunk index: the index read at open, else an
    // index cache file, else a scan of the chunks (which writes the cache
    // file when a cache folder is set).  The stop time is then taken from the
    // last sweep end (the start time without sweeps).  A scan cancelled
    // through the progress callback leaves no sweep lists (0 sweeps) and no
    // position entries, so the next call scans again.
    virtual int BuildIndex();
    // Header sweep length when the recording is triggered, else -1.
    virtual int32_t GetSweepLength() const;
    virtual int32_t GetSweepOffset() const;       // float at 812, truncated
    virtual int32_t GetSweepLengthValue() const;  // float at 816, truncated
    // New time stamps (caller owns), origin the start time; null without a sweep list.
    virtual std::unique_ptr<CQRVATimeStamp> GetSweepStart(uint32_t i) const;
    virtual std::unique_ptr<CQRVATimeStamp> GetSweepEnd(uint32_t i) const;
    virtual uint64_t GetSweepStartTicks(uint32_t i) const;
    virtual int32_t GetTriggerStream() const;
    virtual int32_t GetStopTriggerStream() const;
    virtual CQRVATimeStamp* GetFileTime() const;
    virtual CQRVATimeStamp* GetStartTime() const;
    virtual CQRVATimeStamp* GetStopTime() const;
    virtual uint32_t GetIndexFlag() const;
    virtual uint32_t GetChunkDuration() const;    // nanoseconds
    virtual BinaryFile* GetFileHandle();
    virtual uint64_t GetDataStart() const;
    virtual int SetTriggerStream(int32_t i);
    virtual int SetStopTriggerStream(int32_t i);
    // Index of the first stream whose stream tag equals the first 8
    // characters of tag, else -1.
    virtual int32_t FindStreamByTag(const char* tag) const;
    // Six i32 and four 64-bit values of header table entry i (0 to 3);
    // leaves the outputs alone without a header or for another i.
    virtual void GetHeaderEntry(uint32_t i, int32_t values[6], uint64_t wide[4]) const;
    virtual const char* GetHeaderEntryText(uint32_t i) const;
    // 1 success, 0 failure.
    virtual int ReadHeader();

    // ---- file-wide chunk walk (chunks of every stream, in file order)
    std::unique_ptr<CQRVAChunk> FirstChunk();
    // The chunk after chunk in the file.  When one is found, chunk is
    // released and the new one returned; otherwise null and the caller keeps chunk.
    std::unique_ptr<CQRVAChunk> NextChunk(std::unique_ptr<CQRVAChunk>& chunk);
    // Reads the chunk header at offset (tag, length, start, end) and
    // describes the chunk.  Null on a short read or when the chunk is not one
    // (see ChunkFromHeader).
    std::unique_ptr<CQRVAChunk> ReadChunkAt(uint64_t offset);
    // Describes the chunk whose head was read and whose payload starts at
    // dataOffset, applying the first-chunk rule.  Null when the length is
    // below 16 or the payload would end beyond the file, so a walk over
    // damaged chunks ends instead of running backwards or off the file.
    // Walks use no file position, so any number of threads may walk at once.
    std::unique_ptr<CQRVAChunk> ChunkFromHeader(const ChunkHeader& head, uint64_t dataOffset);
    // Reads the first chunk unless a chunk with a start time was read
    // already, so that what the first chunk decides (ApplyFirstChunkRule) is
    // decided before the file is shared between threads.
    void SettleFirstChunk();

    // ---- state read by other parts of the reader
    const StreamFileHeader* GetHeader() const { return header_.get(); }
    StreamFileHeader* GetHeader() { return header_.get(); }
    CQRVAChunkIndex& GetIndex() { return *index_; }
    const CQRVAChunkIndex& GetIndex() const { return *index_; }
    // The hardware layout.  A standard layout (every source type but the
    // configured one) is built from the header's channel counts when it is
    // first asked for: reading a recording never needs its entries, and a
    // damaged header may claim 32767 channels of 1368 bytes each.
    CQRLayout& GetLayout();
    const CQRLayout& GetLayout() const;
    const std::string& GetPath() const { return path_; }
    uint64_t GetIndexOffset() const { return indexOffset_; }
    uint64_t GetIndexPointerPosition() const { return indexPointerPosition_; }
    uint64_t GetHeaderListLength() const { return headerListLength_; }
    uint64_t GetStreamListValue() const { return streamListValue_; }
    uint64_t GetFirstDataTime() const { return firstDataTime_.load(std::memory_order_acquire); }
    bool DropsPositionIndex() const { return dropPositionIndex_ != 0; }
    bool HasOnlyPlainStreams() const { return plainStreamsOnly_ != 0; }
    bool HasLongChunks() const { return longChunks_ != 0; }
    // Application version of this file: major, minor, third and fourth number.
    uint16_t GetAppMajor() const { return static_cast<uint16_t>(GetAppVersion() >> 16); }
    uint16_t GetAppMinor() const { return static_cast<uint16_t>(GetAppVersion() & 0xFFFF); }
    // "major.minor.third.fourth"; empty without a header.
    std::string GetAppVersionText() const;

private:
    // Merging builds a new recording on an output object (file_merge.h).
    friend class StreamFileMerger;

    bool ReadFileHeaderRecord();
    bool ReadLayout();
    bool ReadStreams();
    bool DecideTriggerStreamsFromHeader();
    bool ReadIndexPointer();
    void ReadEmbeddedIndex();
    void FillStartTimeFromChunks();
    void SetTimeStamps();
    void ProbeOldRecording();
    int32_t ProbeTriggered();
    uint32_t ProbeSweepLengthMs();
    CQRVAStream* FirstStreamWithData();
    void DecideEffectiveMode();
    void ApplyFirstChunkRule(uint64_t chunkStart);
    // Index building (index_builder.cpp).
    bool LoadIndexCache();
    bool ScanIndex();
    void WriteIndexCache();
    std::string IndexCacheFileName() const;
    void CorrectStopTimeFromIndex();
    void TakeStopTimeFromDataWhenMissing();

    // Start of the first chunk read (0 before); written once, under
    // firstChunkLock_.
    std::atomic<uint64_t> firstDataTime_{0};
    std::mutex firstChunkLock_;
    int32_t dropPositionIndex_ = 0;
    int32_t plainStreamsOnly_ = 0;
    uint8_t longChunks_ = 0;
    ProgressCallback progress_;
    std::string lastProgressText_;
    bool hasReported_ = false;
    uint32_t lastProgressPercent_ = 0;
    long lastProgressClock_ = 0;
    uint8_t signature_[8] = {0};
    std::unique_ptr<CQRVATimeStamp> fileTime_;
    std::unique_ptr<CQRVATimeStamp> startTime_;
    std::unique_ptr<CQRVATimeStamp> stopTime_;
    std::unique_ptr<StreamFileHeader> header_;
    std::unique_ptr<CQRVAChunkIndex> index_;
    BinaryFile file_;
    uint64_t headerListLength_ = 0;
    std::vector<std::unique_ptr<CQRVAStream>> streams_;
    uint64_t dataStart_ = 0;
    uint64_t streamListValue_ = 0;
    uint64_t indexPointerPosition_ = 0;
    uint64_t indexOffset_ = 0;
    int32_t triggerStream_ = kTriggerUndecided;
    int32_t stopTriggerStream_ = kTriggerUndecided;
    std::string path_;
    std::string cacheDirectory_;
    std::unique_ptr<CQRLayout> layout_;
    // The counts of a standard layout that GetLayout has yet to build.
    struct StandardLayoutCounts {
        int32_t sourceType, total, electrodes, analog, digital;
    };
    mutable std::optional<StandardLayoutCounts> pendingLayout_;
    // Guards building the standard layout on first use.
    mutable std::mutex layoutLock_;
    std::unique_ptr<SpanCache> spanCache_;
    std::unique_ptr<PayloadCache> payloadCache_;
    std::unique_ptr<RecordBlockCache> recordBlockCache_;
};

}  // namespace qrd
