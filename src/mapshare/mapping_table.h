// The digital-to-analog pairing read from "VexorDefaults.ini" next to a
// recording: which digital (or port) channel number belongs to which analog
// channel number.  A mapped event channel becomes a Sorted Neural entity of
// its analog channel.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mapshare {

class MappingTable {
public:
    explicit MappingTable(uint32_t capacity = 0) : capacity_(capacity) {}

    // A full table drops the pair; a key already present keeps its first value.
    void insert(uint32_t digital, uint32_t analog);
    // The analog channel number of a digital one, 0 when it is not mapped.
    uint32_t lookup(uint32_t digital) const;
    size_t size() const { return pairs_.size(); }

private:
    uint32_t capacity_;
    std::vector<std::pair<uint32_t, uint32_t>> pairs_;   // sorted by key
    mutable size_t lastHit_ = SIZE_MAX;
};

// The defaults file that belongs to a recording: same folder, fixed name.
std::string defaultsPathFor(const std::string& recordingPath);

// Reads section "PostProcessing": "Default Mapping Count" pairs of
// "Analog<i>" and "Digital<i>".  A missing or unreadable file gives an empty
// table.
MappingTable loadMappingTable(const std::string& defaultsPath);

}  // namespace mapshare
