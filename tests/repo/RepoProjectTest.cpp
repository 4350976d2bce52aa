#include "repo/RepoProject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/SDebug.h"
#include "support/TestSupport.h"

namespace {

using testsupport::TempDir;

// A small repository as a teacher would write it: one diagram with two buttons and an
// oscilloscope, attributes of each type, and a relation line with a number below 100.
const std::string sample =
    "[BaseElement_100]\r\n"
    "painterType=7\r\n"
    "name=Start\r\n"
    "shortName=St\r\n"
    "description=Startet die Messung\r\n"
    "[BaseElement_101]\r\n"
    "name=Stopp\r\n"
    "[ViewElement_2001]\r\n"
    "painterType=5\r\n"
    "baseObjNr=100\r\n"
    "clientRect=1000,-2000,3000,-1000\r\n"
    "[ViewElement_2002]\r\n"
    "painterType=5\r\n"
    "baseObjNr=101\r\n"
    "clientRect=5000,-2000\r\n"
    "[ViewElement_203]\r\n"
    "painterType=3\r\n"
    "baseObjNr=101\r\n"
    "clientRect=0,0,8000,-5000\r\n"
    "[Attribute_2001]\r\n"
    "ClickEvent=s=board-start\r\n"
    "ButtonStyle_default=s=50|#DDDDFF|#3333FF|#BBBBFF\r\n"
    "[Attribute_203]\r\n"
    "7SegmentFontSize=i=24\r\n"
    "OsziMaxValueY=f=5\r\n"
    "7SegmentTextColor=i=#FF0000\r\n"
    "[ContainingList]\r\n"
    "300=2001,2002,203\r\n"
    "  \r\n"
    "203=2001,2002,99,2003\r\n";

std::vector<int32_t> numbers(const ObjNrList& list) { return {list.begin(), list.end()}; }

class RepoProjectTest : public testing::Test {
protected:
    bool open(const std::string& text) {
        dir.write("physik.repo", text);
        return project.openProject(SString("ini:" + dir.file("physik.repo")));
    }
    TempDir dir;
    RepoProject project;
};

TEST_F(RepoProjectTest, ReadsElementsRectanglesAndNames) {
    ASSERT_TRUE(open(sample));
    EXPECT_TRUE(project.isOpen());
    ASSERT_EQ(project.getBaseList().getSize(), 2);
    ASSERT_EQ(project.getViewList().getSize(), 3);

    BaseElementData* start = project.getBaseList().find(100);
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->getName(), "Start");
    EXPECT_EQ(start->getShortName(), "St");
    EXPECT_EQ(start->getDescription(), "Startet die Messung");
    // Base elements all get painter type 1, whatever the file says.
    EXPECT_EQ(start->getPainterType(), 1);

    // A button at x 1000, top -2000, 3000 wide and 1000 high, extending downward.
    ViewElementData* button = project.getViewList().find(2001);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->getPainterType(), 5);
    EXPECT_EQ(button->getBaseObjNr(), 100);
    const SRect& r = button->getClientRect();
    EXPECT_EQ(r.x, 1000);
    EXPECT_EQ(r.y, -2000);
    EXPECT_EQ(r.width, 3000);
    EXPECT_EQ(r.height, -1000);
    EXPECT_EQ(r.getBottom(), -3000);
    EXPECT_EQ(button->getBaseElement(), start);
    EXPECT_EQ(button->getName(), "Start");
    EXPECT_EQ(button->getShortName(), "St");

    // Missing parts of the rectangle read as 0.
    const SRect& stop = project.getViewList().find(2002)->getClientRect();
    EXPECT_EQ(stop.x, 5000);
    EXPECT_EQ(stop.y, -2000);
    EXPECT_EQ(stop.width, 0);
    EXPECT_EQ(stop.height, 0);

    // The rectangle is handed out by reference: a painter keeps a pointer to it.
    EXPECT_EQ(&button->getClientRect(), &project.getViewList().find(2001)->getClientRect());
}

TEST_F(RepoProjectTest, AttributesAreReadOnlyWithTheirOwnType) {
    ASSERT_TRUE(open(sample));
    const ViewElementData* oszi = project.getViewList().find(203);
    EXPECT_EQ(oszi->getAttributeInt("7SegmentFontSize", -1), 24);
    EXPECT_EQ(oszi->getAttributeDouble("7SegmentFontSize", -1.5), -1.5);
    EXPECT_EQ(oszi->getAttributeDouble("OsziMaxValueY", -1.5), 5.0);
    EXPECT_EQ(oszi->getAttributeInt("OsziMaxValueY", -1), -1);
    EXPECT_EQ(oszi->getAttributeString("OsziMaxValueY", "dflt"), "dflt");
    // Colours are stored red in the low byte.
    EXPECT_EQ(oszi->getAttributeInt("7SegmentTextColor"), 0x000000FF);
    EXPECT_EQ(oszi->getAttributeInt("missing", 42), 42);
    // Keys compare exactly.
    EXPECT_EQ(oszi->getAttributeInt("7segmentfontsize", 7), 7);

    const ViewElementData* button = project.getViewList().find(2001);
    EXPECT_EQ(button->getAttributeString("ClickEvent"), "board-start");
    EXPECT_EQ(button->getAttributeString("ButtonStyle_default"), "50|#DDDDFF|#3333FF|#BBBBFF");
    // Attribute sections belong to their own element only.
    EXPECT_FALSE(project.getViewList().find(2002)->getAttributes().has("ClickEvent"));
}

TEST(ElementAttributeListe, ParsesTypeLettersValuesAndRepeatedKeys) {
    struct Case {
        const char* key;
        int type;
        const char* text;    // the value as listed
    };
    ElementAttributeListe list;
    list.load(
        "a=s=x=y=z\r\n"          // the value keeps further "="
        "b=integer=0x10\n"       // only the first letter of the type word counts
        "c=i=0b101\n"
        "d=f=  2.5volt\n"        // blanks before the number, text behind it
        "e=f=abc\n"              // no number: 0.0
        "f=q=7\n"                // unknown type letter
        "g==7\n"                 // empty type
        "h=i\n"                  // no second "=": empty value
        "j=s=first\n"
        "j=i=2\n"                // a repeated key replaces value and type
        "no equals sign\n"
        "k=s=\r\n");
    const Case cases[] = {
        {"a", ElementAttribut::typeString, "x=y=z"},
        {"b", ElementAttribut::typeInt, "16"},
        {"c", ElementAttribut::typeInt, "5"},
        {"d", ElementAttribut::typeDouble, "2.5"},
        {"e", ElementAttribut::typeDouble, "0"},
        {"f", ElementAttribut::typeNone, ""},
        {"g", ElementAttribut::typeNone, ""},
        {"h", ElementAttribut::typeInt, "0"},
        {"j", ElementAttribut::typeInt, "2"},
        {"no equals sign", ElementAttribut::typeNone, ""},
        {"k", ElementAttribut::typeString, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        ASSERT_TRUE(list.has(c.key));
        EXPECT_EQ(list.get(c.key).getType(), c.type);
        EXPECT_EQ(list.get(c.key).toString(), c.text);
    }
    // "j" keeps its first position; the empty last line is an attribute without value.
    EXPECT_EQ(list.getKeyAt(8), "j");
    EXPECT_EQ(list.getKeyAt(9), "no equals sign");
    EXPECT_TRUE(list.has(""));
    EXPECT_EQ(list.getSize(), 12);
    EXPECT_EQ(list.get("absent").getType(), ElementAttribut::typeNone);
}

TEST_F(RepoProjectTest, BrokenRepositoriesLeaveTheProjectClosedAndEmpty) {
    struct Case {
        const char* name;
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"base number below 100", "[BaseElement_100]\r\n[BaseElement_42]\r\nname=x\r\n",
         "Die Objektnummer 42 im Abschnitt [BaseElement_42] ist kleiner als 100."},
        {"negative base number", "[BaseElement_-5]\r\nname=x\r\n", "Die Objektnummer -5 im Abschnitt"},
        {"view number below 100", sample + "[ViewElement_99]\r\nbaseObjNr=100\r\n",
         "Die Objektnummer 99 im Abschnitt [ViewElement_99]"},
        {"view base number below 100", sample + "[ViewElement_2005]\r\nbaseObjNr=7\r\n",
         "Die baseObjNr im Abschnitt [ViewElement_2005] fehlt oder ist kleiner als 100."},
        {"view without base number", sample + "[ViewElement_2005]\r\nclientRect=1,2,3,4\r\n",
         "[ViewElement_2005]"},
        {"section without number", "[BaseElement_]\r\n", "Die Objektnummer 0 im Abschnitt [BaseElement_]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Opening again closes what was open, so a failure leaves nothing of either file.
        ASSERT_TRUE(open(sample));
        EXPECT_TRUE(project.getError().isEmpty());
        EXPECT_FALSE(open(c.text));
        EXPECT_FALSE(project.isOpen());
        EXPECT_EQ(project.getBaseList().getSize(), 0);
        EXPECT_EQ(project.getViewList().getSize(), 0);
        EXPECT_EQ(project.getRelations().getRecordCount(), 0);
        EXPECT_NE(project.getError().str().find(c.error), std::string::npos) << project.getError().str();
    }
}

TEST_F(RepoProjectTest, OnlyIniSpecsOfExistingFilesOpen) {
    dir.write("physik.repo", sample);
    const std::string path = dir.file("physik.repo");
    const std::string specs[] = {"xml:" + path, "INI:" + path, path, "ini:" + dir.file("missing.repo"),
                                 "ini:" + dir.path(), "ini:", ""};
    for (const std::string& spec : specs) {
        SCOPED_TRACE(spec);
        EXPECT_FALSE(project.openProject(SString(spec)));
        EXPECT_FALSE(project.isOpen());
        EXPECT_FALSE(project.getError().isEmpty());
    }
    EXPECT_NE(project.getError().str().find("Unbekannte Art des Projekts"), std::string::npos);
    EXPECT_TRUE(project.openProject(SString("ini:" + path)));
    project.close();
    EXPECT_FALSE(project.isOpen());
    EXPECT_EQ(project.getViewList().getSize(), 0);
}

TEST_F(RepoProjectTest, ElementLookupsFallBackToElements100And101) {
    ASSERT_TRUE(open(
        "[BaseElement_100]\r\nname=Ersatz\r\n[BaseElement_150]\r\nname=Echt\r\n"
        "[ViewElement_101]\r\nbaseObjNr=150\r\n[ViewElement_2001]\r\nbaseObjNr=777\r\n"));
    const BaseElementList& bases = project.getBaseList();
    const ViewElementList& views = project.getViewList();
    EXPECT_EQ(bases.find(150)->getName(), "Echt");
    EXPECT_EQ(bases.find(999)->getObjNr(), 100);
    EXPECT_EQ(views.find(2001)->getObjNr(), 2001);
    EXPECT_EQ(views.find(5)->getObjNr(), 101);

    // The view element whose base is missing shows element 100 (reported on the debug channel).
    ViewElementData* orphan = views.find(2001);
    EXPECT_EQ(orphan->getBaseElement(), bases.find(100));
    EXPECT_EQ(orphan->getName(), "Ersatz");

    // Without elements 100 and 101 there is nothing to fall back to.
    BaseElementList noBases;
    ViewElementList noViews;
    EXPECT_EQ(noBases.find(100), nullptr);
    EXPECT_EQ(noViews.find(101), nullptr);
}

TEST_F(RepoProjectTest, AViewElementWithoutAnyBaseOpensUnlinked) {
    ASSERT_TRUE(open("[BaseElement_150]\r\nname=x\r\n[ViewElement_2001]\r\nbaseObjNr=160\r\n"));
    ViewElementData* view = project.getViewList().find(2001);
    EXPECT_EQ(view->getBaseElement(), nullptr);
    EXPECT_EQ(view->getName(), "");
    EXPECT_EQ(project.getBaseElement(nullptr), nullptr);
}

TEST_F(RepoProjectTest, ContainingListGivesChildrenInOrderWithoutSmallNumbers) {
    ASSERT_TRUE(open(sample));
    ObjNrList children;
    EXPECT_TRUE(project.getRelations().getChilds(203, children));
    EXPECT_EQ(numbers(children), (std::vector<int32_t>{2001, 2002, 2003}));

    // getChilds appends; a parent without a record leaves the list as it was.
    EXPECT_TRUE(project.getRelations().getChilds(300, children));
    EXPECT_EQ(children.getSize(), 6);
    EXPECT_FALSE(project.getRelations().getChilds(301, children));
    EXPECT_EQ(children.getSize(), 6);
}

TEST(ElementRelationList, RecordsParentsAndBadLines) {
    ContainingList relations;
    // The first record of a parent counts; a record starting with 0 means "no children"; a
    // parent below 100 ends the load but keeps what came before it.
    EXPECT_FALSE(relations.load(
        " 300 = 2001, 2002\n"
        "300=9999\r\n"
        "\n"
        "400=0,2001\n"
        "500=\n"
        "600\n"
        "; a comment ends the relations\n"
        "700=2001\n"));
    ObjNrList parents;
    relations.getParents(parents);
    EXPECT_EQ(numbers(parents), (std::vector<int32_t>{300, 300, 400, 500, 600}));

    const std::pair<int32_t, std::vector<int32_t>> cases[] = {
        {300, {2001, 2002}}, {400, {}}, {500, {}}, {600, {}}};
    for (const auto& [parent, expected] : cases) {
        SCOPED_TRACE(parent);
        ObjNrList children;
        EXPECT_TRUE(relations.getChilds(parent, children));
        EXPECT_EQ(numbers(children), expected);
    }
    ObjNrList none;
    EXPECT_FALSE(relations.getChilds(700, none));
    EXPECT_FALSE(relations.addChild(99, "2001"));
    EXPECT_TRUE(relations.addChild(100, ""));
    EXPECT_EQ(relations.getRecordCount(), 6);
}

TEST(ObjNrList, UniqueAddAndBadIndices) {
    testsupport::MessageCapture boxes;
    ObjNrList list;
    EXPECT_EQ(list.getAt(0), 0);
    EXPECT_EQ(list.add(300), 0);
    EXPECT_EQ(list.add(301), 1);
    EXPECT_EQ(list.add(300, true), 0);
    EXPECT_EQ(list.add(300), 2);
    EXPECT_EQ(list.getSize(), 3);
    boxes.clear();
    // A bad index gives the nearest valid entry and shows the list error.
    EXPECT_EQ(list.getAt(-1), 300);
    EXPECT_EQ(list.getAt(7), 300);
    EXPECT_EQ(list.getAt(1), 301);
    EXPECT_FALSE(list.removeAt(3));
    EXPECT_EQ(boxes.boxes().size(), 3u);
    EXPECT_NE(boxes.all().find("ObjNrList.getAt"), std::string::npos) << boxes.all();
    EXPECT_TRUE(list.removeAt(0));
    EXPECT_EQ(list.getAt(0), 301);
    list.removeAll();
    EXPECT_EQ(list.getSize(), 0);
}

// The developers' trace shows why a repository failed or fell back.
TEST_F(RepoProjectTest, TraceLinesNameTheFailures) {
    SDebug& debug = globalDebug();
    const bool wasOn = debug.isOn();
    debug.setOn(true);
    debug.setEcho(true);
    // Nobody listens on port 1: the lines only go to standard error.
    debug.setTarget(SString(std::string("127.0.0.1")), 1);
    testing::internal::CaptureStderr();
    open("[BaseElement_100]\r\n[ViewElement_2001]\r\nbaseObjNr=150\r\n[ContainingList]\r\n300=2001\r\n");
    ObjNrList children;
    project.getRelations().getChilds(300, children);
    project.getRelations().getChilds(301, children);
    open("[BaseElement_42]\r\n");
    const std::string out = testing::internal::GetCapturedStderr();
    debug.setEcho(false);
    debug.setOn(wasOn);

    const std::string expected[] = {
        "list.getSize()=1\n",
        "BaseElement_100\n",
        "RelationSection: 300=2001\r\n",
        "Relation: 300=2001\n",
        "addChild [300]2001\n",
        "ERROR: ViewElement::setBaseElement(): pBaseElementData zeigt auf falsches Objekt, viewObjNr=2001, soll "
        "baseObjNr=150, ist baseObjnr=100\n",
        "getChilds(300): 1\n",
        "ERROR on ElementRelationList::getChilds(301); no ParentEntry Found\n",
        "ERROR bei : RepoProject::openProjectFromIni('" + dir.file("physik.repo") + "')\n",
    };
    for (const std::string& line : expected) EXPECT_NE(out.find(line), std::string::npos) << line << "\nin:\n" << out;
}

}  // namespace
