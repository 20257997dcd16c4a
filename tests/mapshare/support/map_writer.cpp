#include "map_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "platform/file_system.h"

namespace maptest {
namespace {

void put16(std::vector<uint8_t>& b, size_t offset, uint16_t v) {
    if (b.size() < offset + 2) b.resize(offset + 2);
    b[offset] = static_cast<uint8_t>(v);
    b[offset + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t offset, uint32_t v) {
    put16(b, offset, static_cast<uint16_t>(v));
    put16(b, offset + 2, static_cast<uint16_t>(v >> 16));
}
void putF32(std::vector<uint8_t>& b, size_t offset, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    put32(b, offset, v);
}
void putF64(std::vector<uint8_t>& b, size_t offset, double d) {
    uint64_t v;
    std::memcpy(&v, &d, 8);
    put32(b, offset, static_cast<uint32_t>(v));
    put32(b, offset + 4, static_cast<uint32_t>(v >> 32));
}
void putText(std::vector<uint8_t>& b, size_t offset, const std::string& s) {
    if (b.size() < offset + s.size() + 1) b.resize(offset + s.size() + 1);
    std::memcpy(b.data() + offset, s.data(), s.size());
    b[offset + s.size()] = 0;
}

// A record image of the given size with its frame filled in.
std::vector<uint8_t> frame(size_t length, char type, uint8_t unit = 0) {
    if (length > 65535) throw std::length_error("MAP records are at most 65535 bytes");
    std::vector<uint8_t> r(length, 0);
    put16(r, 0, static_cast<uint16_t>(length));
    r[2] = static_cast<uint8_t>(type);
    r[3] = unit;
    return r;
}

void append(std::vector<uint8_t>& out, const std::vector<uint8_t>& r) { out.insert(out.end(), r.begin(), r.end()); }

}  // namespace

// ---- multiplexed entries ------------------------------------------------------

void MultiplexWords::timeStamp(uint32_t ts) {
    words_.push_back(static_cast<int16_t>(ts & 0xFFFF));
    words_.push_back(static_cast<int16_t>(ts >> 16));
}
MultiplexWords& MultiplexWords::analog(uint16_t channel, const std::vector<int16_t>& samples, uint32_t ts) {
    words_.push_back(static_cast<int16_t>(channel));
    words_.insert(words_.end(), samples.begin(), samples.end());
    timeStamp(ts);
    return *this;
}
MultiplexWords& MultiplexWords::port(uint16_t channel, uint16_t value, uint32_t ts) {
    words_.push_back(static_cast<int16_t>(channel));
    words_.push_back(static_cast<int16_t>(value));
    timeStamp(ts);
    return *this;
}
MultiplexWords& MultiplexWords::digital(uint16_t channel, uint16_t value, uint32_t ts) {
    words_.push_back(static_cast<int16_t>(channel));
    timeStamp(ts);
    words_.push_back(static_cast<int16_t>(value));
    return *this;
}
MultiplexWords& MultiplexWords::marker(int16_t marker, size_t contentWords) {
    words_.push_back(marker);
    words_.insert(words_.end(), contentWords, static_cast<int16_t>(0x7777));
    return *this;
}
MultiplexWords& MultiplexWords::word(int16_t value) {
    words_.push_back(value);
    return *this;
}

// ---- records --------------------------------------------------------------------

MapWriter& MapWriter::header(size_t length, uint8_t version, uint16_t layoutWord, const HeaderFields& f) {
    std::vector<uint8_t> r = frame(length, 'h');
    r.resize(std::max<size_t>(length, 61));
    put16(r, 8, layoutWord);
    r[10] = f.hour;
    r[11] = f.minute;
    r[12] = f.second;
    r[13] = f.subSecond;
    r[14] = f.day;
    r[15] = f.month;
    put16(r, 16, f.year);
    putF64(r, 20, f.spanStart);
    putF64(r, 28, f.spanEnd);
    r[40] = version;
    r.resize(length);
    append(bytes_, r);
    return *this;
}

MapWriter& MapWriter::resolution(float microseconds) {
    std::vector<uint8_t> r = frame(64, '1');
    putF32(r, 56, microseconds);
    append(bytes_, r);
    return *this;
}

MapWriter& MapWriter::definition(std::vector<uint8_t> body, size_t nameOffset, const std::string& name,
                                 size_t minLength, char type) {
    putText(body, nameOffset, name);
    if (body.size() < minLength) body.resize(minLength, 0);
    put16(body, 0, static_cast<uint16_t>(body.size()));
    body[2] = static_cast<uint8_t>(type);
    append(bytes_, body);
    return *this;
}

MapWriter& MapWriter::port(int32_t group, int32_t number, const std::string& name, bool version1Layout) {
    std::vector<uint8_t> r = frame(14, 'b');
    put32(r, 4, static_cast<uint32_t>(group));
    put32(r, 8, static_cast<uint32_t>(number));
    return definition(r, version1Layout ? 12 : 14, name, 16, 'b');
}

MapWriter& MapWriter::analog(AnalogMode mode, uint16_t number, float rateKHz, const std::string& name,
                             float preTriggerMs, int16_t subRecordWords, bool active) {
    std::vector<uint8_t> r = frame(36, '2');
    put16(r, 8, 1);
    put16(r, 10, active ? 1 : 0);
    put16(r, 12, number);
    put16(r, 18, static_cast<uint16_t>(mode));
    putF32(r, 24, rateKHz);
    put16(r, 28, static_cast<uint16_t>(subRecordWords));
    putF32(r, 32, preTriggerMs);
    size_t nameOffset = 42;
    switch (mode) {
        case AnalogMode::Continuous: nameOffset = 38; break;
        case AnalogMode::Level: nameOffset = 48; break;
        case AnalogMode::WindowDiscriminator: nameOffset = 82; break;
        case AnalogMode::ExternalTrigger: nameOffset = 42; break;
    }
    return definition(r, nameOffset, name, nameOffset + 2, '2');
}

MapWriter& MapWriter::digital(uint16_t number, float rateKHz, const std::string& name, bool earlyLayout,
                              bool active) {
    std::vector<uint8_t> r = frame(28, '2');
    put16(r, 8, 0);
    put16(r, 10, active ? 1 : 0);
    put16(r, 12, number);
    putF32(r, 18, rateKHz);
    return definition(r, earlyLayout ? 28 : 30, name, 32, '2');
}

MapWriter& MapWriter::samples(uint16_t channel, uint32_t timeStamp, const std::vector<int16_t>& values, int8_t unit) {
    std::vector<uint8_t> r = frame(10 + 2 * values.size(), '5', static_cast<uint8_t>(unit));
    put16(r, 4, channel);
    for (size_t i = 0; i < values.size(); ++i) put16(r, 6 + 2 * i, static_cast<uint16_t>(values[i]));
    put32(r, r.size() - 4, timeStamp);
    append(bytes_, r);
    return *this;
}

MapWriter& MapWriter::portEvent(uint16_t channel, uint32_t timeStamp, uint16_t value) {
    std::vector<uint8_t> r = frame(12, '5');
    put16(r, 4, channel);
    put16(r, 6, value);
    put32(r, 8, timeStamp);
    append(bytes_, r);
    return *this;
}

MapWriter& MapWriter::digitalEvent(uint16_t channel, uint32_t timeStamp, uint16_t value) {
    std::vector<uint8_t> r = frame(12, '5');
    put16(r, 4, channel);
    put32(r, 6, timeStamp);
    put16(r, 10, value);
    append(bytes_, r);
    return *this;
}

MapWriter& MapWriter::multiplexed(const MultiplexWords& entries) {
    const auto& words = entries.words();
    std::vector<uint8_t> r = frame(6 + 2 * words.size(), '7');
    for (size_t i = 0; i < words.size(); ++i) put16(r, 6 + 2 * i, static_cast<uint16_t>(words[i]));
    append(bytes_, r);
    return *this;
}

MapWriter& MapWriter::record(uint16_t lengthField, char type, const std::vector<uint8_t>& body, uint8_t unitByte) {
    std::vector<uint8_t> r = {static_cast<uint8_t>(lengthField), static_cast<uint8_t>(lengthField >> 8),
                              static_cast<uint8_t>(type), unitByte};
    append(r, body);
    append(bytes_, r);
    return *this;
}

MapWriter& MapWriter::rawBytes(const std::vector<uint8_t>& bytes) {
    append(bytes_, bytes);
    return *this;
}

std::vector<uint8_t> MapWriter::take() {
    std::vector<uint8_t> out;
    out.swap(bytes_);
    return out;
}

bool MapWriter::writeTo(const std::string& path) const {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = bytes_.empty() || std::fwrite(bytes_.data(), 1, bytes_.size(), f) == bytes_.size();
    return std::fclose(f) == 0 && ok;
}

// ---- defaults file ------------------------------------------------------------------

bool writeTextFile(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

bool writeDefaults(const std::string& folder, const std::vector<std::pair<uint32_t, uint32_t>>& analogDigital,
                   long count) {
    std::string text = "[PostProcessing]\n";
    text += "Default Mapping Count=" + std::to_string(count < 0 ? static_cast<long>(analogDigital.size()) : count) + "\n";
    for (size_t i = 0; i < analogDigital.size(); ++i) {
        text += "Analog" + std::to_string(i + 1) + "=" + std::to_string(analogDigital[i].first) + "\n";
        text += "Digital" + std::to_string(i + 1) + "=" + std::to_string(analogDigital[i].second) + "\n";
    }
    return writeTextFile(folder + "/VexorDefaults.ini", text);
}

// ---- sample recording ------------------------------------------------------------------

std::string writeSampleRecording(const std::string& folder) {
    MapWriter w;
    HeaderFields fields;
    fields.spanEnd = 2.5;
    w.header60(3, fields).resolution(1.0f);
    w.continuous(1, 20.0f, "Analog 1", 12).continuous(2, 20.0f, "Analog 2", 12);
    w.analog(AnalogMode::Level, 3, 20.0f, "Level 3", 0.5f);
    w.analog(AnalogMode::WindowDiscriminator, 4, 20.0f, "Window 4", 0.25f);
    w.analog(AnalogMode::ExternalTrigger, 5, 20.0f, "Trigger 5", 1.0f);
    w.digital(1001, 20.0f, "Digital 1001").digital(1002, 20.0f, "Digital 1002");
    w.port(0, 2, "Port 2").digital(1033, 10.0f, "Digital 1033");

    // Continuous channel 1 in '5' blocks of 100 samples, channel 2 in '7'
    // records of 10 samples per entry.
    for (uint32_t block = 0; block < 20; ++block) {
        std::vector<int16_t> wave(100);
        for (size_t i = 0; i < wave.size(); ++i)
            wave[i] = static_cast<int16_t>(((block * 100 + i) % 200) * 50 - 5000);
        w.samples(1, 100 + block * 100, wave);
        MultiplexWords mux;
        std::vector<int16_t> ten(10);
        for (size_t i = 0; i < 10; ++i) ten[i] = static_cast<int16_t>(block * 10 + i);
        mux.analog(2, ten, 100 + block * 10).marker(-666, 0).marker(-444, 1);
        w.multiplexed(mux);
    }
    for (uint32_t spike = 0; spike < 12; ++spike) {
        std::vector<int16_t> shape(32);
        for (size_t i = 0; i < shape.size(); ++i)
            shape[i] = static_cast<int16_t>((static_cast<int>(i) - 10) * (static_cast<int>(i) - 10) * 10 - 1000);
        w.samples(3, 200 + spike * 150, shape, static_cast<int8_t>(spike % 2));
        w.samples(4, 250 + spike * 150, shape, 0);
        w.samples(5, 300 + spike * 150, shape, static_cast<int8_t>(spike % 3 == 0 ? 1 : 0));
    }
    for (uint32_t e = 0; e < 8; ++e) {
        w.digitalEvent(1001, 400 + e * 200, static_cast<uint16_t>(e + 1));
        w.digitalEvent(1002, 450 + e * 200, static_cast<uint16_t>(0x10 + e));
        w.portEvent(2, 500 + e * 220, static_cast<uint16_t>(0x1234 + e));
    }
    w.endMarker();
    const std::string path = folder + "/sample.map";
    if (!w.writeTo(path)) return std::string();
    // Digital channel 1002 carries the sorted spikes of analog channel 1.
    if (!writeDefaults(folder, {{1, 1002}})) return std::string();
    return path;
}

// ---- temporary folder ------------------------------------------------------------------

TempDir::TempDir() : path_(nsplatform::CreateTemporaryFolder("maptest-")) {
    if (path_.empty()) throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace maptest
