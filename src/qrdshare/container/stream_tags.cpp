#include "container/stream_tags.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace qrd {

namespace {

struct TypeNaming {
    const char* type;
    const char* tagPrefix;    // null: the type has no stream-tag prefix
    const char* chunkSuffix;
};

const TypeNaming kTypeNaming[] = {
    {"analog", nullptr, "raw"},    {"digital", nullptr, "raw"}, {"params", "para", "par"},
    {"trigger", "trig", "trg"},    {"spikes", "spks", "spk"},   {"average", "mean", "evp"},
    {"chat", "chtl", "cht"},       {"filter", "filt", "flt"},
};

const TypeNaming* FindNaming(const std::string& typeName) {
    std::string type = NormalisedTypeName(typeName);
    for (const TypeNaming& naming : kTypeNaming)
        if (type == naming.type) return &naming;
    return nullptr;
}

// The decimal number after the last blank of a stream name (the whole name
// when it has no blank), as the recorder's atoi read it.
long TrailingNumber(const std::string& name) {
    size_t blank = name.find_last_of(' ');
    std::string digits = blank == std::string::npos ? name : name.substr(blank + 1);
    return std::strtol(digits.c_str(), nullptr, 10);
}

}  // namespace

std::string NormalisedTypeName(const std::string& typeName) {
    std::string type = typeName.substr(0, 8);
    for (char& c : type) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return type;
}

std::string DeriveStreamTag(const std::string& typeName, const std::string& streamName) {
    const char* prefix = nullptr;
    long number = 1;
    if (streamName == "Electrode Raw Data") {
        prefix = "elec";
    } else if (streamName == "Analog Raw Data") {
        prefix = "anlg";
    } else if (streamName == "Digital Raw Data") {
        prefix = "digi";
    } else {
        const TypeNaming* naming = FindNaming(typeName);
        if (!naming || !naming->tagPrefix) return std::string();
        prefix = naming->tagPrefix;
        number = TrailingNumber(streamName);
    }
    // Four hexadecimal digits: the number is taken modulo 0x10000 so that a
    // negative or oversized number in a damaged name cannot lengthen the tag
    // beyond its 8 characters.
    char tag[16];
    std::snprintf(tag, sizeof tag, "%s%04x", prefix, static_cast<unsigned>(number) & 0xFFFFu);
    return tag;
}

std::string DeriveChunkTag(uint16_t streamId, const std::string& typeName) {
    const TypeNaming* naming = FindNaming(typeName);
    char tag[16];
    std::snprintf(tag, sizeof tag, "%05x%s", static_cast<unsigned>(streamId), naming ? naming->chunkSuffix : "");
    return tag;
}

}  // namespace qrd
