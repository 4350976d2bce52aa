#include "gui/GuiApplication.h"

#include <QApplication>
#include <QIcon>

namespace gui {

GuiApplication::GuiApplication(int& argc, char** argv) : app_(std::make_unique<QApplication>(argc, argv)) {}

GuiApplication::~GuiApplication() = default;

void GuiApplication::setDesktopIdentity(const std::string& applicationId) {
    const QString id = QString::fromStdString(applicationId);
    QGuiApplication::setDesktopFileName(id);
    QGuiApplication::setWindowIcon(QIcon::fromTheme(id));
}

int GuiApplication::exec() {
    return QApplication::exec();
}

}  // namespace gui
