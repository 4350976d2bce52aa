#include "foundation/SMaps.h"

#include <gtest/gtest.h>

#include <string>

namespace {

SString raw(const std::string& bytes) { return SString(bytes); }

template <typename Map>
std::string keys(const Map& map) {
    std::string out;
    for (const auto& [k, v] : map) out += std::string(k.str()) + ";";
    return out;
}

TEST(SMapsTest, InsertionOrderSetInPlaceAndRemove) {
    SMapStringToString map;
    for (const char* k : {"zeta", "alpha", "mid", "beta"}) map.set(raw(k), raw(std::string("v_") + k));
    EXPECT_EQ(keys(map), "zeta;alpha;mid;beta;");
    // Setting a present key keeps its place.
    map.set(raw("alpha"), raw("neu"));
    EXPECT_EQ(keys(map), "zeta;alpha;mid;beta;");
    EXPECT_EQ(map.get(raw("alpha")).str(), "neu");
    EXPECT_EQ(map.getSize(), 4);

    EXPECT_TRUE(map.remove(raw("zeta")));
    EXPECT_FALSE(map.remove(raw("zeta")));
    EXPECT_EQ(keys(map), "alpha;mid;beta;");
    // Lookups still find the entries behind the removed one.
    EXPECT_EQ(map.get(raw("beta")).str(), "v_beta");
    EXPECT_EQ(map.getKeyAt(2).str(), "beta");
    EXPECT_EQ(map.getValueAt(0).str(), "neu");
    map.set(raw("zeta"), raw("wieder"));
    EXPECT_EQ(keys(map), "alpha;mid;beta;zeta;");

    // Absent keys give the empty value; keys are compared exactly.
    EXPECT_EQ(map.get(raw("Alpha")).str(), "");
    EXPECT_FALSE(map.has(raw("Alpha")));
    EXPECT_EQ(map.lookup(raw("Alpha")), nullptr);
    ASSERT_NE(map.lookup(raw("mid")), nullptr);
    *map.lookup(raw("mid")) = raw("changed");
    EXPECT_EQ(map.get(raw("mid")).str(), "changed");
    map.removeAll();
    EXPECT_EQ(map.getSize(), 0);
    EXPECT_EQ(map.get(raw("mid")).str(), "");
}

TEST(SMapsTest, OtherKeyAndValueTypes) {
    SMapStringToNum nums;
    nums.set(raw("a"), 5);
    nums.set(raw("b"), -7);
    EXPECT_EQ(nums.get(raw("b")), -7);
    EXPECT_EQ(nums.get(raw("c")), 0);

    SMapNumToString names;
    names.set(300, raw("Diagramm"));
    names.set(2001, raw("Start"));
    names.remove(300);
    EXPECT_EQ(names.get(2001).str(), "Start");
    EXPECT_EQ(names.get(300).str(), "");

    SMapStringToMem blocks;
    SMem mem(3);
    mem.setByte(1, 0xAB);
    blocks.set(raw("frame"), mem);
    EXPECT_EQ(blocks.get(raw("frame")).getByte(1), 0xAB);
    EXPECT_EQ(blocks.get(raw("none")).getSize(), 0u);
    EXPECT_STREQ(blocks.getClassName(), "SMapStringToMem");
}

TEST(SMapsTest, MemoryBlockGrowsWithZeros) {
    SMem mem;
    mem.fromString(SString(std::string("ab\0c", 4)));
    EXPECT_EQ(mem.getSize(), 4u);
    mem.setSize(2);
    mem.setSize(6);
    EXPECT_EQ(mem.toString().str(), std::string("ab\0\0\0\0", 6));
    // Reads outside give 0, writes outside are ignored.
    EXPECT_EQ(mem.getByte(6), 0);
    mem.setByte(6, 9);
    EXPECT_EQ(mem.getSize(), 6u);
    mem.appendByte(0xFF);
    EXPECT_EQ(mem.getByte(6), 0xFF);
    SMem copy;
    copy.copy(mem);
    EXPECT_TRUE(copy == mem);
}

}  // namespace
