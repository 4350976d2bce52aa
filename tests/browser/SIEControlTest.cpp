// The browser host over Qt WebEngine: navigation hooks with decoded addresses, document
// complete, and the synchronous document operations, in a real (headless) browser.
#include <functional>
#include <string>
#include <vector>

#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include "browser/SIEControl.h"
#include "browser/SIEPage.h"
#include "foundation/SApplicationBasic.h"
#include "platform/Clock.h"
#include "support/TestSupport.h"

using testsupport::MessageCapture;
using testsupport::TempDir;

namespace {

// Dispatches events until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int ms = 5000) {
    const int64_t deadline = platform::monotonicMs() + ms;
    while (!condition()) {
        if (platform::monotonicMs() > deadline) return false;
        SApplicationBasic::wait(5);
    }
    return true;
}

// Records the hooks; cancels the application's schemes as the page windows do and can run
// document operations inside the hook.
class RecordingControl : public SIEControl {
public:
    struct Call {
        int flags;
        std::string address;
    };
    bool onBeforeNavigate2(int flags, const SString& address) override {
        calls.push_back({flags, address.str()});
        if (cancelAll) return true;
        if (address.startsWith("wnd:") || address.startsWith("cmd:")) {
            if (inHook) inHook(address);
            return true;
        }
        return false;
    }
    void onDocumentComplete() override { ++completed; }

    std::vector<Call> calls;
    int completed = 0;
    bool cancelAll = false;
    std::function<void(const SString&)> inHook;
};

// Windows-1252 pages, as the experiment's are.
const char* const firstPage =
    "<!DOCTYPE html><html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
    "charset=windows-1252\">"
    "<title>Eins</title></head><body>\n"
    "<div id=\"Einleitung\" class=\"navEntry\"><a id=\"toWnd\" "
    "href=\"wnd:Durchf\xFChrung\">Durchf\xFChrung</a></div>\n"
    "<div id=\"Durchf\xFChrung\" class=\"navEntry\">Durchf\xFChrung</div>\n"
    "<div class=\"ohneId\">ohne id</div>\n"
    "<p id=\"text\">Gr\xF6\xDF"
    "e \x80</p>\n"
    "<a id=\"toCmd\" href=\"cmd:burnHex:Duvaro:C:\\dir\\firmware 1.hex\">brennen</a>\n"
    "<a id=\"toCmdEmpty\" href=\"cmd:\">leer</a>\n"
    "<a id=\"toPage\" href=\"zwei.htm\">weiter</a>\n"
    "</body></html>\n";
const char* const secondPage =
    "<!DOCTYPE html><html><head><meta http-equiv=\"Content-Type\" content=\"text/html; "
    "charset=windows-1252\">"
    "<title>Zwei</title></head><body><p id=\"zwei\">Zwei</p></body></html>\n";

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.write("eins.htm", firstPage);
        dir.write("zwei.htm", secondPage);
        ASSERT_TRUE(host.create(nullptr, "host", SRect(0, 0, 400, 300), true));
        ASSERT_TRUE(control.create(&host, "browser", SRect(0, 0, 400, 300), true));
        control.navigate(SString(dir.file("eins.htm")));
        ASSERT_TRUE(waitFor([&] { return control.completed == 1; }));
        control.calls.clear();
    }
    void TearDown() override {
        control.destroyWindow();
        host.destroyWindow();
    }

    // Clicks an element of the page the way a user's click does, through the page's script.
    void click(const char* id) {
        control.getPage()->runJavaScript(QStringLiteral("document.getElementById('%1').click()").arg(id));
    }
    std::string currentFile() const { return control.getPage()->url().fileName().toStdString(); }

    TempDir dir;
    SWindow host;
    RecordingControl control;
};

}  // namespace

TEST(SIEControlTest, AddressesAreDecodedToWindows1252) {
    struct Case {
        const char* encoded;
        std::string decoded;
    } cases[] = {
        {"wnd:Durchf%C3%BChrung", "wnd:Durchf\xFChrung"},
        {"cmd:burnHex:Duvaro:C:%5Cdir%5Cfirmware.hex", "cmd:burnHex:Duvaro:C:\\dir\\firmware.hex"},
        {"cmd:a%20b%41", "cmd:a bA"},
        {"cmd:%E2%82%AC", "cmd:\x80"},  // the euro sign has its own byte in the code page
        {"cmd:%FC", "cmd:\xFC"},        // not UTF-8: the byte as it came
        {"cmd:%E2%86%92", "cmd:?"},     // outside the code page
        {"cmd:50%", "cmd:50%"},         // an incomplete escape stays
        {"cmd:%4x%", "cmd:%4x%"},
        {"cmd:", "cmd:"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SIEControl::decodeAddress(QByteArray(c.encoded)).str(), c.decoded) << c.encoded;
}

TEST(SIEControlTest, PathsBecomeFileAddresses) {
    EXPECT_EQ(SIEControl::toUrl("/tmp/x y.htm").toString(), QStringLiteral("file:///tmp/x y.htm"));
    EXPECT_EQ(SIEControl::toUrl("http://localhost/a").toString(), QStringLiteral("http://localhost/a"));
    EXPECT_EQ(SIEControl::toUrl("").toString(), QStringLiteral("about:blank"));
}

TEST_F(BrowserTest, CommandLinksReachTheHookDecodedAndAreNeverNavigated) {
    for (const char* id : {"toWnd", "toCmd", "toCmdEmpty"}) {
        const std::size_t before = control.calls.size();
        click(id);
        ASSERT_TRUE(waitFor([&] { return control.calls.size() > before; })) << id;
    }
    ASSERT_EQ(control.calls.size(), 3u);
    EXPECT_EQ(control.calls[0].address, "wnd:Durchf\xFChrung");
    EXPECT_EQ(control.calls[1].address, "cmd:burnHex:Duvaro:C:\\dir\\firmware 1.hex");
    EXPECT_EQ(control.calls[2].address, "cmd:");
    EXPECT_EQ(control.calls[0].flags, static_cast<int>(QWebEnginePage::NavigationTypeLinkClicked));
    // A cancelled navigation is no completed document, and the page stays.
    SApplicationBasic::wait(200);
    EXPECT_EQ(control.completed, 1);
    EXPECT_EQ(currentFile(), "eins.htm");
    EXPECT_EQ(control.getPage()->getPendingCount(), 0);
}

TEST_F(BrowserTest, OrdinaryLinkIsNavigatedAfterTheHook) {
    click("toPage");
    ASSERT_TRUE(waitFor([&] { return control.completed == 2; }));
    ASSERT_EQ(control.calls.size(), 1u);
    EXPECT_TRUE(control.calls[0].address.starts_with("file:///")) << control.calls[0].address;
    EXPECT_TRUE(control.calls[0].address.ends_with("/zwei.htm"));
    EXPECT_EQ(currentFile(), "zwei.htm");
    EXPECT_TRUE(control.getDocument().getElementById("zwei").isValid());
}

TEST_F(BrowserTest, HookCancelsAnOrdinaryLink) {
    control.cancelAll = true;
    click("toPage");
    ASSERT_TRUE(waitFor([&] { return control.calls.size() == 1; }));
    SApplicationBasic::wait(200);
    EXPECT_EQ(control.completed, 1);
    EXPECT_EQ(currentFile(), "eins.htm");
}

// A document's hook runs inside the browser's callback, where no script can run: document
// operations fail there instead of crashing the browser, and the navigation goes on.
TEST_F(BrowserTest, DocumentOperationsAreRefusedInsideADocumentsHook) {
    MessageCapture capture;
    struct Probe : RecordingControl {
        bool onBeforeNavigate2(int flags, const SString& address) override {
            if (address.endsWith("zwei.htm")) documentValid = getDocument().isValid() ? 1 : 0;
            return RecordingControl::onBeforeNavigate2(flags, address);
        }
        int documentValid = -1;
    };
    Probe probe;
    ASSERT_TRUE(probe.create(&host, "probe", SRect(0, 0, 400, 300), true));
    probe.navigate(SString(dir.file("eins.htm")));
    ASSERT_TRUE(waitFor([&] { return probe.completed == 1; }));
    probe.getPage()->runJavaScript(QStringLiteral("document.getElementById('toPage').click()"));
    ASSERT_TRUE(waitFor([&] { return probe.completed == 2; }));
    EXPECT_EQ(probe.documentValid, 0);
    EXPECT_EQ(probe.getPage()->url().fileName().toStdString(), "zwei.htm");
    EXPECT_NE(capture.all().find("Das Dokument-Objekt konnte nicht ermittelt werden"), std::string::npos);
    probe.destroyWindow();
}

TEST_F(BrowserTest, HookCancelsNavigate) {
    control.cancelAll = true;
    control.navigate(SString(dir.file("zwei.htm")));
    SApplicationBasic::wait(300);
    ASSERT_EQ(control.calls.size(), 1u);
    EXPECT_EQ(control.calls[0].flags, static_cast<int>(QWebEnginePage::NavigationTypeTyped));
    EXPECT_EQ(control.completed, 1);
    EXPECT_EQ(currentFile(), "eins.htm");
}

// The hook runs document operations and waits for their answers, as the page windows do when
// a link switches the page.
TEST_F(BrowserTest, DocumentOperationsWorkInsideTheHook) {
    std::vector<std::string> seen;
    control.inHook = [&](const SString&) {
        SHtmlDocument2 doc = control.getDocument();
        SHtmlElementCollection divs = doc.getElementsByTagName("DIV");
        for (int i = 0; i < divs.getCount(); ++i) {
            SHtmlElement div = divs.getAt(i);
            if (div.getId().isEmpty()) continue;
            seen.push_back(div.getId().str());
            div.setClass(div.getId() == "Durchf\xFChrung" ? "aktNavEntry" : "navEntry");
        }
    };
    for (int round = 0; round < 3; ++round) {
        seen.clear();
        const std::size_t before = control.calls.size();
        click("toWnd");
        ASSERT_TRUE(waitFor([&] { return control.calls.size() > before && seen.size() == 2; })) << round;
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Einleitung", "Durchf\xFChrung"}));
    SHtmlDocument2 doc = control.getDocument();
    EXPECT_EQ(doc.getElementById("Durchf\xFChrung").getClass().str(), "aktNavEntry");
    EXPECT_EQ(doc.getElementById("Einleitung").getClass().str(), "navEntry");
}

TEST_F(BrowserTest, ElementOperationsTransferWindows1252) {
    SHtmlDocument2 doc = control.getDocument();
    ASSERT_TRUE(doc.isValid());

    SHtmlElement entry = doc.getElementById("Durchf\xFChrung");
    ASSERT_TRUE(entry.isValid());
    EXPECT_EQ(entry.getId().str(), "Durchf\xFChrung");
    EXPECT_EQ(entry.getClass().str(), "navEntry");
    entry.setClass("aktNavEntry");
    EXPECT_EQ(doc.getElementById("Durchf\xFChrung").getClass().str(), "aktNavEntry");

    SHtmlElement text = doc.getElementById("text");
    EXPECT_EQ(text.getInnerHtml().str(),
              "Gr\xF6\xDF"
              "e \x80");
    text.setInnerHtml("<b>\xE4\xD6\xFC</b> &amp; 1.3.7");
    EXPECT_EQ(text.getInnerHtml().str(), "<b>\xE4\xD6\xFC</b> &amp; 1.3.7");
    // A character the code page cannot hold comes back as a reference, not as '?'.
    control.getPage()->runJavaScript(
        QStringLiteral("document.getElementById('text').textContent='a\\u2192b'"));
    ASSERT_TRUE(waitFor([&] { return text.getInnerHtml() == "a&#8594;b"; }));

    SHtmlElement missing = doc.getElementById("gibtsnicht");
    EXPECT_FALSE(missing.isValid());
    EXPECT_TRUE(missing.getInnerHtml().isEmpty());
    missing.setClass("x");  // does nothing

    SHtmlElementCollection divs = doc.getElementsByTagName("div");
    ASSERT_TRUE(divs.isValid());
    ASSERT_EQ(divs.getCount(), 3);
    EXPECT_EQ(divs.getAt(0).getId().str(), "Einleitung");
    EXPECT_TRUE(divs.getAt(2).isValid());
    EXPECT_EQ(divs.getAt(2).getId().str(), "");
    EXPECT_EQ(divs.getAt(2).getClass().str(), "ohneId");
    EXPECT_FALSE(divs.getAt(3).isValid());
    EXPECT_FALSE(divs.getAt(-1).isValid());
    EXPECT_EQ(doc.getElementsByTagName("TABLE").getCount(), 0);
}

TEST_F(BrowserTest, WrappersOfAnEarlierDocumentFindNothing) {
    SHtmlDocument2 first = control.getDocument();
    SHtmlElement text = first.getElementById("text");
    ASSERT_TRUE(text.isValid());
    control.navigate(SString(dir.file("zwei.htm")));
    ASSERT_TRUE(waitFor([&] { return control.completed == 2; }));
    EXPECT_TRUE(text.getInnerHtml().isEmpty());
    EXPECT_FALSE(first.getElementById("zwei").isValid());
    EXPECT_EQ(first.getElementsByTagName("P").getCount(), 0);
    EXPECT_TRUE(control.getDocument().getElementById("zwei").isValid());
}

TEST(SIEControlTest, ControlWithoutBrowserHasNoDocument) {
    MessageCapture capture;
    SIEControl control;
    SHtmlDocument2 doc = control.getDocument();
    EXPECT_FALSE(doc.isValid());
    EXPECT_FALSE(doc.getElementById("x").isValid());
    ASSERT_EQ(capture.boxes().size(), 1u);
    EXPECT_EQ(capture.boxes()[0].text, "Das Dokument-Objekt konnte nicht ermittelt werden");
    EXPECT_EQ(capture.boxes()[0].title, "Fehler !");
}

// The browser is made once the event loop runs after the control's window: an address
// navigated to before then is loaded as it is made, after the hook was asked once.
TEST_F(BrowserTest, BrowserIsMadeAfterTheWindowAndLoadsTheAddressNavigatedBefore) {
    RecordingControl later;
    ASSERT_TRUE(later.create(&host, "later", SRect(0, 0, 400, 300), true));
    EXPECT_FALSE(later.hasBrowser());
    later.navigate(SString(dir.file("zwei.htm")));
    EXPECT_FALSE(later.hasBrowser());
    ASSERT_EQ(later.calls.size(), 1u);
    ASSERT_TRUE(waitFor([&] { return later.completed == 1; }));
    EXPECT_TRUE(later.hasBrowser());
    EXPECT_EQ(later.getPage()->url().fileName().toStdString(), "zwei.htm");
    EXPECT_EQ(later.calls.size(), 1u);
    later.destroyWindow();
}

// Whoever asks for the browser before then gets it at once; a control that goes before then
// makes none.
TEST_F(BrowserTest, BrowserIsMadeWhenAskedFor) {
    RecordingControl asked;
    ASSERT_TRUE(asked.create(&host, "asked", SRect(0, 0, 400, 300), true));
    asked.navigate(SString(dir.file("zwei.htm")));
    ASSERT_NE(asked.getPage(), nullptr);
    EXPECT_TRUE(asked.hasBrowser());
    EXPECT_EQ(asked.getView()->page(), asked.getPage());
    ASSERT_TRUE(waitFor([&] { return asked.completed == 1; }));
    EXPECT_EQ(asked.getPage()->url().fileName().toStdString(), "zwei.htm");
    asked.destroyWindow();

    RecordingControl gone;
    ASSERT_TRUE(gone.create(&host, "gone", SRect(0, 0, 400, 300), true));
    gone.navigate(SString(dir.file("zwei.htm")));
    gone.destroyWindow();
    SApplicationBasic::wait(50);
    EXPECT_FALSE(gone.hasBrowser());
    EXPECT_EQ(gone.completed, 0);
}

// One call gives every element of a tag that has an id and a class its class: the one with
// the id one class, the others another; elements without id keep theirs.
TEST_F(BrowserTest, ClassesOfATagAreSetInOneCall) {
    SHtmlDocument2 doc = control.getDocument();
    ASSERT_TRUE(doc.isValid());
    auto classOf = [&](const char* id) { return doc.getElementById(id).getClass().str(); };
    auto unnamed = [&] {
        SHtmlElementCollection divs = doc.getElementsByTagName("DIV");
        for (int i = 0; i < divs.getCount(); ++i)
            if (divs.getAt(i).getId().isEmpty()) return divs.getAt(i).getClass().str();
        return std::string("(none)");
    };
    EXPECT_EQ(doc.setClassesByTagName("DIV", "Durchf\xFChrung", "aktNavEntry", "navEntry"), 2);
    EXPECT_EQ(classOf("Durchf\xFChrung"), "aktNavEntry");
    EXPECT_EQ(classOf("Einleitung"), "navEntry");
    EXPECT_EQ(unnamed(), "ohneId");
    EXPECT_EQ(doc.setClassesByTagName("div", "Einleitung", "aktNavEntry", "navEntry"), 2);
    EXPECT_EQ(classOf("Einleitung"), "aktNavEntry");
    EXPECT_EQ(classOf("Durchf\xFChrung"), "navEntry");
    // A name no element has: all get the other class.
    EXPECT_EQ(doc.setClassesByTagName("DIV", "unbekannt", "aktNavEntry", "navEntry"), 2);
    EXPECT_EQ(classOf("Einleitung"), "navEntry");
    // After a navigation the document is gone.
    control.navigate(SString(dir.file("zwei.htm")));
    ASSERT_TRUE(waitFor([&] { return control.completed == 2; }));
    EXPECT_EQ(doc.setClassesByTagName("DIV", "Einleitung", "aktNavEntry", "navEntry"), -1);
}
