#include "stream/ExtDataManager.h"

#include <gtest/gtest.h>

#include <string>

#include "stream/ExtDataPointerList.h"
#include "support/TestSupport.h"

namespace {

SString name(const char* text) {
    return SString(std::string(text));
}

TEST(ExtDataManagerTest, NamesAreExactAndAddReplaces) {
    ExtData a, b, c;
    ExtDataManager manager;
    manager.add(name("U_C"), &a);
    manager.add(name("I"), &b);
    EXPECT_EQ(manager.get(name("U_C")), &a);
    EXPECT_EQ(manager.get(name("u_c")), nullptr);
    EXPECT_EQ(manager.get(name("U_C ")), nullptr);

    // The second channel of a name replaces the first and keeps its place.
    manager.add(name("U_C"), &c);
    EXPECT_EQ(manager.get(name("U_C")), &c);
    ASSERT_EQ(manager.getList().getCount(), 2);
    EXPECT_EQ(manager.getList().getNameAt(0).str(), "U_C");
    EXPECT_EQ(manager.getList().getNameAt(1).str(), "I");

    // Clearing forgets the names; the channels are not the registry's to delete.
    manager.clear();
    EXPECT_EQ(manager.get(name("I")), nullptr);
    EXPECT_EQ(manager.getList().getCount(), 0);
}

TEST(ExtDataManagerTest, ListKeepsInsertionOrderAndStableCells) {
    ExtData a, b;
    ExtDataList list;
    EXPECT_STREQ(list.getClassName(), "ExtDataList");
    ExtData** cell = list.lookup(name("first"), true);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(*cell, nullptr);
    *cell = &a;
    // Many more names: the cell handed out first stays valid.
    for (int i = 0; i < 300; ++i) list.set(SString(std::string("n") + std::to_string(i)), &b);
    EXPECT_EQ(*cell, &a);
    EXPECT_EQ(list.lookup(name("first"), false), cell);
    EXPECT_EQ(list.lookup(name("missing"), false), nullptr);

    ExtData* out = &b;
    EXPECT_FALSE(list.get(name("missing"), out));
    EXPECT_EQ(out, nullptr);
    EXPECT_TRUE(list.get(name("first"), out));
    EXPECT_EQ(out, &a);

    EXPECT_TRUE(list.remove(name("n0")));
    EXPECT_FALSE(list.remove(name("n0")));
    ASSERT_EQ(list.getCount(), 300);
    EXPECT_EQ(list.getNameAt(1).str(), "n1");
    EXPECT_EQ(list.getPointerAt(0), &a);
    list.clear();
    EXPECT_EQ(list.getCount(), 0);
}

TEST(ExtDataManagerTest, ListsReportRangeErrorsUnderTheirOwnNames) {
    testsupport::MessageCapture boxes;
    ExtData a;
    ExtDataList list;
    list.set(name("a"), &a);
    EXPECT_EQ(list.getNameAt(1).str(), "");
    EXPECT_EQ(list.getPointerAt(-1), nullptr);

    ExtDataPointerList pointers;
    pointers.add(&a);
    EXPECT_EQ(pointers.getAt(0), &a);
    EXPECT_EQ(pointers.getAt(3), &a);  // the last element, after the message

    ASSERT_EQ(boxes.boxes().size(), 3u);
    EXPECT_NE(boxes.boxes()[0].text.find("Fehler in der Liste: ExtDataList.getNameAt(..)"),
              std::string::npos);
    EXPECT_NE(boxes.boxes()[0].text.find("Angefordert wurde: 1\r\nm\xF6glich ist: 0...0"), std::string::npos);
    EXPECT_NE(boxes.boxes()[1].text.find("ExtDataList.getPointerAt(..)"), std::string::npos);
    EXPECT_NE(boxes.boxes()[2].text.find("Fehler in der Liste: ExtDataPointerList.getAt(..)"),
              std::string::npos);
    EXPECT_NE(boxes.boxes()[2].text.find("Angefordert wurde: 3"), std::string::npos);
}

}  // namespace
