#include "app/ShowRequestChannel.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <unistd.h>

#include <vector>
#endif

#include "platform/Platform.h"

namespace {

constexpr char kRequest[] = "show";
constexpr char kAnswer[] = "shown";
// A request is one short line; a peer sending more is not one of ours.
constexpr qint64 kLongestLine = 64;

}  // namespace

QString CShowRequestChannel::AccountName() {
#ifdef Q_OS_WIN
    QString name = qEnvironmentVariable("USERNAME");
    if (name.isEmpty()) {
        name = QStringLiteral("user");
    }
    return name;
#else
    const uid_t uid = ::geteuid();
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr && *found->pw_name != '\0') {
        return QFile::decodeName(found->pw_name);
    }
    // An account without a name in the password database keeps apart by its number.
    return QString::number(uid);
#endif
}

QString CShowRequestChannel::DefaultName() {
    const QString name =
        QStringLiteral("%1-%2").arg(QString::fromLatin1(CInstanceLock::kName), AccountName());
#ifdef Q_OS_WIN
    return name;
#else
    const QString folder = QFile::decodeName(
        QByteArray::fromStdString(Platform::ToNativePath(Platform::InstanceLockFolder())));
    return (folder == QStringLiteral("/") ? QString() : folder) + QLatin1Char('/') + name;
#endif
}

CShowRequestChannel::CShowRequestChannel(QObject* parent) : QObject(parent) {}

CShowRequestChannel::~CShowRequestChannel() = default;

bool CShowRequestChannel::Listen(const QString& name) {
    if (server_ == nullptr) {
        server_ = new QLocalServer(this);
        // Only the same account may ask.
        server_->setSocketOptions(QLocalServer::UserAccessOption);
        connect(server_, &QLocalServer::newConnection, this, &CShowRequestChannel::OnNewConnection);
    }
    if (server_->isListening()) {
        return true;
    }
    if (server_->listen(name)) {
        return true;
    }
    // A socket left by a copy that ended without closing it: with the lock ours, nobody
    // listens there any more.
    if (server_->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(name);
        return server_->listen(name);
    }
    return false;
}

bool CShowRequestChannel::IsListening() const {
    return server_ != nullptr && server_->isListening();
}

void CShowRequestChannel::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto serve = [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine(kLongestLine + 1).trimmed();
                if (line != kRequest) {
                    socket->abort();
                    return;
                }
                socket->write(kAnswer);
                socket->write("\n");
                socket->flush();
                emit showRequested();
            }
            if (socket->bytesAvailable() > kLongestLine) {
                socket->abort();
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, serve);
        // The request may have come with the connection.
        serve();
    }
}

CShowRequestChannel::Answer CShowRequestChannel::AskToShow(const QString& name, int timeoutMs,
                                                           int listenerWaitMs) {
    const QDeadlineTimer listenerDeadline(listenerWaitMs);
    // The answer is waited for with events running: the listener may be this very
    // thread's (a window asking itself in a test), and a blocking wait would starve it.
    // The loop comes first, so that a thread not started by Qt has its event dispatcher
    // before the socket needs one.
    QEventLoop loop;
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(name);
        if (socket.waitForConnected(timeoutMs)) {
            break;
        }
        if (socket.error() == QLocalSocket::SocketTimeoutError) {
            return Answer::NoAnswer;
        }
        socket.abort();
        if (listenerDeadline.hasExpired()) {
            return Answer::NoListener;
        }
        QThread::msleep(50);
    }

    socket.write(kRequest);
    socket.write("\n");
    socket.flush();
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        if (socket.canReadLine()) {
            loop.quit();
        }
    });
    QObject::connect(&socket, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QLocalSocket::errorOccurred, &loop, &QEventLoop::quit);
    if (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState) {
        timer.start(timeoutMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (socket.canReadLine() && socket.readLine(kLongestLine + 1).trimmed() == kAnswer) {
        return Answer::Shown;
    }
    return Answer::NoAnswer;
}
