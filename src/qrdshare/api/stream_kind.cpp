#include "api/stream_kind.h"

namespace qrd {

bool TagContains(const std::string& tag, const char* word) { return tag.find(word) != std::string::npos; }

StreamKind StreamKindOfTag(const std::string& tag) {
    if (TagContains(tag, "trig")) return StreamKind::kTrigger;
    if (TagContains(tag, "spks")) return StreamKind::kSpikes;
    for (const char* word : {"anlg", "chtl", "elec", "filt", "digi"}) {
        if (TagContains(tag, word)) return StreamKind::kRawData;
    }
    return StreamKind::kNone;
}

}  // namespace qrd
