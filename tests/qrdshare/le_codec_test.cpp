#include "container/le_codec.h"

#include <gtest/gtest.h>

namespace qrd {
namespace {

TEST(LeCodec, WriterAndReaderAgreeOnEveryWidth) {
    std::vector<uint8_t> buf;
    LeWriter w(buf);
    w.U16(0xBEEF);
    w.U32(0xDEADBEEF);
    w.U64(0x0102030405060708ull);
    w.I16(-2);
    w.F32(1.5f);
    w.F64(-2.25);
    w.Text("abc", 6);
    w.Tag("QRVHDR");
    ASSERT_EQ(buf.size(), 2u + 4 + 8 + 2 + 4 + 8 + 6 + 8);
    EXPECT_EQ(buf[0], 0xEF);  // little-endian on disk whatever the host
    EXPECT_EQ(buf[1], 0xBE);

    LeReader r(buf);
    EXPECT_EQ(r.U16(), 0xBEEF);
    EXPECT_EQ(r.U32(), 0xDEADBEEFu);
    EXPECT_EQ(r.U64(), 0x0102030405060708ull);
    EXPECT_EQ(r.I16(), -2);
    EXPECT_EQ(r.F32(), 1.5f);
    EXPECT_EQ(r.F64(), -2.25);
    EXPECT_EQ(r.Text(6), "abc");
    char tag[8];
    EXPECT_TRUE(r.Bytes(tag, 8));
    EXPECT_EQ(std::string(tag, 8), "QRVHDR  ");
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(LeCodec, ReadingPastTheEndFailsWithoutTouchingMemory) {
    const uint8_t three[3] = {1, 2, 3};
    LeReader r(three, sizeof three);
    EXPECT_EQ(r.U16(), 0x0201);
    EXPECT_EQ(r.U32(), 0u);  // only one byte left
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.U8(), 0);  // failure is sticky
    uint8_t dst[4] = {9, 9, 9, 9};
    EXPECT_FALSE(r.Bytes(dst, 4));
    EXPECT_EQ(dst[0], 0);
}

TEST(LeCodec, TextFieldsStopAtTheFieldEnd) {
    uint8_t field[4] = {'a', 'b', 'c', 'd'};  // no NUL inside the field
    EXPECT_EQ(GetText(field, 0, 4), "abcd");
    PutText(field, 0, 4, "longer text");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(field), 4), std::string("lon\0", 4));
}

}  // namespace
}  // namespace qrd
