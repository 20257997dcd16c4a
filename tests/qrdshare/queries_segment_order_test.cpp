// Spike cut-outs read in any order are the spikes that were counted: every
// item of every spike segment entity gives the same samples, unit and time
// read in increasing, decreasing or random order, including spikes that
// belong to their entity by position, zero-length spikes, spikes of older
// record versions and cut-outs longer than the host's buffer, with the
// library's caches on, off and nearly full; and a file cut after opening
// gives the same answers in every order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <random>
#include <tuple>
#include <vector>

#include "entities_test_recordings.h"

namespace {

using namespace qrd_test;

// Channels (hardware index, group) 10/0, 11/1, 12/0, 13/0: entities for 10,
// 12 and 13.  Spike indexes 0 to 2 name an entity by position; 11, 3, 40 and
// 0xFFFF belong to none.
const std::vector<uint16_t> kSpikeIndexes = {10, 11, 12, 13, 0, 1, 2, 3, 40, 0xFFFF};

int EntityOf(uint16_t hardwareIndex) {
    switch (hardwareIndex) {
        case 10: return 0;
        case 12: return 1;
        case 13: return 2;
        default: return static_cast<int16_t>(hardwareIndex) >= 0 && hardwareIndex < 3 ? hardwareIndex : -1;
    }
}

std::vector<Spike> RandomSpikes(uint32_t count) {
    std::mt19937 rng(11);
    std::vector<Spike> spikes;
    for (uint32_t i = 0; i < count; ++i) {
        Spike s;
        s.offset = (i * 3 + 1) * kMs;  // 40 ms chunks: about 13 spikes each
        s.hardwareIndex = kSpikeIndexes[rng() % kSpikeIndexes.size()];
        s.unit = static_cast<uint16_t>(rng() % 5 == 0 ? 0xFFFE : rng() % 4);
        s.samples.resize(rng() % 40);
        for (uint16_t& v : s.samples) v = static_cast<uint16_t>(rng());
        spikes.push_back(s);
    }
    return spikes;
}

struct Read {
    ns_RESULT result = ns_OK;
    double time = 0;
    uint32_t count = 0;
    uint32_t unit = 0;
    std::vector<double> data;
};

Read ReadItem(NsLibrary& lib, uint32_t id, uint32_t entity, int32_t index, uint32_t room = 64, bool withData = true) {
    Read r;
    std::vector<double> buffer(room + 1, -7.0);
    r.result = lib.GetSegmentData(id, entity, index, &r.time, withData ? buffer.data() : nullptr,
                                  room * sizeof(double), &r.count, &r.unit);
    EXPECT_EQ(buffer[room], -7.0) << "written beyond the buffer";
    if (withData) r.data.assign(buffer.begin(), buffer.begin() + std::min(r.count, room));
    return r;
}

void ExpectItem(const Read& r, const Spike& s, uint16_t version, uint32_t room = 64) {
    ASSERT_EQ(r.result, ns_OK);
    EXPECT_DOUBLE_EQ(r.time, s.offset / 1.0e9);
    const uint16_t unit = version >= 5 ? s.unit : 0;  // older records store no unit
    EXPECT_EQ(r.unit, static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(unit))));
    const size_t shown = std::min<size_t>(s.samples.size(), room);
    ASSERT_EQ(r.count, shown);
    for (size_t k = 0; k < shown; ++k)
        ASSERT_DOUBLE_EQ(r.data[k], (static_cast<int32_t>(s.samples[k]) - 32768) * 2.0e-7) << k;
}

// Record version, and settings: the default cache, none, and a small one.
class SegmentOrder : public ::testing::TestWithParam<std::tuple<uint16_t, const char*>> {};

TEST_P(SegmentOrder, EveryOrderReadsTheCountedSpike) {
    const uint16_t version = std::get<0>(GetParam());
    FreshQrdshare lib(std::get<1>(GetParam()));
    ASSERT_TRUE(lib->ok()) << lib->error();
    TempDir dir;
    qrd::RecordingSpec desc;
    desc.startTime = EntityRecordingStart();
    qrd::StreamSpec stream = SpikeStream({10, 11, 12, 13}, {0, 1, 0, 0});
    stream.headerVersion = version;
    // About 700 items an entity: more than one block of records read ahead.
    const std::vector<Spike> spikes = RandomSpikes(2400);
    AddSpikes(desc, stream, spikes);
    OpenRecording rec(*lib, WriteRecordingTo(dir, "spikes.qrd", desc));
    ASSERT_EQ(rec.result(), ns_OK);

    std::vector<std::vector<Spike>> expected(3);
    for (const Spike& s : spikes)
        if (EntityOf(s.hardwareIndex) >= 0) expected[static_cast<size_t>(EntityOf(s.hardwareIndex))].push_back(s);

    std::mt19937 rng(5);
    for (uint32_t e = 0; e < 3; ++e) {
        const std::vector<Spike>& items = expected[e];
        ASSERT_EQ(rec.Entity(e).dwItemCount, items.size());
        std::vector<int32_t> order(items.size());
        for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int32_t>(i);
        for (int pass = 0; pass < 3; ++pass) {
            if (pass == 1) std::reverse(order.begin(), order.end());
            if (pass == 2) std::shuffle(order.begin(), order.end(), rng);
            for (int32_t i : order) ExpectItem(ReadItem(*lib, rec.id(), e, i), items[static_cast<size_t>(i)], version);
        }
        // Without a buffer the count, unit and time still come; a short
        // buffer gets as many samples as it holds.
        for (int32_t i : {static_cast<int32_t>(items.size()) - 1, 0, static_cast<int32_t>(items.size()) / 2}) {
            const Spike& s = items[static_cast<size_t>(i)];
            const Read bare = ReadItem(*lib, rec.id(), e, i, 64, false);
            ASSERT_EQ(bare.result, ns_OK);
            EXPECT_EQ(bare.count, s.samples.size());
            EXPECT_DOUBLE_EQ(bare.time, s.offset / 1.0e9);
            ExpectItem(ReadItem(*lib, rec.id(), e, i, 3), s, version, 3);
        }
        EXPECT_EQ(ReadItem(*lib, rec.id(), e, static_cast<int32_t>(items.size())).result, ns_BADINDEX);
        EXPECT_EQ(ReadItem(*lib, rec.id(), e, -1).result, ns_BADINDEX);
    }
}

INSTANTIATE_TEST_SUITE_P(RecordVersions, SegmentOrder,
                         ::testing::Combine(::testing::Values(uint16_t{8}, uint16_t{6}, uint16_t{4}),
                                            ::testing::Values("", "[Settings]\nCacheSizeMB=0\n",
                                                              "[Settings]\nCacheSizeMB=1\n")));

// A file that loses its second half after opening: every order gives the
// same answers, the spikes in the part that is left read right, and the
// rest fail; a block of records that could only be read in part is not kept.
TEST(SegmentOrder, AFileCutAfterOpeningAnswersAlikeInEveryOrder) {
    FreshQrdshare lib;
    ASSERT_TRUE(lib->ok()) << lib->error();
    TempDir dir;
    qrd::RecordingSpec desc;
    desc.startTime = EntityRecordingStart();
    qrd::StreamSpec stream = SpikeStream({10, 11, 12, 13}, {0, 1, 0, 0});
    stream.headerVersion = 8;
    const std::vector<Spike> spikes = RandomSpikes(2400);
    AddSpikes(desc, stream, spikes);
    const std::string path = WriteRecordingTo(dir, "cut.qrd", desc);
    OpenRecording rec(*lib, path);
    ASSERT_EQ(rec.result(), ns_OK);
    std::error_code error;
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2, error);
    if (error) GTEST_SKIP() << "this system cannot cut a file that is open: " << error.message();

    std::vector<Spike> items;
    for (const Spike& s : spikes)
        if (EntityOf(s.hardwareIndex) == 0) items.push_back(s);
    const uint64_t end = spikes.back().offset;
    std::vector<int32_t> order(items.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int32_t>(i);
    std::vector<ns_RESULT> first(items.size(), ns_OK);
    std::mt19937 rng(3);
    for (int pass = 0; pass < 3; ++pass) {
        if (pass == 0) std::shuffle(order.begin(), order.end(), rng);
        if (pass == 1) std::sort(order.rbegin(), order.rend());
        if (pass == 2) std::sort(order.begin(), order.end());
        for (int32_t i : order) {
            const Spike& s = items[static_cast<size_t>(i)];
            const Read r = ReadItem(*lib, rec.id(), 0, i);
            if (pass == 0) first[static_cast<size_t>(i)] = r.result;
            ASSERT_EQ(r.result, first[static_cast<size_t>(i)]) << "item " << i << " in pass " << pass;
            if (s.offset < end * 4 / 10) ExpectItem(r, s, 8);
            if (r.result == ns_OK) ExpectItem(r, s, 8);
        }
    }
    EXPECT_NE(first.back(), ns_OK);
}

}  // namespace
