#include "foundation/SError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/TestSupport.h"

namespace {

class SErrorTest : public ::testing::Test {
protected:
    void SetUp() override { globalError().clearLog(); }
    void TearDown() override { globalError().clearLog(); }
};

TEST_F(SErrorTest, LogEntriesAreFormattedAndKeptOnce) {
    SError& err = globalError();
    err.add("Fehler 2");
    err.add("Fehler");  // the beginning of an entry is no duplicate
    err.add("\tB");     // looks like the continuation of "Fehler"
    err.add("Fehler 2");
    err.add("Fehler");
    err.add("zwei\r\nZeilen");
    err.add("zwei");  // stands in front of "\r\n\tZeilen", still no duplicate
    err.add("zwei");
    err.add("zwei\r\nZeilen");
    err.add("");
    err.add("");
    EXPECT_EQ(err.getLog().str(), "\r\nFehler 2\r\nFehler\r\n\tB\r\nzwei\r\n\tZeilen\r\nzwei\r\n");

    err.clearLog();
    err.add("Datei", ENOENT);
    err.add("Datei", ENOENT);
    err.add("Datei", EACCES);
    const std::string noent = SError::systemErrorText(ENOENT).str();
    const std::string acces = SError::systemErrorText(EACCES).str();
    EXPECT_EQ(err.getLog().str(), "\r\nDatei\r\n\tFehlernummer: " + std::to_string(ENOENT) + "\r\n\t" + noent +
                                      "\r\nDatei\r\n\tFehlernummer: " + std::to_string(EACCES) + "\r\n\t" + acces);
    // After clearing, an entry is new again.
    err.clearLog();
    err.add("Fehler");
    EXPECT_EQ(err.getLog().str(), "\r\nFehler");
}

TEST_F(SErrorTest, MessagesAndTheLogBox) {
    testsupport::MessageCapture boxes;
    SError& err = globalError();
    err.showLog();
    EXPECT_TRUE(boxes.boxes().empty()) << "an empty log shows nothing";

    EXPECT_EQ(err.showMessage("Text"), 1);
    err.showMessage("Kein Zugriff", EACCES, "Titel", SError::iconWarning);
    err.add("A\r\nB");
    err.showLog();
    ASSERT_EQ(boxes.boxes().size(), 3u);
    EXPECT_EQ(boxes.boxes()[0].text, "Text");
    EXPECT_EQ(boxes.boxes()[0].title, "Fehler !");
    EXPECT_EQ(boxes.boxes()[0].flags, unsigned(SError::iconError));
    EXPECT_EQ(boxes.boxes()[1].text, "Kein Zugriff\r\n Fehlernummer: " + std::to_string(EACCES) + "\r\n" +
                                         SError::systemErrorText(EACCES).str());
    EXPECT_EQ(boxes.boxes()[1].title, "Titel");
    EXPECT_EQ(boxes.boxes()[1].flags, unsigned(SError::iconWarning));
    EXPECT_EQ(boxes.boxes()[2].text,
              "Folgende Fehler sind w\xE4hrend der Abarbeitung des Programmes protokolliert worden:\r\n\r\nA\r\n\tB");
    EXPECT_EQ(boxes.boxes()[2].title, "Fehler !");

    EXPECT_FALSE(SError::systemErrorText(ENOENT).isEmpty());
    EXPECT_EQ(SError::systemErrorText(987654).str(), "Unbekannter Fehler 987654");
}

}  // namespace
