// Channel entries, the layout object and the standard layouts built from the
// file header's counts.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "container/le_codec.h"
#include "layout/electrode_names.h"
#include "layout/qr_layout.h"

namespace qrd {
namespace {

TEST(ChannelEntry, DefaultsAndTextFieldsStayInTheirRoom) {
    CChannelEntry e;
    EXPECT_EQ(GetI32(e.bytes(), 0), -1);           // hwid
    EXPECT_EQ(GetI32(e.bytes(), 16), 50000000);    // value3
    EXPECT_EQ(GetI32(e.bytes(), 536), -1);         // group
    EXPECT_EQ(GetI32(e.bytes(), 824), 1000);       // extentZ
    EXPECT_EQ(GetI32(e.bytes(), 840), 100);        // dyextend
    EXPECT_EQ(GetI32(e.bytes(), 1360), -1);        // mapIndex
    EXPECT_EQ(e.value2() | e.enabled() | e.posX() | e.mapCondition(), 0);

    // Fields are at their fixed offsets in the record image.
    e.setPosY(0x01020304);
    EXPECT_EQ(e.bytes()[CChannelEntry::kOffPosY], 0x04);
    EXPECT_EQ(e.bytes()[CChannelEntry::kOffPosY + 3], 0x01);

    // An over-long name is cut to leave its NUL and does not spill into label.
    e.setLabel("L");
    e.setName(std::string(400, 'x'));
    EXPECT_EQ(e.name(), std::string(CChannelEntry::kNameWidth - 1, 'x'));
    EXPECT_EQ(e.bytes()[CChannelEntry::kOffLabel - 1], 0);
    EXPECT_EQ(e.label(), "L");
}

TEST(ElectrodeNames, TablesCoverTheGridWithoutCornersOnce) {
    std::set<std::pair<int32_t, int32_t>> cells;
    for (int32_t i = 0; i < kSingleArrayElectrodes; ++i) {
        int32_t c = 0, r = 0;
        ASSERT_TRUE(ElectrodeGridPosition(SingleArrayName(i), c, r)) << i;
        EXPECT_TRUE(c >= 1 && c <= 8 && r >= 1 && r <= 8) << SingleArrayName(i);
        cells.insert({c, r});
    }
    EXPECT_EQ(cells.size(), 60u);  // no name twice
    for (auto corner : {std::make_pair(1, 1), std::make_pair(1, 8), std::make_pair(8, 1),
                        std::make_pair(8, 8)})
        EXPECT_EQ(cells.count(corner), 0u);

    EXPECT_STREQ(SingleArrayName(63), "D1");
    EXPECT_EQ(SingleArrayName(64), nullptr);
    EXPECT_EQ(SingleArrayName(-1), nullptr);
    EXPECT_STREQ(DoubleArrayName(63), "A4");
    EXPECT_STREQ(DoubleArrayName(64), "47");
    EXPECT_STREQ(DoubleArrayName(123), "57");
    EXPECT_STREQ(DoubleArrayName(126), "A7");
    EXPECT_STREQ(DoubleArrayName(127), "D1");
    EXPECT_EQ(DoubleArrayName(128), nullptr);
}

TEST(StandardLayout, LinearNumbersEachKindOnItsOwnGrid) {
    CQRLayout layout;
    BuildStandardLayout(layout, 0, 67, 60, 4, 3, 0);
    EXPECT_EQ(layout.analogCount, 4);
    EXPECT_EQ(layout.digitalCount, 3);
    ASSERT_EQ(layout.entries.size(), 67u);

    const CChannelEntry& first = layout.entries[0];
    EXPECT_EQ(first.name() + first.label() + first.altName(), "010101");
    EXPECT_EQ(first.value1(), 1000);
    EXPECT_EQ(first.group(), 0);
    EXPECT_EQ(first.enabled(), 1);

    const CChannelEntry& ninth = layout.entries[8];
    EXPECT_EQ(ninth.name(), "09");
    EXPECT_EQ(ninth.posX(), 0);
    EXPECT_EQ(ninth.posY(), 1000);
    EXPECT_EQ(ninth.dy(), 100);
    EXPECT_EQ(layout.entries[59].name(), "60");
    EXPECT_EQ(layout.entries[59].posX(), 3000);  // 59 = 7 x 8 + 3
    EXPECT_EQ(layout.entries[59].posY(), 7000);

    for (int k = 0; k < 4; ++k) {
        const CChannelEntry& a = layout.entries[60 + k];
        EXPECT_EQ(a.name(), "A" + std::to_string(k + 1));
        EXPECT_EQ(a.subtype(), 1);
        EXPECT_EQ(a.value1(), 1);
        EXPECT_EQ(a.posX(), k * 1000);
        EXPECT_EQ(a.dx(), k * 100);
        EXPECT_EQ(a.mapIndex(), 60 + k);
    }
    for (int d = 64; d < 67; ++d) {  // every digital channel is "D1"
        const CChannelEntry& e = layout.entries[d];
        EXPECT_EQ(e.name(), "D1");
        EXPECT_EQ(e.subtype(), 2);
        EXPECT_EQ(e.posX() | e.posY() | e.dx() | e.dy(), 0);
        EXPECT_EQ(e.hwid(), d);
    }
}

TEST(StandardLayout, LinearUsesSixteenColumnsAboveOneHundredTwentyEightChannels) {
    CQRLayout layout;
    BuildStandardLayout(layout, 0, 252 + 130, 252, 130, 0, 0);
    ASSERT_EQ(layout.entries.size(), 382u);
    EXPECT_EQ(layout.entries[16].name(), "17");
    EXPECT_EQ(layout.entries[16].posX(), 0);
    EXPECT_EQ(layout.entries[16].posY(), 1000);
    EXPECT_EQ(layout.entries[15].posX(), 15000);
    EXPECT_EQ(layout.entries[251].name(), "252");
    // The analog grid widens on its own count: A17 starts the second row.
    EXPECT_EQ(layout.entries[252 + 16].name(), "A17");
    EXPECT_EQ(layout.entries[252 + 16].posY(), 1000);

    // With 128 electrodes or fewer the grid stays 8 wide.
    BuildStandardLayout(layout, 0, 128, 128, 0, 0, 0);
    EXPECT_EQ(layout.entries[16].posY(), 2000);
}

TEST(StandardLayout, SingleArrayPlacesElectrodesByTheirNames) {
    CQRLayout layout;
    BuildStandardLayout(layout, 1, 64, 60, 3, 1, 0);
    ASSERT_EQ(layout.entries.size(), 64u);
    const CChannelEntry& e0 = layout.entries[0];
    EXPECT_EQ(e0.name() + e0.label() + e0.altName(), "474747");
    EXPECT_EQ(e0.groupName(), "Grid60");
    EXPECT_EQ(e0.posX(), 3000);
    EXPECT_EQ(e0.posY(), 6000);
    EXPECT_EQ(e0.dx(), 300);
    EXPECT_EQ(e0.dy(), 600);
    EXPECT_EQ(e0.value1(), 1000);

    const CChannelEntry& a3 = layout.entries[62];
    EXPECT_EQ(a3.name(), "A3");
    EXPECT_EQ(a3.subtype(), 1);
    EXPECT_EQ(a3.groupName(), "");
    EXPECT_EQ(a3.posX(), 2);
    EXPECT_EQ(a3.dx(), 200);
    EXPECT_EQ(layout.entries[63].name(), "D1");
    EXPECT_EQ(layout.entries[63].subtype(), 2);
}

TEST(StandardLayout, DoubleArrayShiftsTheSecondGridDown) {
    CQRLayout layout;
    BuildStandardLayout(layout, 2, 128, 120, 7, 1, 0);
    ASSERT_EQ(layout.entries.size(), 128u);
    EXPECT_EQ(layout.entries[0].label(), "47A");
    EXPECT_EQ(layout.entries[0].groupName(), "MEA A");
    EXPECT_EQ(layout.entries[0].posY(), 6000);

    const CChannelEntry& b = layout.entries[64];
    EXPECT_EQ(b.altName(), "47");
    EXPECT_EQ(b.label(), "47B");
    EXPECT_EQ(b.groupName(), "MEA B");
    EXPECT_EQ(b.group(), 1);
    EXPECT_EQ(b.posX(), 3000);
    EXPECT_EQ(b.posY(), 14000);
    EXPECT_EQ(b.dy(), 1400);

    EXPECT_EQ(layout.entries[60].label(), "A1");
    EXPECT_EQ(layout.entries[63].posX(), 3);
    const CChannelEntry& a5 = layout.entries[124];
    EXPECT_EQ(a5.name(), "A5");
    EXPECT_EQ(a5.posX(), 4);
    EXPECT_EQ(a5.group(), 0);
    EXPECT_EQ(layout.entries[127].name(), "D1");
}

TEST(StandardLayout, CountsFromADamagedHeaderNeverOverrunTheEntries) {
    CQRLayout layout;
    // Arrays with a smaller total stop at the total.
    BuildStandardLayout(layout, 1, 10, 60, 3, 1, 0);
    ASSERT_EQ(layout.entries.size(), 10u);
    EXPECT_EQ(layout.entries[9].name(), "17");
    BuildStandardLayout(layout, 2, 70, 120, 7, 1, 0);
    ASSERT_EQ(layout.entries.size(), 70u);
    EXPECT_EQ(layout.entries[69].label(), "37B");

    // A larger total leaves the entries past the fixed table at defaults.
    BuildStandardLayout(layout, 1, 70, 60, 3, 1, 0);
    ASSERT_EQ(layout.entries.size(), 70u);
    EXPECT_EQ(layout.entries[63].name(), "D1");
    EXPECT_EQ(layout.entries[64], CChannelEntry());

    BuildStandardLayout(layout, 0, -5, 10, 0, 0, 0);
    EXPECT_TRUE(layout.entries.empty());
    EXPECT_EQ(layout.totalCount, -5);

    // Negative kind counts: every channel still gets exactly one kind.
    BuildStandardLayout(layout, 0, 4, -3, -2, 0, 0);
    ASSERT_EQ(layout.entries.size(), 4u);
    for (const CChannelEntry& e : layout.entries) EXPECT_EQ(e.subtype(), 2);

    BuildStandardLayout(layout, 0, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, 0);
    ASSERT_EQ(layout.entries.size(), static_cast<size_t>(kMaxLayoutEntries));
    EXPECT_EQ(layout.entries.back().name(), "32767");
    EXPECT_EQ(layout.entries.back().posY(), (32766 / 16) * 1000);
}

TEST(StandardLayout, StopFlagAndUnknownSourceTypesKeepDefaultEntries) {
    CQRLayout layout;
    BuildStandardLayout(layout, 1, 64, 60, 3, 1, 0);
    BuildStandardLayout(layout, 1, 64, 60, 3, 1, 1);
    ASSERT_EQ(layout.entries.size(), 64u);
    EXPECT_EQ(layout.entries[0], CChannelEntry());  // rebuilt, not left over

    BuildStandardLayout(layout, 7, 5, 5, 0, 0, 0);
    ASSERT_EQ(layout.entries.size(), 5u);
    EXPECT_EQ(layout.entries[4], CChannelEntry());
    EXPECT_EQ(layout.sourceType, 7);
}

TEST(QRLayout, CopyTakesOverEverythingAndOwnsItsCatalogue) {
    CQRLayout from;
    BuildStandardLayout(from, 2, 128, 120, 7, 1, 0);
    from.reserved = 9;
    auto mea = std::make_unique<CQRLayout::CMea>();
    mea->name = "grid";
    from.availMeas.Add(std::move(mea));
    from.availHard.Add(nullptr);  // ignored, never cloned
    from.selectedMeas.push_back(0);

    CQRLayout to;
    BuildStandardLayout(to, 0, 3, 3, 0, 0, 0);
    to.CopyFrom(from);
    EXPECT_EQ(to.electrodeCount, 120);
    EXPECT_EQ(to.reserved, 9);
    ASSERT_EQ(to.entries.size(), 128u);
    EXPECT_EQ(to.entries[64].label(), "47B");
    EXPECT_EQ(to.availHard.size(), 0u);
    ASSERT_EQ(to.availMeas.size(), 1u);
    EXPECT_NE(to.availMeas.at(0), from.availMeas.at(0));  // a deep copy
    EXPECT_EQ(to.availMeas.at(0)->name, "grid");
    EXPECT_NE(dynamic_cast<const CQRLayout::CMea*>(to.availMeas.at(0)), nullptr);
    EXPECT_EQ(to.selectedMeas, std::vector<int32_t>{0});

    from.availMeas.Clear();  // the copy survives its source changing
    EXPECT_EQ(to.availMeas.at(0)->name, "grid");
    to.CopyFrom(to);
    EXPECT_EQ(to.availMeas.size(), 1u);
}

}  // namespace
}  // namespace qrd
