#include "foundation/SLists.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"

namespace {

SString raw(const std::string& bytes) { return SString(bytes); }

std::string rangeError(const char* list, const char* operation, int requested, int highest) {
    return std::string("Fehler in der Liste: ") + list + "." + operation +
           "(..)\r\nEs wurde ein Element au\xDF" "erhalb des Bereiches angefordert.\r\nAngefordert wurde: " +
           std::to_string(requested) + "\r\nm\xF6glich ist: 0..." + std::to_string(highest);
}

SStringList threeStrings() {
    SStringList list;
    list.add(raw("a"));
    list.add(raw("b"));
    list.add(raw("c"));
    return list;
}

TEST(SListsTest, OutOfRangeShowsTheListErrorAndLeavesTheListAlone) {
    testsupport::MessageCapture boxes;
    SStringList list = threeStrings();

    EXPECT_EQ(list.getAt(5).str(), "c");  // the last element
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text,
              "Fehler in der Liste: SStringList.getAt(..)\r\nEs wurde ein Element au\xDF"
              "erhalb des Bereiches angefordert.\r\nAngefordert wurde: 5\r\nm\xF6glich ist: 0...2");
    EXPECT_EQ(boxes.boxes()[0].title, "Fehler !");

    EXPECT_EQ(list.getAt(-1).str(), "c");
    EXPECT_FALSE(list.removeAt(3));
    EXPECT_FALSE(list.removeAt(-1));
    EXPECT_EQ(list.insertAt(-1, raw("x")), -1);
    EXPECT_EQ(list.insertAt(4, raw("x")), -1);
    EXPECT_EQ(list.join(raw(",")).str(), "a,b,c");
    ASSERT_EQ(boxes.boxes().size(), 6u);
    EXPECT_EQ(boxes.boxes()[1].text, rangeError("SStringList", "getAt", -1, 2));
    EXPECT_EQ(boxes.boxes()[2].text, rangeError("SStringList", "removeAt", 3, 2));
    EXPECT_EQ(boxes.boxes()[3].text, rangeError("SStringList", "removeAt", -1, 2));
    // insertAt accepts 0..size, and its message says so.
    EXPECT_EQ(boxes.boxes()[4].text, rangeError("SStringList", "insertAt", -1, 3));

    // Each list names its own class; an empty list yields an empty value.
    boxes.clear();
    SNumList nums;
    SPointerList pointers;
    EXPECT_EQ(nums.getAt(0), 0);
    EXPECT_EQ(pointers.getAt(1), nullptr);
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[0].text, rangeError("SNumList", "getAt", 0, -1));
    EXPECT_EQ(boxes.boxes()[1].text, rangeError("SPointerList", "getAt", 1, -1));
}

TEST(SListsTest, InsertRemoveAndSplit) {
    testsupport::MessageCapture boxes;
    SStringList list = threeStrings();
    EXPECT_EQ(list.insertAt(0, raw("0")), 0);
    EXPECT_EQ(list.insertAt(4, raw("end")), 4);
    EXPECT_EQ(list.insertAt(2, raw("mid")), 2);
    EXPECT_EQ(list.join(raw("|")).str(), "0|a|mid|b|c|end");
    EXPECT_TRUE(list.removeAt(0));
    EXPECT_TRUE(list.removeAt(4));
    EXPECT_EQ(list.join(raw("|")).str(), "a|mid|b|c");
    EXPECT_EQ(list.find(raw("b")), 2);
    EXPECT_EQ(list.find(raw("z")), -1);
    EXPECT_EQ(list.add(raw("d")), 4);
    list.removeAll();
    EXPECT_EQ(list.getSize(), 0);
    EXPECT_TRUE(boxes.boxes().empty());

    struct Case {
        const char* text;
        const char* separator;
        int count;
        const char* joined;
    } cases[] = {
        {"a|b|c", "|", 3, "a/b/c"}, {"", "|", 0, ""},      {"|", "|", 2, "/"},
        {"a||", "|", 3, "a//"},     {"abc", "|", 1, "abc"}, {"a::b", "::", 2, "a/b"},
    };
    for (const Case& c : cases) {
        SStringList parts = SStringList::split(raw(c.text), raw(c.separator));
        EXPECT_EQ(parts.getSize(), c.count) << c.text;
        EXPECT_EQ(parts.join(raw("/")).str(), c.joined) << c.text;
    }
}

TEST(SListsTest, OwningListDeletesItsElements) {
    struct Counted {
        explicit Counted(int* n) : count(n) { ++*count; }
        ~Counted() { --*count; }
        int* count;
    };
    int alive = 0;
    {
        SOwningList<Counted> list;
        list.add(new Counted(&alive));
        list.add(new Counted(&alive));
        list.add(new Counted(&alive));
        EXPECT_EQ(alive, 3);
        EXPECT_TRUE(list.removeAt(1));
        EXPECT_EQ(alive, 2);
        EXPECT_EQ(list.getSize(), 2);
    }
    EXPECT_EQ(alive, 0);
}

}  // namespace
