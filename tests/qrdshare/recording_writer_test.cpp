// The recording writer: the bytes it lays down, read back with the record
// readers, for every header version and for the builders' data.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "container/binary_file.h"
#include "container/block_tags.h"
#include "container/channel_record.h"
#include "container/chunk_header.h"
#include "container/chunk_index.h"
#include "container/event_payload_writer.h"
#include "container/file_header.h"
#include "container/recording_writer.h"
#include "container/stream_format.h"
#include "container/stream_header.h"
#include "support/temp_dir.h"

namespace qrd {
namespace {

using qrd_test::TempDir;

const uint64_t kStart = UtcTicks(2026, 12, 8, 9, 0, 0);

// Two streams: a 3-channel analog stream and a trigger stream with two events.
RecordingSpec TwoStreams(uint16_t version) {
    RecordingSpec desc;
    desc.version = version;
    desc.startTime = kStart;
    desc.comment = "two streams";
    ContinuousStreamOptions o;
    o.channelCount = 3;
    o.headerVersion = 1;
    o.firstChannelNumber = 21;
    o.format.adcZero = 2048;
    o.chunkDuration = 10000000;  // 10 ms = 250 samples
    o.spans = {{kStart, 1000}};
    AddContinuousStream(desc, o, [](uint32_t c, uint64_t i) { return static_cast<uint16_t>(1000 * c + i); });
    desc.streams[0].channels[1].extraItems = {ExtraItem::Make(9, 99)};

    StreamSpec trig;
    trig.typeName = "trigger";
    trig.name = "Trigger 1";
    trig.id = 2;
    trig.tag = "trig0001";
    trig.headerVersion = 5;
    trig.settings = {'P', 'A', 'R', 'A', 'M', 'T', 'R', 'G', 1, 2};
    std::vector<uint8_t> events;
    AppendTriggerRecord(events, 5, kStart + 5000000, 1);
    AppendTriggerRecord(events, 5, kStart + 25000000, 2);
    AddEventStream(desc, trig, {{kStart, kStart + 40000000, events}});
    InterleaveChunks(desc);
    return desc;
}

struct Opened {
    TempDir dir;
    BinaryFile file;
    RecordingPlan plan;
};

void WriteAndOpen(const RecordingSpec& desc, Opened& o) {
    std::string error;
    ASSERT_TRUE(WriteRecording(desc, o.dir.File("r.qrd"), &error, &o.plan)) << error;
    ASSERT_TRUE(o.file.OpenRead(o.dir.File("r.qrd")));
    ASSERT_EQ(o.file.Size(), o.plan.fileSize);
}

void ExpectTag(BinaryFile& f, const char* tag, uint64_t* length = nullptr) {
    char read[8];
    uint64_t len = 0;
    ASSERT_TRUE(f.ReadTagAndLength(read, len));
    ASSERT_TRUE(TagEquals(read, tag)) << std::string(read, 8) << " instead of " << tag;
    if (length) *length = len;
}

TEST(RecordingWriter, HeaderListOfEveryVersionReadsBack) {
    for (uint16_t v = 0; v <= 10; ++v) {
        SCOPED_TRACE(v);
        RecordingSpec desc = TwoStreams(v);
        desc.index = IndexChoice::kEmbedded;
        Opened o;
        WriteAndOpen(desc, o);
        BinaryFile& f = o.file;

        char signature[16];
        ASSERT_TRUE(f.Read(signature, 16));
        EXPECT_EQ(std::memcmp(signature, "QRVSTRM \xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 16), 0);
        uint64_t listLength = 0, length = 0;
        ExpectTag(f, kTagHeaderList, &listLength);
        EXPECT_EQ(listLength, o.plan.dataStart - 32);
        ExpectTag(f, kTagFileHeader, &length);
        EXPECT_EQ(length, FileHeaderRecordSize(v));
        StreamFileHeader h;
        ASSERT_TRUE(ReadFileHeader(f, h));
        EXPECT_EQ(h.streamCount(), 2u);
        EXPECT_STREQ(h.comment(), "two streams");
        EXPECT_EQ(h.startTime(), kStart);  // versions 0-2 take the file time, which the writer sets equal
        if (v >= 1) { EXPECT_EQ(h.stopTime(), kStart + 40000000); }
        if (v >= 1) { EXPECT_EQ(h.chunkCount(), desc.chunks.size()); }
        if (v >= 1) { EXPECT_EQ(h.indexFlag(), v >= 3 ? 1u : 0u); }

        for (size_t s = 0; s < 2; ++s) {
            EXPECT_EQ(f.Tell(), o.plan.streamBlockOffsets[s]);
            uint64_t sectionLength = 0;
            ExpectTag(f, kTagStreamHeader, &sectionLength);
            const uint64_t sectionStart = f.Tell();
            StreamHeader sh;
            ASSERT_TRUE(ReadStreamHeaderRecord(f, v, sh));
            EXPECT_STREQ(sh.typeName(), s == 0 ? "analog" : "trigger");
            EXPECT_EQ(sh.version(), v == 0 ? 0 : (s == 0 ? 1 : 5));
            EXPECT_STREQ(sh.streamTag(), v < 5 ? "" : (s == 0 ? "elec0001" : "trig0001"));
            for (uint32_t c = 0; c < sh.channelCount(); ++c) {
                ChannelRecord r;
                ASSERT_TRUE(ReadChannelRecord(f, v, r));
                EXPECT_EQ(r.channelNumber(), 21 + static_cast<int32_t>(c));
                std::vector<ExtraItem> items;
                ASSERT_TRUE(ReadExtraItems(f, r.extraCount(), items));
                EXPECT_EQ(items.size(), c == 1 ? 1u : 0u);
            }
            EXPECT_EQ(f.Tell() - sectionStart, sectionLength);
            uint64_t formatLength = 0;
            ExpectTag(f, kTagStreamFormat, &formatLength);
            StreamFormat fmt;
            ASSERT_TRUE(ReadStreamFormat(f, fmt));
            EXPECT_EQ(formatLength, s == 0 ? 24u : 34u);
            if (s == 0) { EXPECT_EQ(fmt.adcZero(), 2048); }
            ASSERT_TRUE(f.Seek(f.Tell() + formatLength - 24));
        }

        EXPECT_EQ(f.Tell(), o.plan.trailerOffset);
        if (v == 0) {
            ExpectTag(f, kTagStreamList);
        } else if (v >= 3) {
            ExpectTag(f, kTagIndexPointer, &length);
            EXPECT_EQ(length, 8u);
            uint64_t indexOffset = 0;
            ASSERT_TRUE(f.ReadU64(indexOffset));
            EXPECT_EQ(indexOffset, o.plan.indexOffset);
            EXPECT_NE(indexOffset, 0u);
        }
        EXPECT_EQ(f.Tell(), o.plan.dataStart);
        EXPECT_EQ(o.plan.indexOffset != 0, v >= 3);  // no index pointer, no index
    }
}

TEST(RecordingWriter, ChunksCarryTagsTimesAndInterleavedSamples) {
    for (uint16_t v : {uint16_t{4}, uint16_t{10}}) {
        SCOPED_TRACE(v);
        const RecordingSpec desc = TwoStreams(v);
        Opened o;
        WriteAndOpen(desc, o);
        ASSERT_EQ(o.plan.chunkOffsets.size(), 5u);  // 4 analog chunks + 1 trigger chunk
        uint64_t analogSamples = 0;
        uint64_t previousEnd = kStart;
        for (size_t i = 0; i < o.plan.chunkOffsets.size(); ++i) {
            ASSERT_TRUE(o.file.Seek(o.plan.chunkOffsets[i]));
            ChunkHeader c;
            ASSERT_TRUE(ReadChunkHeader(o.file, c));
            const std::string tag(c.tag, 8);
            std::vector<uint8_t> payload(c.PayloadSize());
            ASSERT_TRUE(o.file.Read(payload.data(), payload.size()));
            if (tag == (v >= 5 ? "trig0001" : "00002trg")) {
                EXPECT_EQ(payload.size(), 28u);
                EXPECT_EQ(GetU64(payload.data(), 14), kStart + 25000000);
                continue;
            }
            ASSERT_EQ(tag, v >= 5 ? "elec0001" : "00001raw");
            EXPECT_EQ(c.start, previousEnd);  // one uninterrupted span
            EXPECT_EQ(c.end - c.start, 10000000u);
            previousEnd = c.end;
            ASSERT_EQ(payload.size(), 250u * 3 * 2);
            for (size_t k = 0; k < 250; ++k) {
                for (uint16_t ch = 0; ch < 3; ++ch)
                    ASSERT_EQ(GetU16(payload.data(), 2 * (3 * k + ch)), 1000 * ch + analogSamples + k);
            }
            analogSamples += 250;
        }
        EXPECT_EQ(analogSamples, 1000u);
        // The trigger chunk starts with the first analog chunk and follows it.
        ASSERT_TRUE(o.file.Seek(o.plan.chunkOffsets[1]));
        char tag[8];
        ASSERT_TRUE(o.file.Read(tag, 8));
        EXPECT_EQ(std::string(tag, 8), v >= 5 ? "trig0001" : "00002trg");
    }
}

TEST(RecordingWriter, EmbeddedIndexPointsAtRealChunksAndFollowsTheSweeps) {
    RecordingSpec desc;
    desc.recordingMode = kModeTriggered;
    desc.startTime = kStart;
    desc.index = IndexChoice::kEmbedded;
    desc.positionSpacing = 3000;  // an entry every few chunks
    ContinuousStreamOptions o;
    o.channelCount = 4;
    o.chunkDuration = 5000000;  // 125 samples, 1000 payload bytes
    o.spans = {{kStart, 1000}, {kStart + kTicksPerSecond, 500}, {kStart + 3 * kTicksPerSecond, 130}};
    AddContinuousStream(desc, o, [](uint32_t, uint64_t i) { return static_cast<uint16_t>(i); });
    Opened w;
    WriteAndOpen(desc, w);

    // Sweeps: one per span; the last chunk of the last span is short (5 samples).
    const std::vector<SweepEntry> expected = {{kStart, kStart + 40000000},
                                              {kStart + kTicksPerSecond, kStart + kTicksPerSecond + 20000000},
                                              {kStart + 3 * kTicksPerSecond, kStart + 3 * kTicksPerSecond + 5200000}};
    EXPECT_EQ(w.plan.sweeps, expected);
    EXPECT_EQ(DeriveSweeps(desc), expected);

    ASSERT_TRUE(w.file.Seek(w.plan.indexOffset));
    CQRVAChunkIndex index;
    ASSERT_TRUE(index.ReadIndexHeader(w.file));
    ASSERT_TRUE(index.ReadIndexLists(w.file));
    EXPECT_EQ(w.file.Remaining(), 0u);
    EXPECT_TRUE(index.Validate(w.file));
    EXPECT_EQ(index.positions(), w.plan.positions);
    ASSERT_GE(index.positions().size(), 3u);
    EXPECT_EQ(index.positions().front(), (PositionEntry{kStart, w.plan.dataStart}));
    for (size_t i = 1; i < index.positions().size(); ++i)
        EXPECT_GT(index.positions()[i].offset - index.positions()[i - 1].offset, 3000u);
    for (const PositionEntry& p : index.positions()) {
        // Every entry is the tag of a chunk starting at its time.
        ASSERT_TRUE(w.file.Seek(p.offset));
        ChunkHeader c;
        ASSERT_TRUE(ReadChunkHeader(w.file, c));
        EXPECT_EQ(c.start, p.time);
    }
    ASSERT_EQ(index.SweepCount(), 3u);
    EXPECT_EQ((*index.sweepEnds())[2], expected[2].end);
}

TEST(RecordingWriter, MemoryAndDiskBytesAgreeAndWriteFailuresAreReported) {
    RecordingSpec desc = TwoStreams(10);
    desc.index = IndexChoice::kEmbedded;
    Opened o;
    WriteAndOpen(desc, o);
    RecordingPlan plan;
    const std::vector<uint8_t> bytes = RecordingBytes(desc, &plan);
    ASSERT_EQ(bytes.size(), o.plan.fileSize);
    std::vector<uint8_t> disk(bytes.size());
    ASSERT_TRUE(o.file.Read(disk.data(), disk.size()));
    EXPECT_EQ(bytes, disk);
    EXPECT_EQ(plan.chunkOffsets, o.plan.chunkOffsets);

    std::string error;
    EXPECT_FALSE(WriteRecording(desc, o.dir.File("missing/folder/r.qrd"), &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);
    BinaryFile probe;
    if (probe.OpenWrite("/dev/full")) {  // every write there fails with "no space"
        probe.Close();
        error.clear();
        EXPECT_FALSE(WriteRecording(desc, "/dev/full", &error));
        EXPECT_NE(error.find("write error"), std::string::npos);
    }
}

TEST(RecordingWriter, DamageSwitchesAndExplicitTagsAreWrittenAsAsked) {
    RecordingSpec desc = TwoStreams(6);
    desc.streams[0].channelCountOverride = 3;
    desc.streams[0].channels.clear();
    desc.streams[0].formatTag = "strmfmt ";
    desc.streams[1].channels.push_back(ChannelSpec{});
    desc.streams[1].channels[0].extraCountOverride = 1000;
    desc.chunks[0].tag = "ELEC0001";
    desc.stopTime = 5;
    desc.adjustHeader = [](StreamFileHeader& h) { h.setHeaderEntryText(0, "patched"); };
    Opened o;
    WriteAndOpen(desc, o);
    ASSERT_TRUE(o.file.Seek(o.plan.fileHeaderOffset + 16));
    StreamFileHeader h;
    ASSERT_TRUE(ReadFileHeader(o.file, h));
    EXPECT_EQ(h.stopTime(), 5u);
    EXPECT_STREQ(h.headerEntryText(0), "patched");
    ExpectTag(o.file, kTagStreamHeader);
    StreamHeader sh;
    ASSERT_TRUE(ReadStreamHeaderRecord(o.file, 6, sh));
    EXPECT_EQ(sh.channelCount(), 3u);
    char tag[8];
    ASSERT_TRUE(o.file.Read(tag, 8));
    EXPECT_EQ(std::string(tag, 8), "strmfmt ");
    EXPECT_TRUE(TagEqualsIgnoreCase(tag, kTagStreamFormat));
    ASSERT_TRUE(o.file.Seek(o.plan.streamBlockOffsets[1] + 16 + 804));
    ChannelRecord r;
    ASSERT_TRUE(ReadChannelRecord(o.file, 6, r));
    EXPECT_EQ(r.extraCount(), 1000u);
    ASSERT_TRUE(o.file.Seek(o.plan.chunkOffsets[0]));
    ASSERT_TRUE(o.file.Read(tag, 8));
    EXPECT_EQ(std::string(tag, 8), "ELEC0001");
    // The explicit tag still belongs to the analog stream when sweeps are derived.
    EXPECT_EQ(DeriveSweeps(desc).size(), 1u);
}

TEST(RecordingBuilders, SampleTimesAndCountsAtRatesThatAreNotWholeNanoseconds) {
    EXPECT_EQ(SamplesIn(100000000, 25000000), 2500u);
    EXPECT_EQ(SamplesIn(1000000, 30000000), 30u);
    EXPECT_EQ(SamplesIn(999999, 30000000), 29u);
    EXPECT_EQ(SamplesIn(1000000000000000ull, 25000000), 25000000000ull);  // product beyond 64 bits
    EXPECT_EQ(SampleTime(7, 1, 30000000), 7u + 33333);
    EXPECT_EQ(SampleTime(0, 30000, 30000000), 1000000000u);
    EXPECT_EQ(SampleTime(0, 2500, 2500000), 1000000000u);

    RecordingSpec desc;
    ContinuousStreamOptions o;
    o.sampleRate = 30000000;
    o.chunkDuration = 1000000;  // 30 samples per chunk
    o.spans = {{0, 75}};
    AddContinuousStream(desc, o, [](uint32_t, uint64_t) { return uint16_t{0}; });
    int digital = AddDigitalStream(desc, o, [](uint64_t i) { return static_cast<uint16_t>(i & 1); });
    ASSERT_EQ(desc.chunks.size(), 6u);
    EXPECT_EQ(desc.chunks[2].start, 2000000u);
    EXPECT_EQ(desc.chunks[2].end, 2500000u);  // 15 samples
    EXPECT_EQ(desc.chunks[2].PayloadSize(), 30u);
    EXPECT_EQ(desc.streams[digital].typeName, "digital");
    EXPECT_EQ(desc.streams[digital].tag, "digi0001");
    EXPECT_EQ(desc.streams[digital].name, "Digital Raw Data");
    const std::vector<uint8_t> p = desc.chunks[4].Payload();
    ASSERT_EQ(p.size(), 60u);
    EXPECT_EQ(GetU16(p.data(), 2), 1);  // digital sample 31
    InterleaveChunks(desc);
    EXPECT_EQ(desc.chunks[0].stream, 0);
    EXPECT_EQ(desc.chunks[1].stream, digital);
}

TEST(EventPayloads, RecordLayoutsFollowTheStreamVersion) {
    for (uint16_t v : {uint16_t{4}, uint16_t{5}, uint16_t{7}, uint16_t{8}}) {
        SCOPED_TRACE(v);
        std::vector<uint8_t> rec;
        AppendSpikeRecord(rec, v, 0x1122334455667788ull, 12, {100, 200, 300}, 3, 0x10, 0xBEEF);
        ASSERT_EQ(rec.size(), SpikeRecordSize(v, 3));
        const size_t countAt = v >= 8 ? 18 : v >= 6 ? 16 : v == 5 ? 14 : 12;
        EXPECT_EQ(rec.size(), countAt + 4 + 6);
        EXPECT_EQ(GetU64(rec.data(), 0), 0x1122334455667788ull);
        EXPECT_EQ(GetU16(rec.data(), 8), 12);
        EXPECT_EQ(GetI32(rec.data(), countAt), 3);
        EXPECT_EQ(GetU16(rec.data(), countAt + 4), 100);
        EXPECT_EQ(GetU16(rec.data(), countAt + 8), 300);
        if (v >= 5) { EXPECT_EQ(GetU16(rec.data(), v >= 8 ? 14 : 12), 3); }
        if (v >= 6) { EXPECT_EQ(GetU16(rec.data(), v >= 8 ? 16 : 14), 0xBEEF); }
    }
    std::vector<uint8_t> trig;
    AppendTriggerRecord(trig, 4, 1, 2, 3);
    EXPECT_EQ(trig.size(), 10u);
    AppendTriggerRecord(trig, 5, 1, 2, 0xAABBCCDD);
    EXPECT_EQ(trig.size(), 24u);
    EXPECT_EQ(GetU32(trig.data(), 20), 0xAABBCCDDu);
}

}  // namespace
}  // namespace qrd
