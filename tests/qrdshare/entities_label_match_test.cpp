// Entity labels as the host sees them, and which channel a spike belongs to.
#include "api/entity_label.h"
#include "api/entity_table.h"
#include "api/spike_channel_match.h"

#include <gtest/gtest.h>

#include <string>

namespace qrd {
namespace {

std::string Label(const std::string& tag, int32_t number, int32_t column, const std::string& label,
                  int32_t bit = -1) {
    EntityRecord r;
    r.streamTag = tag;
    r.channelNumber = number;
    r.channelPosition = column;
    r.channelLabel = label;
    r.bitNumber = bit;
    return EntityLabel(r);
}

TEST(EntityLabel, FieldsArePaddedAndCut) {
    EXPECT_EQ(Label("elec0001", 12, 11, "Ch 12"), "elec0001 0012 0011    Ch 12");
    // A label shows its first 8 characters; a short tag is filled with '0'.
    EXPECT_EQ(Label("anl1", 1, 0, "Electrode 47 left"), "0000anl1 0001 0000 Electrod");
    EXPECT_EQ(Label("elec0001", -1, -1, ""), "elec0001 -001 -001         ");
    EXPECT_EQ(Label("digi0001", 1, 0, "D1", 7), "digi0001 0001 0000       D1 07");
    EXPECT_EQ(Label("trig0001", 0, 0, "trig0001"), "trig0001 0000 0000 trig0001");
}

TEST(EntityLabel, LongTagsAndNumbersNeverExceedTheField) {
    const std::string label = Label("digi0001xyzw", -2147483647 - 1, 123456789, "longlabel", 15);
    EXPECT_EQ(label.size(), kEntityLabelLength);
    EXPECT_EQ(label, std::string("digi0001xyzw -2147483648 1234567").substr(0, kEntityLabelLength));
}

TEST(SpikeChannelMatch, ByHardwareIndexThenByPosition) {
    const SpikeChannelMatch match({5, 7, 9, 7}, {0, 1, 3, 4});
    EXPECT_EQ(match.TargetOf(7), 1);  // the first channel with that index
    EXPECT_EQ(match.TargetOf(9), 2);
    EXPECT_EQ(match.TargetOf(2), 2);  // no channel has index 2: the third channel
    EXPECT_EQ(match.TargetOf(0), 0);
    EXPECT_EQ(match.TargetOf(4), -1);  // neither
    EXPECT_EQ(match.SlotOfPosition(3), 2);
    EXPECT_EQ(match.SlotOfPosition(2), -1);
}

TEST(SpikeChannelMatch, NegativeSixteenBitIndexesNeverCountBackwards) {
    const SpikeChannelMatch match({0, 1, 2}, {0, 1, 2});
    for (uint32_t raw : {0x8000u, 0xFFFEu, 0xFFFFu}) EXPECT_EQ(match.TargetOf(static_cast<uint16_t>(raw)), -1) << raw;
    // A channel whose stored index is -1 does take spikes marked 0xFFFF.
    const SpikeChannelMatch minusOne({4, -1}, {0, 1});
    EXPECT_EQ(minusOne.TargetOf(0xFFFF), 1);
}

}  // namespace
}  // namespace qrd
