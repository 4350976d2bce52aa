#include "gui/SShortcut.h"

#include <QKeySequence>
#include <QPointer>
#include <QShortcut>
#include <QWidget>

namespace gui {

struct SShortcut::Impl {
    QPointer<QShortcut> shortcut;
};

SShortcut::SShortcut(QWidget* window, const std::string& keys, std::function<void()> action)
    : impl_(std::make_unique<Impl>()) {
    const QKeySequence sequence = QKeySequence::fromString(QString::fromStdString(keys), QKeySequence::PortableText);
    auto* shortcut = new QShortcut(sequence, window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, shortcut, [action = std::move(action)] {
        if (action) action();
    });
    impl_->shortcut = shortcut;
}

SShortcut::~SShortcut() {
    delete impl_->shortcut.data();
}

std::string SShortcut::getKeys() const {
    return impl_->shortcut ? impl_->shortcut->key().toString(QKeySequence::PortableText).toStdString() : std::string();
}

}  // namespace gui
