#pragma once

#include <QObject>

class QSocketNotifier;

// Turns an outside close request into a Qt signal on the GUI thread. On POSIX systems the
// request is SIGTERM or SIGINT: the handler only writes a byte into a socket pair, which
// a socket notifier reads in the event loop (nothing else is safe in a signal handler).
class CCloseRequestListener : public QObject {
    Q_OBJECT
public:
    explicit CCloseRequestListener(QObject* parent = nullptr);
    ~CCloseRequestListener() override;

    // False when the signals could not be hooked.
    bool IsListening() const { return notifier_ != nullptr; }

signals:
    void closeRequested();

private:
    void OnReadable();

    QSocketNotifier* notifier_ = nullptr;
};
