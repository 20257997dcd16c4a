#include "container/recording_writer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>

#include "container/binary_file.h"
#include "container/block_tags.h"
#include "container/chunk_header.h"
#include "container/chunk_index.h"
#include "container/stream_format.h"
#include "container/stream_header.h"

namespace qrd {

namespace {

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The 3-letter suffix of old-style chunk tags, by stream type.
const char* LegacyChunkSuffix(const std::string& typeName) {
    const std::string t = Lower(typeName);
    if (t == "analog" || t == "digital") return "raw";
    if (t == "params") return "par";
    if (t == "trigger") return "trg";
    if (t == "spikes") return "spk";
    if (t == "average") return "evp";
    if (t == "chat") return "cht";
    if (t == "filter") return "flt";
    return "";
}

std::string PaddedTag(const std::string& tag) {
    std::string t = tag.substr(0, kTagSize);
    t.resize(kTagSize, ' ');
    return t;
}

// Stream index of every chunk: its own, or the stream whose chunk tag matches.
std::vector<int> ChunkStreams(const RecordingSpec& desc) {
    std::vector<std::string> streamTags;
    for (size_t s = 0; s < desc.streams.size(); ++s) streamTags.push_back(PaddedTag(ChunkTagOf(desc, s)));
    std::vector<int> owner;
    owner.reserve(desc.chunks.size());
    for (const ChunkSpec& c : desc.chunks) {
        int s = c.stream;
        if (!c.tag.empty()) {
            s = -1;
            const std::string tag = PaddedTag(c.tag);
            for (size_t k = 0; k < streamTags.size() && s < 0; ++k)
                if (TagEqualsIgnoreCase(tag.c_str(), streamTags[k].c_str())) s = static_cast<int>(k);
        }
        owner.push_back(s >= 0 && static_cast<size_t>(s) < desc.streams.size() ? s : -1);
    }
    return owner;
}

std::string ChunkTagFor(const RecordingSpec& desc, const ChunkSpec& c) {
    if (!c.tag.empty()) return c.tag;
    if (c.stream >= 0 && static_cast<size_t>(c.stream) < desc.streams.size())
        return ChunkTagOf(desc, static_cast<size_t>(c.stream));
    return "";
}

StreamFileHeader BuildFileHeader(const RecordingSpec& desc, uint64_t stopTime, bool withIndex) {
    StreamFileHeader h;
    h.setVersion(desc.version);
    h.setAppVersion(desc.appVersion);
    h.setAppBuild(desc.appBuild);
    h.setComment(desc.comment);
    h.setFileTime(desc.fileTime ? desc.fileTime : desc.startTime);
    h.setStreamCount(static_cast<uint32_t>(desc.streams.size()));
    h.setSampleRate(desc.sampleRate);
    h.setRecordingMode(desc.recordingMode);
    h.setSweepOffset(desc.sweepOffset);
    h.setSweepLength(desc.sweepLength);
    h.setTriggerStreamId(desc.triggerStreamId);
    h.setSourceType(desc.sourceType);
    h.setElectrodeCount(desc.electrodeCount);
    h.setElectrodeFirst(desc.electrodeFirst);
    h.setAnalogCount(desc.analogCount);
    h.setAnalogFirst(desc.analogFirst);
    h.setDigitalCount(desc.digitalCount);
    h.setDigitalFirst(desc.digitalFirst);
    h.setTotalChannelCount(desc.totalChannelCount);
    h.setStopTime(stopTime);
    h.setChunkCount(desc.chunks.size());
    h.setIndexFlag(withIndex ? 1 : 0);
    h.setChunkDuration(desc.chunkDuration);
    h.setStartTime(desc.startTime);
    h.setTriggerTag1(desc.triggerTag1);
    h.setTriggerTag2(desc.triggerTag2);
    const int electrodesAndAnalog = desc.electrodeCount + desc.analogCount;
    h.setAdditionalElectrodeFirst(static_cast<int16_t>(electrodesAndAnalog));
    h.setAdditionalAnalogFirst(static_cast<int16_t>(electrodesAndAnalog));
    if (desc.adjustHeader) desc.adjustHeader(h);
    return h;
}

void AppendStreamBlock(const RecordingSpec& desc, size_t s, LeWriter& w) {
    const StreamSpec& st = desc.streams[s];
    const uint16_t v = desc.version;

    StreamHeader sh;
    sh.setVersion(st.headerVersion);
    sh.setTypeName(st.typeName);
    sh.setName(st.name);
    sh.setComment(st.comment);
    sh.setStreamId(st.id);
    sh.setSampleRate(st.sampleRate);
    sh.setChannelCount(st.channelCountOverride ? *st.channelCountOverride
                                               : static_cast<uint32_t>(st.channels.size()));
    sh.setStreamTag(st.tag);

    std::vector<ChannelRecord> records;
    uint64_t sectionLength = StreamHeaderRecordSize(v);
    for (const ChannelSpec& c : st.channels) {
        ChannelRecord r;
        r.setRecordVersion(c.recordVersion);
        r.setHardwareIndex(c.hardwareIndex);
        r.setChannelNumber(c.number);
        r.setName(c.name);
        r.setDescription(c.description);
        r.setExtraCount(c.extraCountOverride ? *c.extraCountOverride : static_cast<uint32_t>(c.extraItems.size()));
        r.setGroup(c.group);
        r.setLabel(c.label.empty() ? c.name : c.label);
        r.setRecordValue(c.recordValue);
        r.setPositionX(c.positionX);
        r.setPositionY(c.positionY);
        r.setPositionZ(c.positionZ);
        for (size_t k = 0; k < c.recordWords.size(); ++k) r.setRecordWord(k, c.recordWords[k]);
        r.setLowerCorner(c.lowerCorner);
        r.setUpperCorner(c.upperCorner);
        records.push_back(r);
        sectionLength += ChannelRecordStoredSize(v, c.recordVersion) + ExtraItem::kSize * c.extraItems.size();
    }

    w.Tag(kTagStreamHeader);
    w.U64(sectionLength);
    WriteStreamHeaderRecord(sh, w, v);
    for (size_t c = 0; c < records.size(); ++c) {
        WriteChannelRecord(records[c], w, v);
        WriteExtraItems(st.channels[c].extraItems, w);
    }

    StreamFormat f;
    f.setFormatVersion(st.format.formatVersion);
    f.setFormatByte(st.format.formatByte);
    f.setAdcBits(st.format.adcBits);
    f.setAdcZero(st.format.adcZero);
    f.setUnitStep(st.format.unitStep);
    f.setWord16(st.format.word16);
    f.setWord18(st.format.word18);
    f.setWord20(st.format.word20);
    w.Tag(st.formatTag.c_str());
    w.U64(StreamFormat::kSize + st.settings.size());
    WriteStreamFormat(f, w);
    w.Bytes(st.settings.data(), st.settings.size());
}

// Everything of a recording except the chunk payloads: the header list, the
// chunk offsets, and the index block when one is written.
struct Layout {
    std::vector<uint8_t> headerList;
    std::vector<uint8_t> indexBlock;
    RecordingPlan plan;
};

Layout PlanLayout(const RecordingSpec& desc) {
    Layout out;
    RecordingPlan& plan = out.plan;
    const bool withIndex = desc.index == IndexChoice::kEmbedded && desc.version >= 3 &&
                           FileHeaderBodySize(desc.version) != 0;

    uint64_t stopTime = desc.startTime;
    if (desc.stopTime) {
        stopTime = *desc.stopTime;
    } else {
        for (const ChunkSpec& c : desc.chunks) stopTime = std::max(stopTime, c.end);
    }
    const StreamFileHeader header = BuildFileHeader(desc, stopTime, withIndex);

    std::vector<uint8_t>& b = out.headerList;
    LeWriter w(b);
    w.Tag(kTagSignature);
    for (int i = 0; i < 8; ++i) w.U8(0xFF);
    w.Tag(kTagHeaderList);
    const size_t listLengthAt = w.size();
    w.U64(0);  // patched below
    plan.fileHeaderOffset = w.size();
    w.Tag(kTagFileHeader);
    size_t recordSize = FileHeaderRecordSize(desc.version);
    if (recordSize == 0) recordSize = StreamFileHeader::kSize;
    w.U64(recordSize);
    WriteFileHeader(header, w, false);
    w.Bytes(desc.layoutBlock.data(), desc.layoutBlock.size());
    for (size_t s = 0; s < desc.streams.size(); ++s) {
        plan.streamBlockOffsets.push_back(w.size());
        AppendStreamBlock(desc, s, w);
    }
    plan.trailerOffset = w.size();

    // Chunk offsets follow from the header list's size and the payload sizes.
    size_t indexPointerAt = 0;
    if (desc.version == 0) {
        w.Tag(kTagStreamList);
        w.U64(desc.streamListValue);
    } else if (desc.version >= 3) {
        w.Tag(kTagIndexPointer);
        w.U64(8);
        indexPointerAt = w.size();
        w.U64(0);  // patched below
    }
    PutU64(b.data(), listLengthAt, b.size() - (listLengthAt + 8));
    plan.dataStart = b.size();

    uint64_t at = plan.dataStart;
    for (const ChunkSpec& c : desc.chunks) {
        plan.chunkOffsets.push_back(at);
        at += kChunkHeaderSize + c.PayloadSize();
    }

    if (withIndex) {
        plan.indexOffset = at;
        PutU64(b.data(), indexPointerAt, at);
        CQRVAChunkIndex index;
        uint64_t lastIndexed = 0;
        for (size_t i = 0; i < desc.chunks.size(); ++i) {
            const uint64_t offset = plan.chunkOffsets[i];
            const bool first = index.positions().empty();
            if (!first && offset - lastIndexed <= desc.positionSpacing) continue;
            if (!first && desc.chunks[i].start < index.positions().back().time) continue;  // keep times ordered
            index.AddPosition(desc.chunks[i].start, offset);
            lastIndexed = offset;
        }
        plan.positions = index.positions();
        plan.sweeps = desc.sweeps ? *desc.sweeps : DeriveSweeps(desc);
        std::vector<uint64_t> starts, ends;
        for (const SweepEntry& sw : plan.sweeps) {
            starts.push_back(sw.start);
            ends.push_back(sw.end);
        }
        index.SetSweeps(std::move(starts), std::move(ends));
        index.AppendIndexHeader(out.indexBlock, desc.indexPath, static_cast<uint32_t>(desc.streams.size()));
        index.AppendIndexLists(out.indexBlock);
        at += out.indexBlock.size();
    }
    plan.fileSize = at;
    return out;
}

// Writes the planned recording through sink; false when the sink fails.
template <typename Sink>
bool Emit(const RecordingSpec& desc, const Layout& layout, Sink&& sink) {
    if (!sink(layout.headerList.data(), layout.headerList.size())) return false;
    std::vector<uint8_t> chunkBytes;
    for (const ChunkSpec& c : desc.chunks) {
        chunkBytes.clear();
        LeWriter w(chunkBytes);
        ChunkHeader h;
        const std::string tag = PaddedTag(ChunkTagFor(desc, c));
        std::copy(tag.begin(), tag.end(), h.tag);
        h.length = kChunkTimesSize + c.PayloadSize();
        h.start = c.start;
        h.end = c.end;
        WriteChunkHeader(h, w);
        if (c.generate) {
            std::vector<uint8_t> payload;
            c.generate(payload);
            payload.resize(c.payloadSize);  // the plan counted payloadSize bytes
            w.Bytes(payload.data(), payload.size());
        } else {
            w.Bytes(c.payload.data(), c.payload.size());
        }
        if (!sink(chunkBytes.data(), chunkBytes.size())) return false;
    }
    return sink(layout.indexBlock.data(), layout.indexBlock.size());
}

unsigned __int128 Wide(uint64_t v) { return static_cast<unsigned __int128>(v); }

}  // namespace

std::vector<uint8_t> ChunkSpec::Payload() const {
    if (!generate) return payload;
    std::vector<uint8_t> out;
    generate(out);
    out.resize(payloadSize);
    return out;
}

std::string ChunkTagOf(const RecordingSpec& desc, size_t s) {
    if (s >= desc.streams.size()) return "";
    const StreamSpec& st = desc.streams[s];
    if (!st.chunkTag.empty()) return st.chunkTag;
    if (desc.version >= 5) return st.tag;
    // Old recordings name chunks after the stream ID and type.
    char tag[16];
    std::snprintf(tag, sizeof tag, "%05x%s", static_cast<unsigned>(st.id), LegacyChunkSuffix(st.typeName));
    return tag;
}

std::vector<SweepEntry> DeriveSweeps(const RecordingSpec& desc) {
    const std::vector<int> owner = ChunkStreams(desc);
    int reference = -1;
    for (int s : owner) reference = std::max(reference, s);
    std::vector<SweepEntry> sweeps;
    if (reference < 0) return sweeps;
    bool started = false;
    uint64_t previousEnd = 0;
    for (size_t i = 0; i < desc.chunks.size(); ++i) {
        if (owner[i] != reference) continue;
        const ChunkSpec& c = desc.chunks[i];
        if (!started) {
            sweeps.push_back({c.start, 0});
            started = true;
        } else if (previousEnd < c.start) {
            sweeps.back().end = previousEnd;
            sweeps.push_back({c.start, 0});
        }
        previousEnd = c.end;
    }
    sweeps.back().end = previousEnd;
    return sweeps;
}

bool WriteRecording(const RecordingSpec& desc, const std::string& path, std::string* error, RecordingPlan* plan) {
    const Layout layout = PlanLayout(desc);
    if (plan) *plan = layout.plan;
    BinaryFile file;
    if (!file.OpenWrite(path)) {
        if (error) *error = "cannot create " + path;
        return false;
    }
    const bool written = Emit(desc, layout, [&file](const uint8_t* p, size_t n) { return file.Write(p, n); });
    const bool closed = file.Close();
    if (!written || !closed) {
        if (error) *error = "write error on " + path;
        return false;
    }
    return true;
}

std::vector<uint8_t> RecordingBytes(const RecordingSpec& desc, RecordingPlan* plan) {
    const Layout layout = PlanLayout(desc);
    if (plan) *plan = layout.plan;
    std::vector<uint8_t> out;
    out.reserve(layout.plan.fileSize);
    Emit(desc, layout, [&out](const uint8_t* p, size_t n) {
        out.insert(out.end(), p, p + n);
        return true;
    });
    return out;
}

// ---- builders ----------------------------------------------------------------

uint64_t SampleTime(uint64_t spanStart, uint64_t index, uint32_t sampleRate) {
    if (sampleRate == 0) return spanStart;
    return spanStart + static_cast<uint64_t>(Wide(index) * 1000000000000ull / sampleRate);
}

uint64_t SamplesIn(uint64_t durationNs, uint32_t sampleRate) {
    return static_cast<uint64_t>(Wide(durationNs) * sampleRate / 1000000000000ull);
}

int AddContinuousStream(RecordingSpec& desc, const ContinuousStreamOptions& o, SampleFunction samples) {
    StreamSpec st;
    st.typeName = o.typeName;
    st.name = o.name;
    st.id = o.id;
    st.tag = o.tag;
    st.headerVersion = o.headerVersion;
    st.sampleRate = o.sampleRate;
    st.format = o.format;
    for (uint32_t c = 0; c < o.channelCount; ++c) {
        ChannelSpec ch;
        ch.number = o.firstChannelNumber + static_cast<int32_t>(c);
        ch.hardwareIndex = o.firstHardwareIndex + static_cast<int32_t>(c);
        ch.name = o.channelNamePrefix + std::to_string(ch.number);
        st.channels.push_back(ch);
    }
    const int index = static_cast<int>(desc.streams.size());
    desc.streams.push_back(std::move(st));

    const uint64_t perChunk = std::max<uint64_t>(1, SamplesIn(o.chunkDuration, o.sampleRate));
    const uint32_t channels = o.channelCount;
    auto fn = std::make_shared<SampleFunction>(std::move(samples));
    uint64_t streamIndex = 0;  // sample index of the span's first sample within the stream
    for (const SampleSpan& span : o.spans) {
        for (uint64_t k0 = 0; k0 < span.sampleCount; k0 += perChunk) {
            const uint64_t k1 = std::min(span.sampleCount, k0 + perChunk);
            ChunkSpec c;
            c.stream = index;
            c.start = SampleTime(span.start, k0, o.sampleRate);
            c.end = SampleTime(span.start, k1, o.sampleRate);
            c.payloadSize = (k1 - k0) * channels * 2;
            const uint64_t first = streamIndex + k0, count = k1 - k0;
            c.generate = [fn, first, count, channels](std::vector<uint8_t>& payload) {
                payload.resize(count * channels * 2);
                size_t at = 0;
                for (uint64_t i = 0; i < count; ++i) {
                    for (uint32_t ch = 0; ch < channels; ++ch) {
                        PutU16(payload.data(), at, (*fn)(ch, first + i));
                        at += 2;
                    }
                }
            };
            desc.chunks.push_back(std::move(c));
        }
        streamIndex += span.sampleCount;
    }
    return index;
}

int AddDigitalStream(RecordingSpec& desc, ContinuousStreamOptions options, std::function<uint16_t(uint64_t)> word) {
    const ContinuousStreamOptions defaults;
    options.typeName = "digital";
    options.channelCount = 1;
    if (options.name == defaults.name) options.name = "Digital Raw Data";
    if (options.tag == defaults.tag) options.tag = "digi0001";
    return AddContinuousStream(desc, options, [word](uint32_t, uint64_t i) { return word(i); });
}

int AddEventStream(RecordingSpec& desc, StreamSpec stream, const std::vector<EventChunk>& chunks) {
    const int index = static_cast<int>(desc.streams.size());
    desc.streams.push_back(std::move(stream));
    for (const EventChunk& e : chunks) {
        ChunkSpec c;
        c.stream = index;
        c.start = e.start;
        c.end = e.end;
        c.payload = e.payload;
        desc.chunks.push_back(std::move(c));
    }
    return index;
}

void InterleaveChunks(RecordingSpec& desc) {
    std::stable_sort(desc.chunks.begin(), desc.chunks.end(),
                     [](const ChunkSpec& a, const ChunkSpec& b) { return a.start < b.start; });
}

}  // namespace qrd
