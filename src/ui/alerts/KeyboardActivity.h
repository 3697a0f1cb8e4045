#pragma once

#include <QElapsedTimer>
#include <QObject>

// Whether the dispatcher is at work in a window of the program: one of its windows has
// the keyboard, or a key was pressed in the program within the last seconds. An alert
// then comes to the front without taking the keyboard, so that no keystroke of a
// dialog in use goes astray.
class KeyboardActivity : public QObject {
    Q_OBJECT
public:
    // How long after the last key press the dispatcher counts as typing.
    static constexpr int kTypingMs = 3000;

    // The watch of the application (installed on first use).
    static KeyboardActivity& Instance();
    // True while a window of the program is active, or a key was pressed within
    // kTypingMs.
    bool DispatcherAtWork() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyboardActivity();
    QElapsedTimer sinceKey_;
};
