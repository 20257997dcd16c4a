#include "map_parser.h"

#include "byte_reader.h"
#include "channel_number_table.h"
#include "last_error.h"
#include "map_file.h"
#include "map_records.h"
#include "post_process.h"
#include "record_source.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace mapshare {

int32_t tickRound(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    const auto t = static_cast<int32_t>(x);
    if (x < 0) return t;
    return x - t <= 1e-6 ? t : t + 1;
}

namespace {

constexpr const char* kFileType = "Velmora";
constexpr const char* kAppName = "VmMap";
constexpr const char* kLibraryDescription = "Library for MAP files.";

// A port has no rate of its own: it samples with the digital channel that the
// acquisition system numbers after the port's group and number.  Returns that
// number, or -1 when it lies outside the 16-bit channel numbers.
int32_t portDigitalNumber(const MapChannel& port) {
    const int64_t digital =
        16 * (static_cast<int64_t>(port.portNumber % 1000) + 625 * static_cast<int64_t>(port.portGroup)) + 1001;
    if (digital < INT16_MIN || digital > INT16_MAX) return -1;
    return static_cast<uint16_t>(static_cast<int16_t>(digital));
}

// Copies text into a fixed text field, cut to leave room for the NUL.
template <size_t N>
void setField(char (&field)[N], const std::string& text) {
    const size_t length = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

void appendComment(ns_FILEINFO& info, const std::string& text) {
    const size_t used = std::strlen(info.szFileComment);
    setField(info.szFileComment, std::string(info.szFileComment, used) + text);
}

class Parser {
public:
    explicit Parser(MapFile& file) : file_(file) {}

    bool run();

private:
    enum class Step { Next, EndWalk, Fail };

    Step readRecord(RecordSource& source);
    void onHeader(const ByteReader& r);
    void onResolution(const ByteReader& r);
    Step onPort(const ByteReader& r);
    Step onChannel(const ByteReader& r);
    void onDataBlock(const ByteReader& r, uint64_t recordStart);
    void onMultiplexed(const ByteReader& r, uint64_t recordStart);

    Step addChannel(const ByteReader& r, MapChannelType type, uint16_t number, float rate, size_t nameOffset,
                    size_t storedNameOffset, MapChannel** added);
    MapChannel* findChannel(uint16_t number);
    void appendBlock(MapChannel& channel, uint32_t timeStamp, uint64_t position, uint32_t samples, int8_t unit,
                     int16_t value);
    void growBlocks(MapChannel& channel, uint64_t position) const;
    void resolvePortRates();
    double earliestBlockTime() const;
    void finish();

    MapFile& file_;
    ChannelNumberTable byNumber_;   // first channel of each 16-bit number
    std::vector<bool> digitalSeen_ = std::vector<bool>(65536, false);   // Digital channels defined so far
    uint8_t version_ = 0;             // no header read yet: not the version-1 layouts
    uint16_t layoutWord_ = 0;
    float resolution_ = record::kDefaultResolutionMicroseconds;
};

bool Parser::run() {
    ns_FILEINFO& info = file_.info;
    setField(info.szFileType, kFileType);
    setField(info.szAppName, kAppName);
    info.szFileComment[0] = '\0';

    // Block positions are kept in 32 bits.
    if (file_.file().size() > UINT32_MAX) {
        setLastError("File too large");
        return false;
    }
    RecordSource source(file_.file());
    while (source.remaining() > 0) {
        const Step step = readRecord(source);
        if (step == Step::Fail) return false;
        if (step == Step::EndWalk) break;
    }
    finish();
    return true;
}

Parser::Step Parser::readRecord(RecordSource& source) {
    const uint64_t start = source.position();
    const uint8_t* bytes = nullptr;
    if (!source.peek(record::kFrameSize, &bytes)) {
        if (source.ioError()) {
            setLastError("File Exception");
            return Step::Fail;
        }
        if (source.remaining() == record::kEndMarkerSize && source.peek(record::kEndMarkerSize, &bytes) &&
            std::all_of(bytes, bytes + record::kEndMarkerSize, [](uint8_t b) { return b == 0xFF; }))
            return Step::EndWalk;
        setLastError(source.ioError() ? "File Exception" : "Error while reading from file");
        return Step::Fail;
    }
    const uint16_t length = ByteReader(bytes, record::kFrameSize).u16(record::kLengthOffset);
    if (length < record::kFrameSize) {
        // The next record would start inside this one's frame: nothing after
        // it can be found again.  Keep what was read so far.
        setLastError("Invalid record length");
        return Step::EndWalk;
    }
    // A record cut short by the end of the file is refused like a cut frame;
    // using it would mean reading bytes that are not there.
    if (!source.peek(length, &bytes)) {
        setLastError(source.ioError() ? "File Exception" : "Error while reading from file");
        return Step::Fail;
    }
    const ByteReader r(bytes, length);
    Step step = Step::Next;
    switch (static_cast<char>(r.u8(record::kTypeOffset))) {
        case 'h': onHeader(r); break;
        case '1': onResolution(r); break;
        case 'b': step = onPort(r); break;
        case '2': step = onChannel(r); break;
        case '5': onDataBlock(r, start); break;
        case '7': onMultiplexed(r, start); break;
        default: break;   // known and unknown records without meaning for the reader
    }
    source.advance(length);
    return step;
}

void Parser::onHeader(const ByteReader& r) {
    if (r.size() == record::kHeaderVersion1Size) {
        version_ = 1;
        layoutWord_ = r.u16(record::kHeaderLayoutWordOffset);
    } else if (r.size() == record::kHeaderLaterSize) {
        version_ = r.u8(record::kHeaderVersionOffset);
        layoutWord_ = r.u16(record::kHeaderLayoutWordOffset);
    }
    ns_FILEINFO& info = file_.info;
    info.dwTime_Year = r.u16(record::kHeaderYearOffset);
    info.dwTime_Month = r.u8(record::kHeaderMonthOffset);
    info.dwTime_DayofWeek = 0;
    info.dwTime_Day = r.u8(record::kHeaderDayOffset);
    info.dwTime_Hour = r.u8(record::kHeaderHourOffset);
    info.dwTime_Min = r.u8(record::kHeaderMinuteOffset);
    info.dwTime_Sec = r.u8(record::kHeaderSecondOffset);
    info.dwTime_MilliSec = r.u8(record::kHeaderSubSecondOffset);
    info.dTimeSpan = r.f64(record::kHeaderSpanEndOffset) - r.f64(record::kHeaderSpanStartOffset);
    char text[160];
    std::snprintf(text, sizeof text, "%s , %s , Map Format Version %d , Application : %s", kFileType,
                  kLibraryDescription, static_cast<int>(version_), kAppName);
    appendComment(info, text);
}

void Parser::onResolution(const ByteReader& r) {
    if (r.fits(record::kResolutionOffset, 4)) resolution_ = r.f32(record::kResolutionOffset);
}

Parser::Step Parser::onPort(const ByteReader& r) {
    const uint32_t portNumber = r.u32(record::kPortNumberOffset);
    const size_t nameOffset = version_ == 1 ? record::kPortNameOffsetVersion1 : record::kPortNameOffset;
    MapChannel* channel = nullptr;
    const Step step = addChannel(r, MapChannelType::Port, static_cast<uint16_t>(portNumber & 0xFFFF), 0.0f,
                                 nameOffset, record::kPortNameOffset, &channel);
    if (channel) {
        channel->portGroup = r.i32(record::kPortGroupOffset);
        channel->portNumber = static_cast<int32_t>(portNumber);
    }
    return step;
}

Parser::Step Parser::onChannel(const ByteReader& r) {
    if (r.u16(record::kChannelActiveFlagOffset) == 0) return Step::Next;
    const uint16_t number = r.u16(record::kChannelNumberOffset);
    MapChannel* channel = nullptr;
    if (r.u16(record::kChannelAnalogFlagOffset) == 0) {
        const bool earlyLayout = version_ == 1 && layoutWord_ != record::kLaterDigitalLayoutWord;
        return addChannel(r, MapChannelType::Digital, number, r.f32(record::kDigitalRateOffset),
                          earlyLayout ? record::kDigitalNameOffsetEarlyLayout : record::kDigitalNameOffset,
                          record::kDigitalNameOffset, &channel);
    }
    MapChannelType type = MapChannelType::ExternalTrigger;
    size_t nameOffset = record::kExternalTriggerNameOffset;
    switch (r.u16(record::kAnalogModeOffset)) {
        case record::kModeContinuous:
            type = MapChannelType::Continuous;
            nameOffset = record::kContinuousNameOffset;
            break;
        case record::kModeLevel:
            type = MapChannelType::Level;
            nameOffset = record::kLevelNameOffset;
            break;
        case record::kModeWindowDiscriminator:
            type = MapChannelType::WindowDiscriminator;
            nameOffset = record::kWindowDiscriminatorNameOffset;
            break;
        default: break;
    }
    const Step step = addChannel(r, type, number, r.f32(record::kAnalogRateOffset), nameOffset, nameOffset, &channel);
    if (channel) {
        channel->subRecordWords = r.i16(record::kAnalogSubRecordOffset);
        channel->preTriggerMs = r.f32(record::kAnalogPreTriggerOffset);
        // Segment blocks are stamped at the trigger; their first stored
        // sample lies the pre-trigger time earlier.
        if (hasPreTrigger(type))
            channel->setStartShift(
                tickRound(static_cast<double>(channel->rateKHz()) * static_cast<double>(channel->preTriggerMs)));
    }
    return step;
}

// nameOffset: where this record's name starts; storedNameOffset: where the
// stored definition keeps it.  The stored definition (the record start with
// the name written at its stored position) is what makes two definitions the
// same channel.  Fields a short record lacks read as zero.
Parser::Step Parser::addChannel(const ByteReader& r, MapChannelType type, uint16_t number, float rate,
                                size_t nameOffset, size_t storedNameOffset, MapChannel** added) {
    const std::string name = r.text(nameOffset, MapChannel::kMaxNameLength);
    const size_t storedLength = record::storedLengthFor(storedNameOffset);
    std::string key(1 + storedLength, '\0');
    key[0] = static_cast<char>(type);
    std::memcpy(&key[1], r.data(), std::min(storedLength, r.size()));
    for (size_t i = 0; i < record::kStoredNameBytes; ++i)
        key[1 + storedNameOffset + i] = i < name.size() ? name[i] : '\0';

    const int64_t index =
        file_.addChannel(std::make_unique<MapChannel>(type, number, rate, name, file_.tables()), key);
    if (index < 0) return Step::Fail;
    byNumber_.insertFirst(number, static_cast<int32_t>(index));
    if (type == MapChannelType::Digital) digitalSeen_[number] = true;
    *added = file_.channel(static_cast<size_t>(index));
    return Step::Next;
}

MapChannel* Parser::findChannel(uint16_t number) {
    const int32_t index = byNumber_.find(number);
    if (index < 0) {
        setLastError("Channel not found");
        return nullptr;
    }
    return file_.channel(static_cast<size_t>(index));
}

void Parser::appendBlock(MapChannel& channel, uint32_t timeStamp, uint64_t position, uint32_t samples,
                         int8_t unit, int16_t value) {
    // The block's time needs the port's rate now: a port whose digital channel
    // has not been defined by this record reports it.  (The rate itself is
    // resolved once every definition has been read.)
    if (channel.type() == MapChannelType::Port) {
        const int32_t digital = portDigitalNumber(channel);
        if (digital < 0 || !digitalSeen_[static_cast<size_t>(digital)])
            setLastError("Could not get the port samplingrate");
    }
    if (channel.blocks().size() == channel.blocks().capacity()) growBlocks(channel, position);
    // Positions fit 32 bits (larger files are refused) and a record holds at
    // most 32765 samples.
    channel.appendBlock(
        MapBlock{timeStamp, static_cast<uint32_t>(position), static_cast<uint16_t>(samples), value, unit});
}

// Doubling a block list copies it again at every step, and on large files
// these copies and the fresh memory they fill dominated parsing.  Recordings
// write their channels at steady rates, so once a channel has a thousand
// blocks the share of the file walked so far predicts its final count, and
// one reservation suffices.  Reserved memory that is never written costs
// nothing but address space.  The prediction is never below doubling
// (irregular files grow no slower than before) and never above what the
// rest of the file can hold (every block takes at least six bytes); when it
// cannot be had, doubling is tried.
void Parser::growBlocks(MapChannel& channel, uint64_t position) const {
    constexpr size_t kPredictFrom = 1024;
    constexpr uint64_t kSmallestBlockBytes = 6;
    const size_t have = channel.blocks().size();
    const size_t doubled = std::max<size_t>(2 * have, 64);
    const uint64_t size = file_.file().size();
    if (have >= kPredictFrom && position > 0 && position < size) {
        const double predicted = static_cast<double>(have) * static_cast<double>(size) / static_cast<double>(position);
        const double possible = static_cast<double>(have) + static_cast<double>((size - position) / kSmallestBlockBytes);
        const double want = std::min(predicted * 1.02 + 64.0, possible);
        if (want > static_cast<double>(doubled)) {
            try {
                channel.reserveBlocks(static_cast<size_t>(want));
                return;
            } catch (const std::bad_alloc&) {
            }
        }
    }
    channel.reserveBlocks(doubled);
}

void Parser::onDataBlock(const ByteReader& r, uint64_t recordStart) {
    const size_t length = r.size();
    if (length < record::kBlockMinSize) return;
    MapChannel* channel = findChannel(r.u16(record::kBlockChannelOffset));
    if (!channel) return;
    const auto samples = static_cast<uint32_t>((length - record::kBlockMinSize) / 2);
    const int8_t unit = r.i8(record::kUnitOffset);
    const size_t payload = record::kBlockPayloadOffset;
    switch (channel->type()) {
        case MapChannelType::Port:
            if (length < record::kEventBlockMinSize) return;
            appendBlock(*channel, r.u32(payload + 2), recordStart + payload, samples, unit, r.i16(payload));
            break;
        case MapChannelType::Digital:
            if (length < record::kEventBlockMinSize) return;
            appendBlock(*channel, r.u32(payload), recordStart + payload, samples, unit, r.i16(payload + 4));
            break;
        default:
            appendBlock(*channel, r.u32(length - record::kTimeStampSize), recordStart + payload, samples, unit, 0);
            break;
    }
}

void Parser::onMultiplexed(const ByteReader& r, uint64_t recordStart) {
    const size_t words = (r.size() - record::kMultiplexFirstWordOffset) / 2;
    size_t p = 0;
    while (p < words) {
        const int16_t word = r.i16(record::kMultiplexFirstWordOffset + 2 * p);
        if (word >= 0) {
            MapChannel* channel = findChannel(static_cast<uint16_t>(word));
            if (!channel) {
                p += 1;
                continue;
            }
            const bool event = isEventType(channel->type());
            const int16_t subWords = event ? record::kEventSubRecordWords : channel->subRecordWords;
            // A sub-record that cannot hold its time stamp, or runs past the
            // record, leaves nothing trustworthy after it in this record.
            if (subWords < 2 || p + 1 + static_cast<size_t>(subWords) > words) return;
            const size_t sub = record::kMultiplexFirstWordOffset + 2 * (p + 1);
            const uint64_t position = recordStart + sub;
            const auto samples = static_cast<uint32_t>(subWords - 2);
            switch (channel->type()) {
                case MapChannelType::Port:
                    appendBlock(*channel, r.u32(sub + 2), position, samples, 0, r.i16(sub));
                    break;
                case MapChannelType::Digital:
                    appendBlock(*channel, r.u32(sub), position, samples, 0, r.i16(sub + 4));
                    break;
                default:
                    appendBlock(*channel, r.u32(sub + 2 * samples), position, samples, 0, 0);
                    break;
            }
            p += static_cast<size_t>(subWords) + 1;
            continue;
        }
        switch (word) {
            case record::kMarkerPlain: p += 1; break;
            case record::kMarkerTwoWordsA:
            case record::kMarkerTwoWordsB: p += 3; break;
            case record::kMarkerOneWordA:
            case record::kMarkerOneWordB:
            case record::kMarkerOneWordC: p += 2; break;
            case record::kMarkerFiveWords: p += 6; break;
            default: return;   // an unknown marker has no known length: the rest of the record is lost
        }
    }
}

// Gives every port the rate of its digital channel.  The message for a missing
// one is left by the uses of the rate (blocks, mapping, information records).
void Parser::resolvePortRates() {
    ChannelNumberTable digitalByNumber;
    for (size_t i = 0; i < file_.channelCount(); ++i) {
        const MapChannel* c = file_.channel(i);
        if (c->type() == MapChannelType::Digital) digitalByNumber.insertFirst(c->number(), static_cast<int32_t>(i));
    }
    for (size_t i = 0; i < file_.channelCount(); ++i) {
        MapChannel* port = file_.channel(i);
        if (port->type() != MapChannelType::Port) continue;
        const int32_t digital = portDigitalNumber(*port);
        float rate = 0.0f;
        const int32_t match = digital >= 0 ? digitalByNumber.find(static_cast<uint32_t>(digital)) : -1;
        if (match >= 0) {
            rate = file_.channel(static_cast<size_t>(match))->rateKHz();
        } else {
            port->portRateMissing = true;
        }
        port->setRateKHz(rate);
    }
}

// The earliest block start of the file in seconds; channels whose rate gives
// no finite times do not take part.
double Parser::earliestBlockTime() const {
    double earliest = DBL_MAX;
    for (size_t i = 0; i < file_.channelCount(); ++i) {
        const MapChannel* c = file_.channel(i);
        const double perSecond = c->ticksPerSecond();
        if (c->blocks().empty() || perSecond == 0.0) continue;
        const double t = static_cast<double>(c->minTimeStamp()) / perSecond;
        if (std::isfinite(t) && t <= earliest) earliest = t;
    }
    return earliest;
}

void Parser::finish() {
    resolvePortRates();
    const double earliest = earliestBlockTime();
    postProcess(file_);

    size_t counts[8] = {};
    for (size_t i = 0; i < file_.channelCount(); ++i) {
        MapChannel* c = file_.channel(i);
        ++counts[static_cast<uint32_t>(c->type()) & 7];
        c->finishBlocks();
        c->timeOffset = earliest;
    }
    char text[200];
    std::snprintf(text, sizeof text,
                  "    Number of used channels is %d (%d Continuous,%d Level,%d Window Discriminator,"
                  "%d External Trigger,%d Digital,%d Port)",
                  static_cast<int>(file_.channelCount()), static_cast<int>(counts[2]), static_cast<int>(counts[3]),
                  static_cast<int>(counts[4]), static_cast<int>(counts[6]), static_cast<int>(counts[5]),
                  static_cast<int>(counts[1]));
    appendComment(file_.info, text);
    file_.info.dwEntityCount = static_cast<uint32_t>(file_.channelCount());
    file_.info.dTimeStampResolution = static_cast<double>(resolution_) * 1e-6;
}

}  // namespace

bool parseMapFile(MapFile& file) {
    if (!file.file().isOpen()) {
        setLastError("Null pointer");
        return false;
    }
    try {
        file.mapping = loadMappingTable(defaultsPathFor(file.path()));
        return Parser(file).run();
    } catch (const std::bad_alloc&) {
        setLastError("Memory exception");
    } catch (...) {
        setLastError("Exception");
    }
    return false;
}

}  // namespace mapshare
