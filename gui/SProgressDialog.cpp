#include "gui/SProgressDialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>

#include "foundation/SResources.h"
#include "gui/SQtString.h"

namespace gui {

SProgressDialog::SProgressDialog(QWidget* parent, const Frame& frame, std::function<bool()> onCancel)
    : QDialog(parent), onCancel_(std::move(onCancel)) {
    setObjectName(frame.objectName);
    setWindowTitle(toQString(frame.title));
    setFixedSize(frame.width, frame.height);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    const int w = frame.width, h = frame.height;
    picture_ = new QLabel(this);
    picture_->setGeometry(0, 0, 350, 210);
    picture_->setAlignment(Qt::AlignCenter);
    status_ = new QLabel(this);
    status_->setGeometry(5, h - 30, 245, 30);
    status_->setWordWrap(true);
    progress_ = new QProgressBar(this);
    progress_->setGeometry(5, h - 55, 245, 20);
    progress_->hide();
    button_ = new QPushButton(toQString(frame.buttonText), this);
    button_->setGeometry(w - 100, h - 45, 90, 30);
    QObject::connect(button_, &QPushButton::clicked, this, [this] { reject(); });
    setStatus(SString(), Look::info);
}

void SProgressDialog::setStatus(const SString& text, Look look) {
    statusText_ = text;
    look_ = look;
    const char* colour = look == Look::error ? "rgb(255,0,0)" : look == Look::success ? "rgb(50,200,50)" : "rgb(0,0,255)";
    status_->setStyleSheet(
        QString("color: %1; font-weight: %2;").arg(colour).arg(look == Look::info ? "normal" : "bold"));
    status_->setText(toQString(text));
}

void SProgressDialog::setPicture(const SString& file) {
    pictureFile_ = file;
    SString path = globalResources().getFile(file);
    QPixmap pixmap;
    if (!path.isEmpty() && pixmap.load(toQString(path)))
        picture_->setPixmap(pixmap.scaled(picture_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    else
        picture_->setText(toQString(file));
}

void SProgressDialog::setProgress(int position, int maximum) {
    progress_->setRange(0, maximum > 0 ? maximum : 1);
    progress_->setValue(maximum > 0 ? position : 1);
    progress_->show();
    progressShown_ = true;
    position_ = position;
    maximum_ = maximum;
}

void SProgressDialog::setButtonText(const SString& text) {
    button_->setText(toQString(text));
}

void SProgressDialog::reject() {
    if (!onCancel_ || onCancel_()) QDialog::reject();
}

void SProgressDialog::closeEvent(QCloseEvent* event) {
    if (!onCancel_ || onCancel_())
        event->accept();
    else
        event->ignore();
}

}  // namespace gui
