#include "ui/inputswallower.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace korvex {

void InputSwallower::install() {
    if (installed_) return;
    QCoreApplication::instance()->installEventFilter(this);
    installed_ = true;
    escape_ = false;
}

void InputSwallower::uninstall() {
    if (!installed_) return;
    QCoreApplication::instance()->removeEventFilter(this);
    installed_ = false;
}

bool InputSwallower::takeescape() {
    const bool e = escape_;
    escape_ = false;
    return e;
}

bool isuserinput(const QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
        case QEvent::InputMethod: return true;
        default: return false;
    }
}

bool InputSwallower::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
        escape_ = true;
    if (isuserinput(event)) return true;
    // Closing the window in the middle of a run would end the program under
    // the running command: the request is dropped like any other input.
    if (event->type() == QEvent::Close &&
        (watched->isWindowType() ||
         (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow()))) {
        event->ignore();
        return true;
    }
    return false;
}

}  // namespace korvex
