#include "app/CloseRequestListener.h"

#include <QSocketNotifier>

#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#else
#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QPointer>
#include <QWidget>
#endif

#ifndef _WIN32
namespace {

int g_signalFds[2] = {-1, -1};

extern "C" void OnCloseSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalFds[0], &byte, 1);
    errno = savedErrno;
}

}  // namespace
#else
namespace {

// WM_USER + 1 to the main window itself: Qt's own hidden message window uses the same
// number for its posted events, so only the main window's handle counts.
class CCloseMessageFilter : public QAbstractNativeEventFilter {
public:
    CCloseMessageFilter(QWidget* window, CCloseRequestListener* listener)
        : window_(window), listener_(listener) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "windows_generic_MSG" || window_ == nullptr || listener_ == nullptr) {
            return false;
        }
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message != WM_USER + 1 || window_->internalWinId() == 0 ||
            msg->hwnd != reinterpret_cast<HWND>(window_->internalWinId())) {
            return false;
        }
        QMetaObject::invokeMethod(listener_, &CCloseRequestListener::closeRequested,
                                  Qt::QueuedConnection);
        return true;
    }

private:
    QPointer<QWidget> window_;
    QPointer<CCloseRequestListener> listener_;
};

}  // namespace
#endif

CCloseRequestListener::CCloseRequestListener(QObject* parent) : QObject(parent) {
#ifndef _WIN32
    if (g_signalFds[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalFds) != 0) {
        g_signalFds[0] = g_signalFds[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CCloseRequestListener::OnReadable);

    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
#else
    if (auto* window = qobject_cast<QWidget*>(parent)) {
        filter_ = new CCloseMessageFilter(window, this);
        QCoreApplication::instance()->installNativeEventFilter(filter_);
    }
#endif
}

CCloseRequestListener::~CCloseRequestListener() {
#ifndef _WIN32
    if (notifier_ != nullptr) {
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGTERM, &action, nullptr);
        ::sigaction(SIGINT, &action, nullptr);
    }
#else
    if (filter_ != nullptr) {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            app->removeNativeEventFilter(filter_);
        }
        delete filter_;
    }
#endif
}

void CCloseRequestListener::OnReadable() {
#ifndef _WIN32
    char buffer[16];
    while (::read(g_signalFds[1], buffer, sizeof buffer) > 0) {
    }
#endif
    emit closeRequested();
}
