// Writes MAP recordings for tests, fuzz seeds, the benchmark and the sample
// tool: records of every type the reader knows, assembled byte by byte in
// the layout of the acquisition system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace maptest {

struct HeaderFields {
    uint8_t hour = 10, minute = 20, second = 30, subSecond = 40;
    uint8_t day = 8, month = 12;
    uint16_t year = 2026;
    double spanStart = 0.0, spanEnd = 60.0;
};

enum class AnalogMode : uint16_t { Continuous = 0, Level = 1, WindowDiscriminator = 3, ExternalTrigger = 2 };

// One entry of a multiplexed ('7') record, as words.
class MultiplexWords {
public:
    MultiplexWords& analog(uint16_t channel, const std::vector<int16_t>& samples, uint32_t timeStamp);
    MultiplexWords& port(uint16_t channel, uint16_t value, uint32_t timeStamp);
    MultiplexWords& digital(uint16_t channel, uint16_t value, uint32_t timeStamp);
    // A marker word and its contents (the reader skips both).
    MultiplexWords& marker(int16_t marker, size_t contentWords);
    MultiplexWords& word(int16_t value);
    const std::vector<int16_t>& words() const { return words_; }

private:
    void timeStamp(uint32_t ts);
    std::vector<int16_t> words_;
};

class MapWriter {
public:
    // 'h': length 40 is format version 1, length 60 carries the version byte.
    MapWriter& header(size_t length, uint8_t version, uint16_t layoutWord = 0, const HeaderFields& fields = {});
    MapWriter& header40(uint16_t layoutWord = 0, const HeaderFields& fields = {}) {
        return header(40, 1, layoutWord, fields);
    }
    MapWriter& header60(uint8_t version = 3, const HeaderFields& fields = {}) {
        return header(60, version, 0, fields);
    }
    MapWriter& resolution(float microseconds);
    // 'b': the name lies at offset 14, or 12 in version-1 files.
    MapWriter& port(int32_t group, int32_t number, const std::string& name, bool version1Layout = false);
    // '2' analog channel.  subRecordWords: words per multiplexed sub-record.
    MapWriter& analog(AnalogMode mode, uint16_t number, float rateKHz, const std::string& name,
                      float preTriggerMs = 0.0f, int16_t subRecordWords = 0, bool active = true);
    MapWriter& continuous(uint16_t number, float rateKHz, const std::string& name, int16_t subRecordWords = 0) {
        return analog(AnalogMode::Continuous, number, rateKHz, name, 0.0f, subRecordWords);
    }
    // '2' digital input; earlyLayout puts the name at 28 (version-1 files).
    MapWriter& digital(uint16_t number, float rateKHz, const std::string& name, bool earlyLayout = false,
                       bool active = true);

    // '5' records.
    MapWriter& samples(uint16_t channel, uint32_t timeStamp, const std::vector<int16_t>& values, int8_t unit = 0);
    MapWriter& portEvent(uint16_t channel, uint32_t timeStamp, uint16_t value);
    MapWriter& digitalEvent(uint16_t channel, uint32_t timeStamp, uint16_t value);
    // '7' record.
    MapWriter& multiplexed(const MultiplexWords& entries);
    // Any record: frame with the given length field, type and unit byte,
    // followed by body (which need not match the length field).
    MapWriter& record(uint16_t lengthField, char type, const std::vector<uint8_t>& body, uint8_t unitByte = 0);
    MapWriter& rawBytes(const std::vector<uint8_t>& bytes);
    MapWriter& endMarker() { return rawBytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF}); }

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    // Hands out the bytes written so far and starts empty (for streaming
    // large recordings to disk).
    std::vector<uint8_t> take();
    bool writeTo(const std::string& path) const;

private:
    MapWriter& definition(std::vector<uint8_t> body, size_t nameOffset, const std::string& name, size_t minLength,
                          char type);
    std::vector<uint8_t> bytes_;
};

// Writes "VexorDefaults.ini" into folder: "Default Mapping Count" (count, or
// the number of pairs when count < 0) and Analog<i>/Digital<i> per pair.
bool writeDefaults(const std::string& folder, const std::vector<std::pair<uint32_t, uint32_t>>& analogDigital,
                   long count = -1);
bool writeTextFile(const std::string& path, const std::string& text);

// A recording with every entity kind: continuous channels with '5' and '7'
// blocks, level / window discriminator / external trigger segments in two
// units, digital and port events, and a defaults file that maps one digital
// channel onto an analog one.  Written as <folder>/sample.map.
std::string writeSampleRecording(const std::string& folder);

// A fresh folder under the system's temporary directory, removed with its
// contents on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace maptest
