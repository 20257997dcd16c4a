#include "mapping_table.h"

// 8-bit text only: no UTF conversion code is needed (and Debian ships none).
#define SI_NO_CONVERSION
// The member definitions come with the header, so nothing is linked.
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <strings.h>

#include "platform/file_system.h"

namespace mapshare {
namespace {

constexpr const char* kDefaultsFileName = "VexorDefaults.ini";
constexpr const char* kSection = "PostProcessing";
// The profile reader of the acquisition platform hands out at most 99
// characters of a value; numbers are parsed from that cut text.
constexpr size_t kProfileValueLength = 99;
// Room for the pairs when the count is missing or not positive.
constexpr uint32_t kDefaultCapacity = 1028;
// A defaults file is a few lines long; anything larger is not read, so a
// stray big file next to a recording cannot make the open allocate it.
constexpr long long kMaxDefaultsFileSize = 1 << 20;

// A value as the platform's profile reader returns it: the default when the
// key is missing, surrounding quotes removed, cut to 99 characters.
std::string profileValue(const CSimpleIniA& ini, const char* key, const char* fallback) {
    std::string value = ini.GetValue(kSection, key, fallback);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    if (value.size() > kProfileValueLength) value.resize(kProfileValueLength);
    return value;
}

// Leading decimal digits with an optional sign, clamped to the 64-bit range;
// no digits give 0.  This is how the count and the channel numbers were read.
long long leadingNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (value < (1LL << 40)) value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

// The index i of a key named "<prefix><i>" (i written without leading zeros),
// or 0 when the key has another form.
long long pairIndex(const char* key, const char* prefix) {
    const size_t prefixLength = std::strlen(prefix);
    if (strncasecmp(key, prefix, prefixLength) != 0) return 0;
    const char* digits = key + prefixLength;
    if (*digits < '1' || *digits > '9' || std::strlen(digits) > 10) return 0;
    for (const char* p = digits; *p; ++p)
        if (!std::isdigit(static_cast<unsigned char>(*p))) return 0;
    return std::atoll(digits);
}

}  // namespace

void MappingTable::insert(uint32_t digital, uint32_t analog) {
    if (pairs_.size() >= capacity_) return;
    const auto it = std::lower_bound(pairs_.begin(), pairs_.end(), digital,
                                     [](const std::pair<uint32_t, uint32_t>& p, uint32_t key) { return p.first < key; });
    if (it != pairs_.end() && it->first == digital) return;
    pairs_.insert(it, {digital, analog});
    lastHit_ = SIZE_MAX;
}

uint32_t MappingTable::lookup(uint32_t digital) const {
    if (pairs_.empty()) return 0;
    // Event channels are usually visited in ascending number order, so the pair
    // after the previous hit answers most lookups without a search.
    if (lastHit_ != SIZE_MAX && lastHit_ + 1 < pairs_.size() && pairs_[lastHit_ + 1].first == digital) {
        ++lastHit_;
        return pairs_[lastHit_].second;
    }
    const auto it = std::lower_bound(pairs_.begin(), pairs_.end(), digital,
                                     [](const std::pair<uint32_t, uint32_t>& p, uint32_t key) { return p.first < key; });
    if (it == pairs_.end() || it->first != digital) return 0;
    lastHit_ = static_cast<size_t>(it - pairs_.begin());
    return it->second;
}

std::string defaultsPathFor(const std::string& recordingPath) {
    return recordingPath.substr(0, nsplatform::FileNameStart(recordingPath)) + kDefaultsFileName;
}

MappingTable loadMappingTable(const std::string& defaultsPath) {
    uint64_t size = 0;
    CSimpleIniA ini(/*isUtf8=*/false, /*multiKey=*/true, /*multiLine=*/false);
    const bool readable = nsplatform::IsRegularFile(defaultsPath, &size) &&
                          size <= static_cast<uint64_t>(kMaxDefaultsFileSize) &&
                          ini.LoadFile(defaultsPath.c_str()) >= 0;
    const long long count = readable ? leadingNumber(profileValue(ini, "Default Mapping Count", "0")) : 0;
    MappingTable table(count <= 0 ? kDefaultCapacity : static_cast<uint32_t>(std::min<long long>(count, UINT32_MAX)));
    if (count <= 0) return table;

    // Pairs are read for i = 1 .. count.  A pair whose two keys are both
    // missing reads as (0, 0), and key 0 means "not mapped" anyway, so only the
    // indexes that occur in the file are visited: a huge count costs nothing.
    // The first absent index still inserts its (0, 0) pair, because that pair
    // wins over a later pair for digital channel 0.
    std::set<long long> indexes;
    CSimpleIniA::TNamesDepend keys;
    ini.GetAllKeys(kSection, keys);
    for (const auto& key : keys) {
        const long long i = std::max(pairIndex(key.pItem, "Analog"), pairIndex(key.pItem, "Digital"));
        if (i >= 1 && i <= count) indexes.insert(i);
    }
    long long expected = 1;
    for (const long long i : indexes) {
        if (i != expected && expected != 0) {
            table.insert(0, 0);
            expected = 0;
        } else if (expected != 0) {
            ++expected;
        }
        char analogKey[32];
        char digitalKey[32];
        std::snprintf(analogKey, sizeof analogKey, "Analog%lld", i);
        std::snprintf(digitalKey, sizeof digitalKey, "Digital%lld", i);
        const auto analog = static_cast<uint32_t>(leadingNumber(profileValue(ini, analogKey, "0")));
        const auto digital = static_cast<uint32_t>(leadingNumber(profileValue(ini, digitalKey, "0")));
        table.insert(digital, analog);
    }
    return table;
}

}  // namespace mapshare
