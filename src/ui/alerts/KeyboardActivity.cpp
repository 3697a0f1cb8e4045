#include "alerts/KeyboardActivity.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>

KeyboardActivity::KeyboardActivity() : QObject(QCoreApplication::instance()) {
    QCoreApplication::instance()->installEventFilter(this);
}

KeyboardActivity& KeyboardActivity::Instance() {
    // Owned by the application object, and gone with it.
    static QPointer<KeyboardActivity> instance;
    if (instance == nullptr) {
        instance = new KeyboardActivity();
    }
    return *instance;
}

bool KeyboardActivity::DispatcherAtWork() const {
    if (QApplication::activeWindow() != nullptr) {
        return true;
    }
    return sinceKey_.isValid() && sinceKey_.elapsed() < kTypingMs;
}

bool KeyboardActivity::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        sinceKey_.start();
    }
    return QObject::eventFilter(watched, event);
}
