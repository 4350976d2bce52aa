// The experiment end to end in the real main window: the virtual board on a pseudo-terminal,
// registered in a COM port map of the test's own, answers the start, stop and burn commands.
#include <fstream>
#include <iterator>

#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include "AppTest.h"
#include "app/DiagramWindow.h"
#include "app/Fenster.h"
#include "app/Globals.h"
#include "board/SHexFile.h"
#include "compat/QtWidgets.h"
#include "foundation/SApplicationBasic.h"
#include "foundation/SLanguage.h"
#include "foundation/SResources.h"
#include "gui/SFileDialog.h"
#include "platform/UsbSerialDriver.h"
#include "sim/VirtualBoard.h"
#include "support/FakeSysfs.h"
#include "support/TestSupport.h"
#include "view/Painter_7Segment.h"
#include "view/Painter_Button.h"
#include "view/Painter_Oszi.h"

using apptest::waitFor;

namespace {

SString raw(const std::string& text) {
    return SString(text);
}

// The CP210x driver as the system would report it, for the test's lifetime.
class DriverStandIn {
public:
    DriverStandIn(bool installed, const std::string& version) {
        platform::setUsbSerialDriverProbe([installed, version](const std::string&) {
            platform::UsbSerialDriverState state;
            state.installed = state.active = installed;
            state.version = installed ? version : std::string();
            return state;
        });
    }
    ~DriverStandIn() { platform::setUsbSerialDriverProbe(nullptr); }
};

class ExperimentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fenster.isCreated());
        ASSERT_TRUE(waitFor([&] { return fenster.getHtmlWindows().allLoaded(); }));
        ASSERT_NE(oszi(203), nullptr);
        ASSERT_NE(oszi(204), nullptr);
        options.seed = 7;
        options.registerPort = true;
        options.comName = "com7";
        // A 60 s cycle in 3 s.
        options.timeScale = 20.0;
    }
    void TearDown() override {
        SFileDialog::setChooser(nullptr);
        fenster.stopMeasurement();
        board.stop();
        fenster.showPage("Einleitung");
    }
    void startBoard() { ASSERT_TRUE(board.start(options)) << board.getError().str(); }
    void send(const char* text, int type = 0) {
        SEvent event;
        event.type = type;
        event.text = text;
        fenster.getEventManager().send(event);
    }
    Painter_Oszi* oszi(int32_t nr) { return dynamic_cast<Painter_Oszi*>(fenster.findPainter(nr)); }
    int samples(int32_t nr) {
        Painter_Oszi* o = oszi(nr);
        return o && o->getChannels().getSize() > 0 ? o->getChannels().getAt(0)->values.getSize() : 0;
    }
    bool disabled(int32_t nr) {
        auto* button = dynamic_cast<Painter_Button*>(fenster.findPainter(nr));
        return button && button->getButton().isDisabled();
    }
    // Start greyed and stop active while running; the other way round when idle.
    void expectButtons(bool running) {
        EXPECT_EQ(disabled(2001), running);
        EXPECT_EQ(disabled(2002), !running);
        EXPECT_EQ(fenster.isMeasuring(), running);
    }
    SString pageElement(const char* id) {
        return fenster.getHtmlWindows().getById("Vorbereitung")->getDocument().getElementById(id).getInnerHtml();
    }

    Fenster& fenster = globalFenster();
    testsupport::TempDir dir;
    testsupport::ScopedEnv comPorts{"NUK_COMPORTS", dir.file("comports.ini").c_str()};
    testsupport::MessageCapture messages;
    VirtualBoard::Options options;
    VirtualBoard board;
};

TEST_F(ExperimentTest, StartAndStopWithTheBoardAttachedDirectly) {
    startBoard();
    send("board-start");
    EXPECT_EQ(messages.all(), "");
    expectButtons(true);
    EXPECT_TRUE(board.isMeasuring());
    // Both curves fill from the channels (charging first, then discharging).
    ASSERT_TRUE(waitFor([&] { return samples(203) > 5; }, 5000));
    ASSERT_TRUE(waitFor([&] { return samples(204) > 5; }, 5000));
    EXPECT_FALSE(fenster.getBoard().getPort().isHungUp());

    send("board-stop");
    expectButtons(false);
    EXPECT_FALSE(fenster.getBoard().getPort().isOpen());
    EXPECT_TRUE(waitFor([&] { return !board.isMeasuring(); }, 2000));
    EXPECT_EQ(messages.all(), "");
}

// One Start is one run: after one charging and one discharging half cycle the firmware ends
// the run, and the program goes back to idle as after Stop; no second cycle follows.
// (The firmware on the simulated controller ends its run the same way; its tests show that.)
TEST_F(ExperimentTest, TheRunEndsByItselfAfterOneCycle) {
    options.adapter = true;
    startBoard();
    send("board-start");
    ASSERT_EQ(messages.all(), "");
    expectButtons(true);
    // 60 s of the experiment at 20 times the speed.
    ASSERT_TRUE(waitFor([&] { return !fenster.isMeasuring(); }, 8000));
    expectButtons(false);
    EXPECT_FALSE(fenster.getBoard().getPort().isOpen());
    EXPECT_FALSE(board.isMeasuring());
    ASSERT_TRUE(waitFor([&] { return samples(204) == 300; }, 2000));
    EXPECT_EQ(samples(203), 300);
    EXPECT_EQ(messages.all(), "");
    // Nothing more arrives: the board was released and its run is over.
    SApplicationBasic::wait(500);
    EXPECT_EQ(samples(203), 300);
    EXPECT_EQ(samples(204), 300);
}

// Started with a charged capacitor, the board first empties it and sends only U_C and I: the
// displays change at once, the charging oscilloscope says what happens, and the run begins
// when the capacitor is empty.
TEST_F(ExperimentTest, AChargedCapacitorIsEmptiedVisiblyBeforeTheRun) {
    startBoard();
    send("board-start");
    ASSERT_TRUE(waitFor([&] { return samples(203) > 150; }, 8000));
    send("board-stop");
    const uint32_t framesBefore = fenster.getChannel(3).getUpdateCount();
    send("board-start");
    ASSERT_EQ(messages.all(), "");
    ASSERT_TRUE(waitFor([&] { return fenster.getChannel(3).getUpdateCount() != framesBefore; }, 1000));
    ASSERT_TRUE(waitFor([&] { return !oszi(203)->getEvaluation().getNotice().empty(); }, 1000));
    const std::string notice = oszi(203)->getEvaluation().getNotice();
    EXPECT_EQ(notice.rfind("Kondensator wird entladen \xE2\x80\xA6 ", 0), 0u) << notice;
    EXPECT_EQ(notice.substr(notice.size() - 2), " V") << notice;
    EXPECT_NE(notice.find(','), std::string::npos) << "a decimal comma: " << notice;
    EXPECT_EQ(samples(203), 0);
    EXPECT_EQ(samples(204), 0);
    // The run begins with the empty capacitor, and the line goes.
    ASSERT_TRUE(waitFor([&] { return samples(203) > 0; }, 8000));
    ASSERT_TRUE(waitFor([&] { return oszi(203)->getEvaluation().getNotice().empty(); }, 1000));
    EXPECT_LT(oszi(203)->getChannels().getAt(0)->values[0].yValue, 0.05F);
}

TEST_F(ExperimentTest, StartBehindTheAdapterSwitchesPassThroughAndSupply) {
    options.adapter = true;
    startBoard();
    EXPECT_FALSE(board.isPassThrough());
    send("board-start");
    EXPECT_EQ(messages.all(), "");
    expectButtons(true);
    EXPECT_TRUE(board.isPassThrough());
    EXPECT_TRUE(board.isSupplyOn());
    EXPECT_TRUE(board.isMeasuring());
    ASSERT_TRUE(waitFor([&] { return samples(203) > 5; }, 5000));

    send("board-stop");
    expectButtons(false);
    EXPECT_TRUE(waitFor([&] { return !board.isMeasuring(); }, 2000));
    EXPECT_FALSE(fenster.getBoard().getPort().isOpen());
    // The stop puts the adapter back into programmer mode and switches the supply off.
    EXPECT_FALSE(board.isPassThrough());
    EXPECT_FALSE(board.isSupplyOn());

    // The next start looks for the board behind the adapter first: no direct "ver" reaches
    // the adapter's programmer ('v' would be its first byte there).
    const int64_t versBefore = board.getProgrammer()->getCommandCount('v');
    send("board-start");
    EXPECT_EQ(messages.all(), "");
    EXPECT_TRUE(board.isPassThrough());
    ASSERT_TRUE(waitFor([&] { return samples(203) > 0; }, 5000));
    EXPECT_EQ(board.getProgrammer()->getCommandCount('v'), versBefore);
    send("board-stop");
}

TEST_F(ExperimentTest, WithoutBoardF5AsksForTheBoardAndStartIsActiveAgain) {
    testsupport::FakeSysfs sysfs(dir.file("sys"));
    DriverStandIn driver(true, "6.1.0");
    ASSERT_TRUE(qtcompat::activateWindow(fenster.getWidget()));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : fenster.getWidget(), Qt::Key_F5);
    ASSERT_EQ(messages.boxes().size(), 1u) << messages.all();
    EXPECT_EQ(messages.boxes()[0].text,
              "Es wurde kein Board gefunden. Bitte schlie\xDF" "en Sie das Board an den USB-Anschluss an und pr\xFC"
              "fen Sie das USB-Kabel.");
    EXPECT_EQ(messages.boxes()[0].title, "Fehler");
    EXPECT_EQ(messages.boxes()[0].flags, SError::iconInformation);
    // After the message Start is active again and Stop greyed: nothing runs.
    expectButtons(false);
    EXPECT_EQ(fenster.getSession().getState(), MeasurementSession::State::failed);
}

// The channel model says what the diagram shows: the oscilloscopes' corrections, steps and
// captions and the displays' values are the ones the painters read from the same files.
TEST_F(ExperimentTest, TheChannelModelDescribesTheDiagram) {
    const ChannelModel& model = fenster.getChannelModel();
    ASSERT_TRUE(model.isComplete());
    for (const ChannelModel::Curve& curve : model.getCurves()) {
        SCOPED_TRACE(curve.objNr);
        Painter_Oszi* painter = oszi(curve.objNr);
        ASSERT_NE(painter, nullptr);
        ASSERT_EQ(painter->getChannels().getSize(), 1);
        const SOsziChannel& channel = *painter->getChannels().getAt(0);
        EXPECT_EQ(channel.yFactor, curve.factor);
        EXPECT_EQ(channel.yOffset, curve.offset);
        EXPECT_EQ(painter->getXStep(), static_cast<float>(curve.step));
        EXPECT_EQ(painter->getXText(), curve.xCaption);
        EXPECT_EQ(painter->getYText(), curve.yCaption);
        EXPECT_EQ(painter->getExtDataList().getAt(0),
                  fenster.getProjectData().getExtDataManager().get(curve.channel.name));
    }
    for (const ChannelModel::Display* display : {model.voltageDisplay(), model.currentDisplay()}) {
        auto* painter = dynamic_cast<Painter_7Segment*>(fenster.findPainter(display->objNr));
        ASSERT_NE(painter, nullptr) << display->objNr;
        const SString shown = painter->formatValue(1000);
        char expected[32];
        std::snprintf(expected, sizeof expected, display == model.voltageDisplay() ? "%.2f V" : "%.3f mA",
                      ChannelModel::displayValue(*display, 1000));
        std::string localised = expected;
        for (char& c : localised)
            if (c == '.') c = globalLanguage().getDecimalSeparator();
        EXPECT_EQ(shown.str(), localised) << display->objNr;
    }
}

// Each saved run's time column counts from its own first sample in exact steps of 0.1 s, as the
// diagram's x axis shows it, however many runs came before.
TEST_F(ExperimentTest, EverySavedRunCountsItsTimeFromZero) {
    startBoard();
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        send("board-start");
        ASSERT_TRUE(waitFor([&] { return !fenster.isMeasuring(); }, 10000));
        const std::string name = "lauf" + std::to_string(run) + ".csv";
        ASSERT_TRUE(fenster.saveCsv(raw(dir.file(name))));
        const std::string csv = dir.read(name);
        const std::size_t firstRow = csv.find("\r\n") + 2;
        EXPECT_EQ(csv.substr(firstRow, 9), "0,000000;") << csv.substr(0, 200);
        EXPECT_NE(csv.find("\r\n0,300000;"), std::string::npos);
        EXPECT_NE(csv.find("\r\n29,900000;"), std::string::npos);
        EXPECT_EQ(csv.find("\r\n30,000000;"), std::string::npos) << "one cycle has 300 samples a half";
    }
    EXPECT_EQ(messages.all(), "");
}

// The board is there but its port may not be opened (the pupil's account is not in the group
// "dialout"): Start and "Firmware brennen" say what to type instead of "attach a board".
TEST_F(ExperimentTest, APortThatMayNotBeOpenedSaysHowToGetPermission) {
    options.adapter = true;
    startBoard();
    testsupport::DeniedSerialOpen denied;
    send("board-start");
    ASSERT_EQ(messages.boxes().size(), 1u) << messages.all();
    EXPECT_NE(messages.boxes()[0].text.find("Der Port com7"), std::string::npos) << messages.all();
    EXPECT_NE(messages.boxes()[0].text.find("sudo usermod -aG dialout "), std::string::npos) << messages.all();
    send("board-stop");
    expectButtons(false);

    messages.clear();
    fenster.showPage("Vorbereitung");
    send("cmd:burnHex:firmware.hex", eventPageCommand);
    ASSERT_EQ(messages.boxes().size(), 1u) << messages.all();
    EXPECT_NE(messages.boxes()[0].text.find("sudo usermod -aG dialout "), std::string::npos) << messages.all();
    EXPECT_FALSE(board.isMeasuring());
}

// Versions are compared as numbers, part by part; a driver too old or missing stops the start
// with its message.
TEST_F(ExperimentTest, DriverCheck) {
    struct Case {
        bool installed;
        const char* version;
        bool passes;
        const char* message;
    } cases[] = {
        {true, "4.38", true, ""},
        {true, "4.40", true, ""},
        {true, "10.1", true, ""},
        {true, "6.1.0", true, ""},
        {true, "4.37", false, "Der auf dem System vorhandene Ravlink-Treiber (Version 4.37) ist nicht aktuell.\r\n"},
        {true, "", false, "Der auf dem System vorhandene Ravlink-Treiber (Version ) ist nicht aktuell.\r\n"},
        {false, "", false, "Der Treiber des USB-Boards ist nicht oder nicht richtig installiert.\r\n"},
    };
    for (const Case& c : cases) {
        DriverStandIn driver(c.installed, c.version);
        messages.clear();
        EXPECT_EQ(fenster.checkDriver(true), c.passes) << c.version;
        const std::string text = messages.boxes().empty() ? "" : messages.boxes()[0].text;
        EXPECT_EQ(text.substr(0, std::string(c.message).size()), c.message) << c.version;
        EXPECT_EQ(messages.boxes().size(), c.passes ? 0u : 1u) << c.version;
        messages.clear();
        EXPECT_EQ(fenster.checkDriver(false), c.passes) << c.version;
        EXPECT_TRUE(messages.boxes().empty());
    }
    // A start the driver stops leaves Start active, Stop greyed.
    DriverStandIn old(true, "3.1");
    messages.clear();
    send("board-start");
    EXPECT_EQ(messages.boxes().size(), 1u);
    expectButtons(false);
}

// After the save dialog the window's keys work again: F5 starts the next run. The real dialog,
// in German, accepted by a timer.
TEST_F(ExperimentTest, F5StartsTheNextRunAfterASaveThroughTheDialog) {
    // The dialog proposes the documents folder: the test's own, not the user's.
    testsupport::ScopedEnv home("HOME", dir.path().c_str());
    testsupport::ScopedEnv path("PATH", dir.file("leer").c_str());
    startBoard();
    ASSERT_TRUE(qtcompat::activateWindow(fenster.getWidget()));
    SFileDialog::setChooser(nullptr);
    std::string saved;
    QStringList buttons;
    QTimer accept;
    QObject::connect(&accept, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        accept.stop();
        QPushButton* save = nullptr;
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            buttons << button->text().remove(QLatin1Char('&'));
            if (buttons.back() == QStringLiteral("Speichern")) save = button;
        }
        // As the user does: the proposed name, then the dialog's save button.
        if (!dialog->selectedFiles().isEmpty()) saved = dialog->selectedFiles().first().toStdString();
        if (save) QMetaObject::invokeMethod(save, "click", Qt::QueuedConnection);
    });
    accept.start(50);
    send("save-csv");
    accept.stop();
    ASSERT_FALSE(saved.empty());
    std::ifstream written(saved, std::ios::binary);
    std::string header;
    std::getline(written, header);
    EXPECT_EQ(header.rfind("t in s;", 0), 0u) << saved;
    EXPECT_TRUE(buttons.contains(QStringLiteral("Speichern"))) << buttons.join(QLatin1Char(',')).toStdString();
    EXPECT_TRUE(buttons.contains(QStringLiteral("Abbrechen"))) << buttons.join(QLatin1Char(',')).toStdString();

    // The keyboard is back in the main window: F5 where the keyboard now is starts the run.
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == fenster.getWidget(); }, 2000));
    QWidget* keyboard = QApplication::focusWidget() ? QApplication::focusWidget() : fenster.getWidget();
    QTest::keyClick(keyboard, Qt::Key_F5);
    expectButtons(true);
    EXPECT_TRUE(waitFor([&] { return board.isMeasuring(); }, 2000));
}

TEST_F(ExperimentTest, KeysSendTheButtonsCommandsFromAnyPane) {
    startBoard();
    fenster.showPage("Vorbereitung");
    // The browser pane has the keyboard focus.
    QWidget* browser = fenster.getHtmlWindows().getById("Vorbereitung")->getWidget();
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(qtcompat::activateWindow(fenster.getWidget()));
    QWidget* target = browser->focusProxy() ? browser->focusProxy() : browser;
    target->setFocus();
    ASSERT_TRUE(waitFor([&] { return QApplication::focusWidget() == target; }, 2000));

    QTest::keyClick(target, Qt::Key_F6);
    EXPECT_FALSE(board.isMeasuring());
    QTest::keyClick(target, Qt::Key_F5);
    expectButtons(true);
    EXPECT_TRUE(board.isMeasuring());
    // The greyed start button ignores the key as it ignores a click.
    QTest::keyClick(target, Qt::Key_F5);
    EXPECT_EQ(messages.all(), "");
    ASSERT_TRUE(waitFor([&] { return samples(203) > 0; }, 5000));

    QTest::keyClick(target, Qt::Key_F6);
    expectButtons(false);
    EXPECT_TRUE(waitFor([&] { return !board.isMeasuring(); }, 2000));

    int asked = 0;
    SFileDialog::setChooser([&](const SString&, const SString&, const SString&) {
        ++asked;
        return raw(dir.file("taste.csv"));
    });
    QTest::keyClick(target, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(dir.read("taste.csv").rfind("t in s;", 0) == 0) << dir.read("taste.csv");
}

// In English the save dialog offers "," and decimal points first, which is also what a save
// without the dialog writes, and proposes "Measurement <time>.csv"; the second entry is the
// German variant.
TEST_F(ExperimentTest, CsvInEnglish) {
    const std::vector<Painter_Oszi*> found = fenster.findOscilloscopes();
    ASSERT_EQ(found.size(), 2u);
    for (Painter_Oszi* o : found) {
        SOsziValues& v = o->getChannels().getAt(0)->values;
        v.removeAll();
        SOsziValue value;
        value.xValue = 0.1F;
        value.yValue = 1.25F;
        v.add(value);
    }
    std::ifstream in(testsupport::sourceDir() + "/resources/kondensator_en.lng", std::ios::binary);
    const std::string texts((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    globalLanguage().clear();
    ASSERT_TRUE(globalLanguage().load(texts));
    globalLanguage().setLanguage("en");
    struct German {
        ~German() { globalLanguage().clear(); }
    } german;
    const std::string head = found[0]->getXText().str() + "," + found[0]->getYText().str() + "," +
                             found[1]->getYText().str() + "\r\n";

    SString proposed, filter;
    SFileDialog::setChooser([&](const SString&, const SString& f, const SString& p) {
        filter = f;
        proposed = p;
        return raw(dir.file("en.csv"));
    });
    send("save-csv");
    EXPECT_EQ(filter.str(), "CSV (comma, decimal point)|*.csv|CSV (semicolon, decimal comma)|*.csv|All files|*.*");
    EXPECT_NE(proposed.str().find("/Measurement 2"), std::string::npos) << proposed.str();
    EXPECT_EQ(dir.read("en.csv"), head + "0.000000,1.250000,1.250000\r\n");
    SFileDialog::setChooser([&](const SString&, const SString&, const SString&) { return raw(dir.file("de.csv")); }, 1);
    send("save-csv");
    EXPECT_EQ(dir.read("de.csv").substr(head.size()), "0,000000;1,250000;1,250000\r\n");
    SFileDialog::setChooser(nullptr);
    ASSERT_TRUE(fenster.saveCsv(raw(dir.file("direct.csv"))));
    EXPECT_EQ(dir.read("direct.csv"), dir.read("en.csv"));
}

// The samples of both oscilloscopes as the file holds them, "Laden" first, with the x column
// of the first one collected and the two captions as column headers: every sample shown, an
// empty cell where an oscilloscope has none.
TEST_F(ExperimentTest, CsvOfTheOscilloscopesSamples) {
    const std::vector<Painter_Oszi*> found = fenster.findOscilloscopes();
    ASSERT_EQ(found.size(), 2u);
    auto fill = [](Painter_Oszi* o, std::vector<std::pair<float, float>> values) {
        SOsziValues& v = o->getChannels().getAt(0)->values;
        v.removeAll();
        for (auto [x, y] : values) {
            SOsziValue value;
            value.xValue = x;
            value.yValue = y;
            v.add(value);
        }
    };
    fill(found[0], {{0.0f, 0.5f}, {0.1f, 1.25f}, {0.2f, 2.0f}});
    fill(found[1], {{9.0f, 4.5f}, {9.1f, -0.25f}});
    const std::string expected = found[0]->getXText().str() + ";" + found[0]->getYText().str() + ";" +
                                 found[1]->getYText().str() +
                                 "\r\n"
                                 "0,000000;0,500000;4,500000\r\n"
                                 "0,100000;1,250000;-0,250000\r\n"
                                 "0,200000;2,000000;\r\n";
    EXPECT_EQ(found[0]->getXText().str(), "t in s");
    EXPECT_EQ(found[0]->getYText().str(), "U_C (Laden) in V");
    EXPECT_EQ(found[1]->getYText().str(), "U_C (Entladen) in V");
    EXPECT_NE(found[0]->getYText().str(), found[1]->getYText().str());
    EXPECT_TRUE(found[0]->getYText().str().find("in V") != std::string::npos);

    // A given name is written without asking.
    SFileDialog::setChooser([](const SString&, const SString&, const SString&) -> SString {
        ADD_FAILURE() << "asked";
        return {};
    });
    ASSERT_TRUE(fenster.saveCsv(raw(dir.file("a.csv"))));
    EXPECT_EQ(dir.read("a.csv"), expected);

    // "save-csv" asks: the documents folder and the time in the proposed name; cancel writes
    // nothing.
    SString proposed, title, filter;
    SString answer;
    SFileDialog::setChooser([&](const SString& t, const SString& f, const SString& p) {
        title = t;
        filter = f;
        proposed = p;
        return answer;
    });
    {
        // No xdg-user-dir and no ~/Documents: the home folder.
        testsupport::ScopedEnv home("HOME", dir.path().c_str());
        testsupport::ScopedEnv path("PATH", dir.file("leer").c_str());
        send("save-csv");
    }
    EXPECT_EQ(title.str(), "Datei speichern");
    EXPECT_EQ(filter.str(), "CSV (Semikolon, Dezimalkomma)|*.csv|CSV (Komma, Dezimalpunkt)|*.csv|alle Dateien|*.*");
    EXPECT_TRUE(proposed.startsWith(raw(dir.path() + "/Messung 2"))) << proposed.str();
    EXPECT_TRUE(proposed.endsWith(raw(".csv")));
    answer = raw(dir.file("b.csv"));
    send("save-csv");
    EXPECT_EQ(dir.read("b.csv"), expected);
    // The second entry: "," between the cells and decimal points, for international spreadsheets.
    SFileDialog::setChooser([&](const SString&, const SString&, const SString&) { return raw(dir.file("e.csv")); }, 1);
    send("save-csv");
    EXPECT_EQ(dir.read("e.csv"), found[0]->getXText().str() + "," + found[0]->getYText().str() + "," +
                                     found[1]->getYText().str() +
                                     "\r\n"
                                     "0.000000,0.500000,4.500000\r\n"
                                     "0.100000,1.250000,-0.250000\r\n"
                                     "0.200000,2.000000,\r\n");

    // A failing write says so, and the file that was there stays.
    dir.write("c.csv", "alt");
    testsupport::runCommand("chmod 555 '" + dir.path() + "'");
    const bool refused = !fenster.saveCsv(raw(dir.file("c.csv")));
    testsupport::runCommand("chmod 755 '" + dir.path() + "'");
    if (refused) {
        ASSERT_EQ(messages.boxes().size(), 1u);
        EXPECT_EQ(messages.boxes()[0].text.rfind("Fehler beim Schreiben der CSV-Datei.", 0), 0u)
            << messages.boxes()[0].text;
        EXPECT_EQ(dir.read("c.csv"), "alt");
    }
    // Only the discharging curve: its rows with empty charging cells, its time counted from its
    // own first sample (the oscilloscope's counter had run on to 9 s); none at all: the header.
    fill(found[0], {});
    ASSERT_TRUE(fenster.saveCsv(raw(dir.file("d.csv"))));
    const std::string header = expected.substr(0, expected.find("\r\n") + 2);
    EXPECT_EQ(dir.read("d.csv"), header + "0,000000;;4,500000\r\n0,100000;;-0,250000\r\n");
    fill(found[1], {});
    ASSERT_TRUE(fenster.saveCsv(raw(dir.file("f.csv"))));
    EXPECT_EQ(dir.read("f.csv"), header);
}

// A reload of the repository makes new painters; the curves on screen, the kept runs and the
// frozen picture go over to them.
TEST_F(ExperimentTest, AReloadKeepsTheCurvesRunsAndFrozenPicture) {
    startBoard();
    send("board-start");
    ASSERT_TRUE(waitFor([&] { return samples(203) > 20; }, 5000));
    send("board-stop");
    // The curve becomes a kept run with the next start's clear; then a second one is measured.
    send("board-start");
    ASSERT_TRUE(waitFor([&] { return samples(203) > 20; }, 5000));
    send("board-stop");
    // Earlier tests' curves may be kept runs too (at most three are kept).
    const std::size_t runs = oszi(203)->getEvaluation().getRuns().size();
    ASSERT_GE(runs, 1u);
    oszi(203)->setFrozen(true);
    const int shown = samples(203);

    SEvent reload;
    reload.type = eventApplication;
    reload.code = codeReload;
    fenster.getEventManager().send(reload);
    Painter_Oszi* after = oszi(203);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(samples(203), shown);
    EXPECT_EQ(after->getEvaluation().getRuns().size(), runs);
    EXPECT_TRUE(after->getEvaluation().isFrozen());
    after->setFrozen(false);
    expectButtons(false);
}

// After each half cycle the oscilloscopes show the time constant: the virtual board's R and C
// within 2 % by every route.
TEST_F(ExperimentTest, ResultBoxesShowTheTimeConstantOfTheCircuit) {
    struct Case {
        double r;
        double c;
    } cases[] = {{10e3, 470e-6}, {22e3, 1000e-6}};
    // A 60 s cycle in 1.5 s.
    options.timeScale = 40.0;
    for (const Case& k : cases) {
        const double tau = k.r * k.c;
        SCOPED_TRACE(tau);
        options.circuit.resistance = k.r;
        options.circuit.capacitance = k.c;
        startBoard();
        send("board-start");
        // A full cycle: charging, then discharging, each evaluated when its stream pauses.
        auto evaluated = [&](int32_t nr, HalfCycle kind) {
            const auto& result = oszi(nr)->getEvaluation().getTauResult();
            return result && result->kind == kind && result->fit.ok;
        };
        ASSERT_TRUE(waitFor([&] { return evaluated(203, HalfCycle::charging); }, 8000));
        ASSERT_TRUE(waitFor([&] { return evaluated(204, HalfCycle::discharging); }, 8000));
        for (int32_t nr : {203, 204}) {
            const TauResult& result = *oszi(nr)->getEvaluation().getTauResult();
            for (const TauRoute* route : {&result.fit, &result.point63, &result.lnLine}) {
                ASSERT_TRUE(route->ok) << nr << " " << route->reason.str();
                EXPECT_NEAR(route->tau, tau, 0.02 * tau) << nr;
            }
            EXPECT_EQ(oszi(nr)->getEvaluation().getTauText().rfind("\xCF\x84 = ", 0), 0u)
                << oszi(nr)->getEvaluation().getTauText();
        }
        send("board-stop");
        board.stop();
    }
}

// Space freezes the diagram while the samples keep coming; the resume shows them all.
TEST_F(ExperimentTest, PauseLosesNoSample) {
    startBoard();
    send("board-start");
    ASSERT_TRUE(waitFor([&] { return samples(203) > 20; }, 5000));
    UniedViewWindow* window = fenster.getDiagram();
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(window->onKeyDown(UniedViewWindow::keySpace, 0), 1);
    EXPECT_TRUE(oszi(203)->getEvaluation().isFrozen());
    const int shown = oszi(203)->getChannels().getSize() > 0 ? oszi(203)->shownValues(0).getSize() : 0;
    ASSERT_TRUE(waitFor([&] { return samples(203) >= shown + 40 || samples(203) == 300; }, 5000));
    EXPECT_EQ(oszi(203)->shownValues(0).getSize(), shown);
    send("oszi-pause");  // the button does the same
    EXPECT_FALSE(oszi(203)->getEvaluation().isFrozen());
    // Consecutive x values: nothing was dropped on the way.
    const SOsziValues& values = oszi(203)->shownValues(0);
    for (int i = 1; i < values.getSize(); ++i) ASSERT_NEAR(values[i].xValue - values[i - 1].xValue, 0.1F, 1e-3F) << i;
    EXPECT_GT(values.getSize(), shown);
}

// Ctrl+P's picture: the diagram at twice the pane's pixels, a PNG that reads back.
TEST_F(ExperimentTest, DiagramAsPicture) {
    UniedViewWindow* window = fenster.getDiagram();
    ASSERT_NE(window, nullptr);
    auto* host = dynamic_cast<DiagramWindow*>(window->getHost());
    ASSERT_NE(host, nullptr);
    const QSize pane = host->getWidget()->size();
    ASSERT_FALSE(pane.isEmpty());
    SFileDialog::setChooser([&](const SString&, const SString& filter, const SString& proposed) {
        EXPECT_EQ(filter.str(), "PNG-Bilder|*.png|alle Dateien|*.*");
        EXPECT_TRUE(proposed.endsWith(raw(".png"))) << proposed.str();
        return raw(dir.file("bild.png"));
    });
    send("save-png");
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(dir.file("bild.png")), "PNG"));
    EXPECT_EQ(image.size(), pane * 2);
    // The oscilloscopes' black background covers much of it.
    int black = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4) black += image.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
    EXPECT_GT(black, (image.width() / 4) * (image.height() / 4) / 4);
}

TEST_F(ExperimentTest, BurningThroughTheProgrammerShowsProgressInThePage) {
    options.adapter = true;
    startBoard();
    fenster.showPage("Vorbereitung");
    // The progress the page showed while burning.
    std::vector<std::string> states;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const std::string state = pageElement("burnState").str();
        if (!state.empty() && (states.empty() || states.back() != state)) states.push_back(state);
    });
    watch.start(20);
    send("cmd:burnHex:firmware.hex", eventPageCommand);
    watch.stop();
    EXPECT_EQ(messages.all(), "");
    EXPECT_EQ(pageElement("burnState").str(), "Fertig, OK");
    EXPECT_GE(states.size(), 2u);
    EXPECT_FALSE(fenster.getBoard().getPort().isOpen());

    SMem image;
    SHexFile hex;
    ASSERT_TRUE(hex.loadFile(globalResources().getFile("firmware.hex"), image));
    const std::vector<uint8_t> flash = board.getMemory().getFlash();
    ASSERT_GE(flash.size(), image.getSize());
    EXPECT_TRUE(std::equal(image.getData(), image.getData() + image.getSize(), flash.begin()));
}

// The simulated controller runs only what is burnt: before, the start says the firmware is
// missing; after burning "firmware.hex" through the programmer, the measurement runs on it.
TEST_F(ExperimentTest, BurntFirmwareRunsOnTheSimulatedController) {
    options.adapter = true;
    options.core = true;
    // A controller at four times its speed keeps up with the simulation on a busy machine.
    options.timeScale = 4.0;
    startBoard();
    send("board-start");
    ASSERT_EQ(messages.boxes().size(), 1u) << messages.all();
    EXPECT_EQ(messages.boxes()[0].text, "Die Firmware ist nicht \xFC" "bertragen oder reagiert nicht.");
    send("board-stop");
    messages.clear();

    send("cmd:burnHex:firmware.hex", eventPageCommand);
    EXPECT_EQ(pageElement("burnState").str(), "Fertig, OK");
    send("board-start");
    EXPECT_EQ(messages.all(), "");
    expectButtons(true);
    EXPECT_TRUE(waitFor([&] { return samples(203) > 2; }, 5000));
    send("board-stop");
    expectButtons(false);
}

// "cmd:burnHex:" cuts three fields: after a board type the rest is the path, colons and all;
// a bare file name is looked up in the resources.
TEST_F(ExperimentTest, BurnLinksNameTheBoardTypeAndTheFile) {
    startBoard();
    dir.write("C:kurs.hex", ":00000001FF\r\n");
    std::vector<std::string> calls;
    fenster.setDuvaroBurner([&](const SString& port, const SString& file) { calls.push_back(port.str() + "|" + file.str()); });
    send(("cmd:burnHex:Duvaro:" + dir.file("C:kurs.hex")).c_str(), eventPageCommand);
    send("cmd:burnHex:Duvaro:firmware.hex", eventPageCommand);
    fenster.setDuvaroBurner(nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"COM7|" + dir.file("C:kurs.hex"),
                                               "COM7|" + globalResources().getFile("firmware.hex").str()}));
    EXPECT_EQ(messages.all(), "");
}

// Programmer output lands in the page as text: markup in it stays visible text, line ends
// become line breaks; a new burn empties both elements first.
TEST_F(ExperimentTest, BurnOutputIsTextInThePage) {
    auto images = [&] {
        return fenster.getHtmlWindows().getById("Vorbereitung")->getDocument().getElementsByTagName("IMG").getCount();
    };
    const int imagesBefore = images();
    fenster.burnProgress(10000, raw("<img src=x onerror=alert(1)>\r\n a&b"));
    fenster.burnProgress(10000, raw("<b>fett</b>"));
    fenster.burnProgress(3, raw("Flash"));
    EXPECT_EQ(pageElement("burnOutput").str(),
              "&lt;img&nbsp;src=x&nbsp;onerror=alert(1)&gt;<br>&nbsp;a&amp;b&lt;b&gt;fett&lt;/b&gt;");
    EXPECT_EQ(pageElement("burnState").str(), "brenne Flash");
    EXPECT_EQ(images(), imagesBefore);
    // Without a board the burn asks for it to be plugged in; the elements were emptied first.
    testsupport::FakeSysfs sysfs(dir.file("sys"));
    DriverStandIn driver(true, "6.1.0");
    send("cmd:burnHex:firmware.hex", eventPageCommand);
    EXPECT_EQ(messages.all(), "Es wurde kein Board gefunden. Bitte schlie\xDF" "en Sie das Board an den USB-Anschluss an und "
                              "pr\xFC" "fen Sie das USB-Kabel.\n");
    EXPECT_EQ(pageElement("burnOutput").str(), "");
    EXPECT_EQ(pageElement("burnState").str(), "");
}

TEST_F(ExperimentTest, BoardPulledOutDuringTheMeasurement) {
    startBoard();
    send("board-start");
    ASSERT_TRUE(waitFor([&] { return samples(203) > 0; }, 5000));
    board.stop();
    ASSERT_TRUE(waitFor([&] { return !messages.boxes().empty(); }, 3000));
    EXPECT_NE(messages.boxes()[0].text.find("com7 wurde getrennt."), std::string::npos) << messages.all();
    expectButtons(false);
    EXPECT_FALSE(fenster.getBoard().getPort().isOpen());

    // Plugged in again: a new start works.
    messages.clear();
    startBoard();
    send("board-start");
    EXPECT_EQ(messages.all(), "");
    ASSERT_TRUE(waitFor([&] { return board.isMeasuring(); }, 2000));
}

TEST_F(ExperimentTest, BoardPulledOutDuringTheBurn) {
    options.adapter = true;
    // At the line rate the burn takes seconds: time enough to pull the board out.
    options.realisticTiming = true;
    startBoard();
    QTimer pull;
    QObject::connect(&pull, &QTimer::timeout, [&] {
        if (!board.getMemory().isFlashErased()) board.stop();
    });
    pull.start(5);
    send("cmd:burnHex:firmware.hex", eventPageCommand);
    pull.stop();
    EXPECT_FALSE(board.isRunning());
    EXPECT_TRUE(pageElement("burnState").startsWith(raw("FEHLER: "))) << pageElement("burnState").str();
    EXPECT_FALSE(fenster.getBoard().getPort().isOpen());
    expectButtons(false);
}

}  // namespace
