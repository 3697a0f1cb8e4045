#include "app/CloseRequestListener.h"

#include <QSocketNotifier>

#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
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
