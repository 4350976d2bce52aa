// The burn window's widget: picture, status line, progress bar and cancel button.
#pragma once

#include <functional>

#include <QDialog>

#include "foundation/SString.h"

class QLabel;
class QProgressBar;
class QPushButton;

// The window itself: picture, status line, progress bar and button; everything it shows is set
// on the GUI thread. A close request asks onCancel first, which keeps the window open while the
// burn still runs.
class SDuvaroBurnDialog : public QDialog {
public:
    SDuvaroBurnDialog(QWidget* parent, std::function<bool()> onCancel);

    void setStatus(const SString& text, int style);
    void setPicture(const SString& file);
    void setProgress(int position, int maximum);
    void setButtonText(const SString& text);

    const SString& getStatusText() const { return statusText_; }
    int getStatusStyle() const { return statusStyle_; }
    int getProgress() const { return position_; }
    int getProgressMaximum() const { return maximum_; }
    bool isProgressShown() const { return progressShown_; }
    const SString& getPictureFile() const { return pictureFile_; }

    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<bool()> onCancel_;
    QLabel* picture_;
    QLabel* status_;
    QProgressBar* progress_;
    QPushButton* button_;
    SString statusText_;
    SString pictureFile_;
    int statusStyle_ = 0;
    int position_ = 0;
    int maximum_ = 0;
    bool progressShown_ = false;
};
