#include "api/digital_edge_scan.h"

#include "api/entity_table.h"
#include "api/item_time.h"
#include "container/stream.h"

#include <algorithm>
#include <vector>

namespace qrd {

namespace {

void AppendEdge(EntityRecord& bit, double time, bool rising) {
    ItemBlock block;
    block.firstIndex = static_cast<uint32_t>(bit.itemCount);
    block.count = 1;
    block.startTime = time;
    block.edge = rising ? 1 : 0xFF;
    bit.blocks.push_back(block);
    ++bit.itemCount;
}

}  // namespace

void AppendEdges(const uint16_t* samples, size_t count, uint16_t& previous, uint64_t firstSampleIndex,
                 double startTime, uint32_t rateMilliHz, BitRecords& bits) {
    for (size_t k = 0; k < count; ++k) {
        const uint16_t sample = samples[k];
        // Only the bits that changed are visited, lowest first.
        for (unsigned changed = static_cast<unsigned>(sample ^ previous); changed != 0; changed &= changed - 1) {
            unsigned j = 0;
            while (((changed >> j) & 1u) == 0) ++j;
            const double time =
                SampleSpanSeconds(static_cast<double>(firstSampleIndex + k), rateMilliHz) + startTime;
            AppendEdge(*bits[j], time, ((sample >> j) & 1u) != 0);
        }
        previous = sample;
    }
}

void ScanContinuousEdges(CQRVAStream& stream, uint32_t column, uint64_t total, double timeOffset,
                         BitRecords& bits) {
    const uint32_t rate = stream.GetSampleRate();
    std::vector<uint16_t> piece(static_cast<size_t>(std::min<uint64_t>(total, kEdgeScanPiece)));
    uint16_t previous = 0;
    for (uint64_t done = 0; done < total;) {
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(total - done, kEdgeScanPiece));
        const uint32_t got =
            std::min(want, stream.ReadChannelRange(piece.data(), column, static_cast<uint32_t>(done), want));
        if (got == 0) break;
        if (done == 0) previous = piece[0];
        AppendEdges(piece.data(), got, previous, done, timeOffset, rate, bits);
        done += got;
        if (got < want) break;  // the recording ends early: nothing more to trust
    }
}

void ScanSweepEdges(CQRVAStream& stream, uint32_t column, const std::vector<ItemBlock>& sweepBlocks,
                    BitRecords& bits) {
    const uint32_t rate = stream.GetSampleRate();
    std::vector<uint16_t> sweep;
    for (size_t w = 0; w < sweepBlocks.size(); ++w) {
        const uint32_t length = sweepBlocks[w].count;
        if (length == 0) continue;
        sweep.resize(length);
        const uint32_t got =
            std::min(length, stream.ReadSweepChannel(sweep.data(), length, static_cast<uint32_t>(w), column));
        if (got > 0) {
            uint16_t previous = sweep[0];
            AppendEdges(sweep.data() + 1, got - 1, previous, 1, sweepBlocks[w].startTime, rate, bits);
        }
        if (got < length) break;
    }
}

}  // namespace qrd
