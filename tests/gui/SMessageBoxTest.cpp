#include "gui/SMessageBox.h"

#include <gtest/gtest.h>

#include "BoxWatcher.h"
#include "compat/QtWidgets.h"
#include "foundation/SError.h"
#include "gui/SWaitCursor.h"

TEST(SMessageBox, ErrorLogMessagesBecomeDialogs) {
    SMessageBox::install();
    BoxWatcher watcher;
    EXPECT_EQ(SMessageBox::resultOk,
              globalError().showMessage(SString(std::string("Zeile 1\r\nZeile 2 \xFC")), 0, "Fehler !",
                                        SError::iconError));
    globalError().showMessage("Alles gut", 0, "Hinweis", SError::iconInformation);
    SMessageBox::uninstall();
    ASSERT_EQ(2u, watcher.boxes.size());
    EXPECT_EQ("Fehler !", watcher.boxes[0].title);
    EXPECT_EQ("Zeile 1\nZeile 2 \xFC", watcher.boxes[0].text);
    EXPECT_EQ(QMessageBox::Critical, watcher.boxes[0].icon);
    EXPECT_EQ(QMessageBox::Information, watcher.boxes[1].icon);
}

TEST(SMessageBox, ButtonSetsGiveTheirResults) {
    {
        BoxWatcher no(QMessageBox::No);
        EXPECT_EQ(SMessageBox::resultNo,
                  SMessageBox::show("Frage?", "Frage",
                                    static_cast<unsigned>(SError::iconQuestion) | SMessageBox::buttonsYesNo));
        ASSERT_EQ(1u, no.boxes.size());
        EXPECT_EQ(QMessageBox::Question, no.boxes[0].icon);
    }
    BoxWatcher cancel(QMessageBox::Cancel);
    EXPECT_EQ(SMessageBox::resultCancel, SMessageBox::show("Weiter?", "Frage", SMessageBox::buttonsOkCancel));
}

TEST(SMessageBox, BoxBelongsToTheActiveWindow) {
    QWidget owner;
    owner.show();
    ASSERT_TRUE(qtcompat::activateWindow(&owner));
    BoxWatcher watcher;
    SMessageBox::show("Text", "Titel", SError::iconWarning);
    ASSERT_EQ(1u, watcher.boxes.size());
    EXPECT_TRUE(watcher.boxes[0].hasOwner);
    EXPECT_EQ(QMessageBox::Warning, watcher.boxes[0].icon);
}

TEST(SWaitCursor, OverridesWhileItLives) {
    ASSERT_EQ(nullptr, QGuiApplication::overrideCursor());
    {
        SWaitCursor outer;
        SWaitCursor inner;
        ASSERT_NE(nullptr, QGuiApplication::overrideCursor());
        EXPECT_EQ(Qt::WaitCursor, QGuiApplication::overrideCursor()->shape());
    }
    EXPECT_EQ(nullptr, QGuiApplication::overrideCursor());
}
