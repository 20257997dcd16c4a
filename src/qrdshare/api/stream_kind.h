// Which entities a stream gives, decided by four-letter words in its tag.
//
// Stream tags are normally four letters and four hex digits ("elec0001",
// "trig0002"); the letters say what the stream carries.  The words are
// searched anywhere in the tag, in the order trigger, spikes, raw data, so
// the first kind that matches wins.
#pragma once

#include <string>

namespace qrd {

enum class StreamKind {
    kTrigger,  // "trig": one event entity for the whole stream
    kSpikes,   // "spks": one segment entity per channel of group 0
    kRawData,  // "anlg", "chtl", "elec", "filt", "digi": analog (and bit, sweep) entities
    kNone,     // averages, analyzer results and everything else: no entities
};

bool TagContains(const std::string& tag, const char* word);
StreamKind StreamKindOfTag(const std::string& tag);

// Digital raw data: samples are bit words, reported unscaled.
inline bool IsDigitalTag(const std::string& tag) { return TagContains(tag, "digi"); }
inline bool IsTriggerTag(const std::string& tag) { return TagContains(tag, "trig"); }
inline bool IsSpikeTag(const std::string& tag) { return TagContains(tag, "spks"); }

}  // namespace qrd
