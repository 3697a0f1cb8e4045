#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// How a copy started while another runs reaches that one. The running copy listens on a
// local socket whose name carries its account; a later copy of the same account asks it
// to bring its window to the front and waits for the answer. A copy of another account
// finds no socket of that name: its own account's name is not there.
//
// On Linux the socket lies in the single-instance lock's folder (copies started side by
// side by the tests keep apart there too); on Windows it is a named pipe.
class CShowRequestChannel : public QObject {
    Q_OBJECT
public:
    enum class Answer {
        Shown,       // the running copy took the request
        NoAnswer,    // a copy of ours listens but did not answer in time
        NoListener,  // nobody of this account listens: the lock is held by another account
    };

    // "Sentrel-088FA840-B10D-11D3-BC36-006067709674-<account>", inside the lock folder on
    // Linux.
    static QString DefaultName();
    // The account the program runs as.
    static QString AccountName();

    explicit CShowRequestChannel(QObject* parent = nullptr);
    ~CShowRequestChannel() override;

    // The running copy, with the single-instance lock held (so a socket left under this
    // name belongs to a copy that has ended and is replaced). False when it cannot listen.
    bool Listen(const QString& name = DefaultName());
    bool IsListening() const;

    // The later copy: asks the running one to show its window. Blocks for at most about
    // `timeoutMs`; a copy just starting may not listen yet, so a missing listener is
    // looked for again for a while (`listenerWaitMs`) before the answer is NoListener.
    static Answer AskToShow(const QString& name = DefaultName(), int timeoutMs = 3000,
                            int listenerWaitMs = 500);

signals:
    void showRequested();

private:
    void OnNewConnection();

    QLocalServer* server_ = nullptr;
};
