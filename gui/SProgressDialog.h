// A modal window for a long job: picture, status line, progress bar and one button.
#pragma once

#include <functional>

#include <QDialog>

#include "foundation/SString.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace gui {

// Everything it shows is set on the GUI thread. The button and a close request (Escape, the
// window's close box) ask onCancel first, which may keep the window open while the job runs.
class SProgressDialog : public QDialog {
public:
    // How the status line looks: info blue, success green and bold, error red and bold.
    enum class Look { info, success, error };

    struct Frame {
        const char* objectName;
        SString title;
        int width;
        int height;
        SString buttonText;
    };

    SProgressDialog(QWidget* parent, const Frame& frame, std::function<bool()> onCancel);

    void setStatus(const SString& text, Look look);
    // A picture from the resources (shown scaled into the upper part); its name as text when
    // it cannot be loaded.
    void setPicture(const SString& file);
    // Shows the bar; a maximum of 0 shows it full.
    void setProgress(int position, int maximum);
    void setButtonText(const SString& text);

    const SString& getStatusText() const { return statusText_; }
    Look getStatusLook() const { return look_; }
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
    Look look_ = Look::info;
    int position_ = 0;
    int maximum_ = 0;
    bool progressShown_ = false;
};

}  // namespace gui
