#include "map_file.h"

#include "last_error.h"
#include "piece_cache.h"
#include "sample_cache_budget.h"

#include <new>

namespace mapshare {

int64_t MapFile::addChannel(std::unique_ptr<MapChannel> channel, const std::string& duplicateKey) {
    try {
        if (!duplicateKeys_.insert(duplicateKey).second) {
            setLastError("Channel already used");
            return -1;
        }
        channels_.push_back(std::move(channel));
        return static_cast<int64_t>(channels_.size() - 1);
    } catch (const std::bad_alloc&) {
        setLastError("Memory exception");
    } catch (...) {
        setLastError("Could not add channel");
    }
    return -1;
}

PieceCache& MapFile::sampleReader() {
    std::call_once(sampleReaderOnce_, [this] {
        nscommon::CacheBudget& budget = sampleCacheBudget();
        sampleReader_ = std::make_unique<PieceCache>(file_, channels_, budget, pieceBytesFor(budget.Capacity()));
    });
    return *sampleReader_;
}

}  // namespace mapshare
