// Answers the message boxes a test makes, and records what they showed.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <string>
#include <vector>

#include "gui/SQtString.h"

class BoxWatcher {
public:
    struct Box {
        std::string title;
        std::string text;
        QMessageBox::Icon icon;
        bool hasOwner;
    };
    // Every box is closed with the given button soon after it appears.
    explicit BoxWatcher(QMessageBox::StandardButton answer = QMessageBox::Ok) : answer_(answer) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box->isHidden()) return;
            boxes.push_back({toSString(box->windowTitle()).str(), toSString(box->text()).str(), box->icon(),
                             box->parentWidget() != nullptr});
            QAbstractButton* button = box->button(answer_);
            if (button)
                button->click();
            else
                box->reject();
        });
        timer_.start(5);
    }
    std::vector<Box> boxes;

private:
    QMessageBox::StandardButton answer_;
    QTimer timer_;
};
