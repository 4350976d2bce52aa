#include "gui/SFileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include "gui/SQtString.h"
#include "support/TestSupport.h"

TEST(SFileDialog, FiltersInQtForm) {
    struct Case {
        const char* filter;
        const char* qt;
    } cases[] = {
        {"CSV-Dateien|*.csv|alle Dateien|*.*", "CSV-Dateien (*.csv);;alle Dateien (*)"},
        {"Seiten|*.htm;*.html", "Seiten (*.htm *.html)"},
        {"", ""},
        // A name without its pattern is left out.
        {"CSV-Dateien|*.csv|kaputt", "CSV-Dateien (*.csv)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SFileDialog::toQtFilter(SString(std::string(c.filter))).toStdString(), c.qt) << c.filter;
}

// The dialog opens in the proposed folder with the proposed name; a name typed without
// extension gets the default one; cancel gives an empty name.
TEST(SFileDialog, SaveDialogProposesAndAddsTheExtension) {
    testsupport::TempDir dir;
    const SString proposed(dir.file("Messung 2011-04-19 13_38_17.csv"));
    std::string seenDirectory, seenTitle;
    QStringList seenSelection;
    bool accept = true;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->isHidden()) return;
        seenDirectory = dialog->directory().absolutePath().toStdString();
        seenTitle = toSString(dialog->windowTitle()).str();
        seenSelection = dialog->selectedFiles();
        if (!accept) {
            dialog->reject();
            return;
        }
        dialog->selectFile(QString::fromStdString(dir.file("eigene")));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    timer.start(10);
    const SString title(std::string("Datei speichern"));
    const SString filter(std::string("CSV-Dateien|*.csv|alle Dateien|*.*"));
    EXPECT_EQ(SFileDialog::getSaveFileName(nullptr, title, filter, SString(std::string("csv")), proposed).str(),
              dir.file("eigene.csv"));
    EXPECT_EQ(seenDirectory, dir.path());
    EXPECT_EQ(seenTitle, "Datei speichern");
    ASSERT_EQ(seenSelection.size(), 1);
    EXPECT_EQ(seenSelection.first().toStdString(), proposed.str());

    accept = false;
    EXPECT_TRUE(SFileDialog::getSaveFileName(nullptr, title, filter, SString(std::string("csv")), proposed).isEmpty());
}
