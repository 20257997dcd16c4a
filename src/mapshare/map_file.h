// An open MAP recording: the file, the file information filled by the parser,
// the channel list (one channel per entity, in entity order) and the mapping
// table of its defaults file.
#pragma once

#include "map_channel.h"
#include "mapping_table.h"
#include "random_access_file.h"
#include "piece_cache.h"
#include "table_arena.h"

#include <nsapi/nsapi.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

namespace mapshare {

class MapFile {
public:
    explicit MapFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }
    RandomAccessFile& file() { return file_; }
    const RandomAccessFile& file() const { return file_; }

    ns_FILEINFO info{};
    MappingTable mapping;

    // Where the channels' block tables take their memory: the file's arena
    // of large pages for files of 16 MiB and more, the heap for smaller ones
    // (whose tables would not fill a large page).
    TableArena* tables() { return file_.size() >= (uint64_t{16} << 20) ? &tables_ : nullptr; }

    // ---- channel list ------------------------------------------------------
    // Appends the channel unless an equal definition is already listed.
    // duplicateKey identifies the definition ("Channel already used").
    // Returns the new index or -1 with the message set.
    int64_t addChannel(std::unique_ptr<MapChannel> channel, const std::string& duplicateKey);
    size_t channelCount() const { return channels_.size(); }
    MapChannel* channel(size_t index) { return index < channels_.size() ? channels_[index].get() : nullptr; }
    const MapChannel* channel(size_t index) const {
        return index < channels_.size() ? channels_[index].get() : nullptr;
    }
    std::vector<std::unique_ptr<MapChannel>>& channels() { return channels_; }
    // Also gives up the sample reader and its cache, which point at the
    // channels.
    // Called when the file is closed, when no call is reading any more.
    void removeAllChannels() {
        sampleReader_.reset();
        channels_.clear();
        duplicateKeys_.clear();
    }

    // The reader behind the sample queries, made at the first one after
    // parsing (once, whichever thread comes first): a piece cache under the
    // library's budget.  Each query reads through a PieceCache::Query of it.
    PieceCache& sampleReader();

private:
    std::string path_;
    RandomAccessFile file_;
    TableArena tables_;   // before the channels: outlives their tables
    std::vector<std::unique_ptr<MapChannel>> channels_;
    std::unordered_set<std::string> duplicateKeys_;
    std::once_flag sampleReaderOnce_;
    std::unique_ptr<PieceCache> sampleReader_;   // last: goes before what it points at
};

}  // namespace mapshare
