#include <QAction>
#include <QDirIterator>
#include <QHeaderView>
#include <QLabel>
#include <QLocalServer>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <optional>
#include <thread>

#include "alerts/SoundOutput.h"
#include "app/FailureReports.h"
#include "app/MainDialog.h"
#include "app/Prompt.h"
#include "app/ShowRequestChannel.h"
#include "app/StatusBar.h"
#include "console/Console.h"
#include "console/ProgramPaths.h"
#include "objectlist/ObjectListCtrl.h"
#include "objectlist/ObjectListModel.h"
#include "persist/CommitJournal.h"
#include "platform/Clock.h"
#include "platform/Platform.h"

namespace {

// The window with the later parts replaced by recorders.
class TestDialog : public CMainDialog {
public:
    explicit TestDialog(const ProgramPaths& paths) : CMainDialog(paths) {
        SetCommands(std::make_unique<Recorder>(*this));
    }
    bool LoadAtStart() override {
        ++loads;
        return loadResult;
    }
    void StopForClose() override { ++stops; }

    int loads = 0;
    bool loadResult = true;
    int stops = 0;
    bool pending = false;
    std::vector<int> sorted;
    int controlPanels = 0;
    int runResets = 0;

private:
    // The commands the shell's tests look at, recorded instead of run.
    class Recorder : public CMainCommands {
    public:
        explicit Recorder(TestDialog& d) : CMainCommands(d, d.Console(), Clock(), Sound()), d_(d) {}
        bool AnySelectedPending() const override { return d_.pending; }
        void SortByColumn(int columnId) override { d_.sorted.push_back(columnId); }
        void EditObjectSettings() override { ++d_.controlPanels; }
        void ResetRunCounter() override { ++d_.runResets; }

    private:
        // Never asked: the recorded commands open no dialog.
        static const SystemClock& Clock() {
            static const SystemClock clock;
            return clock;
        }
        static SoundOutput& Sound() {
            struct Silent : SoundOutput {
                bool PlayWav(const std::string&, const ManualResetEvent*) override { return true; }
            };
            static Silent silent;
            return silent;
        }
        TestDialog& d_;
    };
};

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

// Every file and folder under `root`, by relative name, with the bytes of each file: the
// folder as another copy would find it.
QStringList FolderContents(const QString& root) {
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = QDir(root).relativeFilePath(info.filePath());
        if (info.isDir()) {
            entries << name + "/";
        } else {
            const QByteArray bytes = ReadFile(info.filePath());
            entries << QStringLiteral("%1 %2 %3")
                           .arg(name)
                           .arg(info.size())
                           .arg(QString::fromLatin1(bytes.toHex()));
        }
    }
    entries.sort();
    return entries;
}

const QString kOtherAccountText =
    QStringLiteral("Программа Sentrel уже запущена на этом компьютере другим пользователем.");

QString ShotsDir() {
    return qEnvironmentVariable("SENTREL_SHOTS_DIR");
}

QString SentrelBinary() {
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral("../../src/app/sentrel"));
}

}  // namespace

class TestMainShell : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startupFollowsLayoutAndWritesDefaultSettings();
    void settingsWriteFailureIsReported();
    void unreadableSettingsAreReportedAndKept();
    void secondCopyStopsBeforeLoading();
    void secondCopyLeavesTheFolderAlone();
    void secondCopyBringsTheFirstWindowForward();
    void showRequestsOverTheChannel();
    void failedLoadEndsStartup();
    void secondProcessExitsAtOnce();
    void processClosesOnTerminateAfterASecond();
    void statusPartEdges();
    void countersMenuArea();
    void menusCarryCommandIds();
    void objectMenuNeedsSelectionAndPending();
    void headerClickAndColumnWidths();
    void trayWhenAvailable();
    void noTrayMinimisesInstead();
    void placementBookkeeping();
    void startStateFromLayout_data();
    void startStateFromLayout();
    void closeRules();
    void escapeAndEnterDoNotClose();
    void outsideCloseRequestWaitsASecond();
    void aboutBoxMarksModal();
    void screenshotOfEmptyWindow();

private:
    ProgramPaths Paths() const { return ProgramPaths::For(folder_->path().toStdString()); }
    QString InFolder(const char* name) const { return folder_->filePath(QString::fromUtf8(name)); }

    QTemporaryDir lockDir_;
    std::unique_ptr<QTemporaryDir> folder_;
};

void TestMainShell::initTestCase() {
    // A lock folder of our own: a real Sentrel or a parallel test must not interfere.
    QVERIFY(lockDir_.isValid());
    qputenv("SENTREL_LOCK_FOLDER", lockDir_.path().toUtf8());
}

void TestMainShell::init() {
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    Prompt::SetScripted(true);
}

void TestMainShell::cleanup() {
    Prompt::SetScripted(false);
    folder_.reset();
}

void TestMainShell::startupFollowsLayoutAndWritesDefaultSettings() {
    WriteFile(InFolder("Interface.ini"),
              "[GlobalSize]\r\npos=10,710,20,320\r\nmaxMin=0\r\n[Cols]\r\n6=150\r\n7=80\r\n"
              "[Count]\r\n41\r\n");
    TestDialog dialog(Paths());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Sentrel"));
    QVERIFY(!dialog.windowIcon().isNull());
    // The constructor reads only the layout.
    QVERIFY(!QFile::exists(InFolder("Sentrel.ini")));
    QCOMPARE(dialog.Console().layout.totalMessageCount, 41);

    QVERIFY(dialog.Initialise());
    QCOMPARE(dialog.loads, 1);
    QVERIFY(dialog.initDone);
    QVERIFY(!dialog.isVisible());
    QVERIFY(Prompt::ShownPrompts().empty());
    // No settings file: the defaults are written back at once.
    QVERIFY(ReadFile(InFolder("Sentrel.ini")).startsWith("ChannelOutFolder/opt/QMX5/Inbox/\r\n"));

    CObjectListCtrl* list = dialog.List();
    QCOMPARE(list->ColumnCount(), 2);
    QCOMPARE(list->Model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Объект"));
    QCOMPARE(list->Model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Район"));
    QCOMPARE(list->ColumnWidths(), (std::vector<int>{150, 80}));
    QCOMPARE(dialog.frameGeometry(), QRect(10, 20, 700, 300));
    QCOMPARE(dialog.StatusBar()->PartEdges(), (std::array<int, 3>{420, 540, 700}));
    for (int part = 0; part < 3; ++part) {
        QCOMPARE(dialog.StatusBar()->PartText(part), QString());
    }

    dialog.ShowAtStart();
    QVERIFY(dialog.isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.CurrentShowState(), CMainDialog::ShowState::Normal);
    // Once the frame is known the outer rectangle is still the stored one, so the
    // window does not grow by its frame from one run to the next.
    QTRY_COMPARE(dialog.frameGeometry(), QRect(10, 20, 700, 300));
    QTest::qWait(50);
    QCOMPARE(dialog.frameGeometry(), QRect(10, 20, 700, 300));
    QCOMPARE(dialog.Console().layout.mainRect, (LayoutRect{10, 20, 710, 320}));
}

void TestMainShell::settingsWriteFailureIsReported() {
    ProgramPaths paths = Paths();
    paths.settingsPath = folder_->filePath("missing/folder/Sentrel.ini").toStdString();
    TestDialog dialog(paths);
    QVERIFY(dialog.Initialise());
    QCOMPARE(Prompt::ShownPrompts().size(), size_t(1));
    const Prompt::Shown& shown = Prompt::ShownPrompts().front();
    QCOMPARE(shown.text, QStringLiteral("Ошибка записи на жесткий диск, возможно недостаточно "
                                        "свободного места."));
    QCOMPARE(shown.caption, QStringLiteral("Диспетчер \"VALKOR-TZ\""));
    QCOMPARE(shown.icon, Prompt::Icon::Stop);
    QVERIFY(!dialog.modalOpen);
    // Start-up goes on.
    QCOMPARE(dialog.loads, 1);

    // A settings file that can be read is not rewritten.
    WriteFile(InFolder("Sentrel.ini"), "Timer250\r\n");
    Prompt::ClearShown();
    TestDialog second(Paths());
    // (the first window still holds the lock: only the settings step matters here)
    QVERIFY(!second.Initialise());
    QCOMPARE(second.Console().settings.timer, 250);
    QCOMPARE(ReadFile(InFolder("Sentrel.ini")), QByteArray("Timer250\r\n"));
}

void TestMainShell::unreadableSettingsAreReportedAndKept() {
    // There, but not readable (a FIFO: not even root reads it as a settings file).
    const QString path = InFolder("Sentrel.ini");
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    TestDialog dialog(Paths());
    QVERIFY(dialog.Initialise());
    QCOMPARE(Prompt::ShownPrompts().size(), size_t(1));
    QVERIFY(Prompt::ShownPrompts().front().text.startsWith(
        QStringLiteral("Не удается прочитать файл настроек Sentrel.ini!\n")));
    QCOMPARE(Prompt::ShownPrompts().front().icon, Prompt::Icon::Stop);
    QVERIFY(!dialog.modalOpen);
    QCOMPARE(dialog.loads, 1);

    // A later save does not replace it, and the dispatcher hears why.
    QVERIFY(!dialog.Console().SaveSettings());
    dialog.Reports().ReportSettingsNotSaved();
    QCOMPARE(Prompt::ShownPrompts().size(), size_t(2));
    QVERIFY(Prompt::ShownPrompts().back().text.startsWith(
        QStringLiteral("Настройки не сохранены: файл Sentrel.ini")));
    QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());

    // Once that file is gone there is nothing to protect: the values are written.
    QVERIFY(QFile::remove(path));
    QVERIFY(dialog.Console().SaveSettings());
    QVERIFY(ReadFile(path).startsWith("ChannelOutFolder"));
}

void TestMainShell::secondCopyStopsBeforeLoading() {
    // Held by a copy of another account: nobody of ours listens.
    CInstanceLock first;
    QVERIFY(first.Acquire());
    TestDialog dialog(Paths());
    QVERIFY(!dialog.Initialise());
    QCOMPARE(dialog.loads, 0);
    QVERIFY(!dialog.initDone);
    QVERIFY(!dialog.isVisible());
    // It does not end silently.
    QCOMPARE(Prompt::ShownPrompts().size(), size_t(1));
    const Prompt::Shown& shown = Prompt::ShownPrompts().front();
    QCOMPARE(shown.text, kOtherAccountText);
    QCOMPARE(shown.caption, QStringLiteral("Sentrel"));
    QCOMPARE(shown.buttons, Prompt::Buttons::Ok);
    QVERIFY(!dialog.modalOpen);
    // The missing settings are not written by a copy that does not run.
    QVERIFY(!QFile::exists(InFolder("Sentrel.ini")));
}

void TestMainShell::secondCopyLeavesTheFolderAlone() {
    // The first copy's folder in the middle of a commit: the journal names a data file
    // and the layout, written under temporary names, and the inbox file whose record they
    // hold; another temporary file is being written. No Sentrel.ini yet.
    QDir(folder_->path()).mkpath(QStringLiteral("inbox"));
    const QString inboxFile = InFolder("inbox/06120000.012");
    WriteFile(inboxFile, QByteArray("record of object 12"));
    WriteFile(InFolder("SntQMXMSG.dat"), QByteArray("old messages"));
    WriteFile(InFolder("Interface.ini"), "[GlobalSize]\r\npos=10,710,20,320\r\nmaxMin=0\r\n");
    WriteFile(InFolder("Sentrel.log"), QByteArray("earlier entries\r\n"));
    const QByteArray newMessages("new messages");
    const QByteArray newLayout("[GlobalSize]\r\npos=50,750,60,360\r\nmaxMin=0\r\n");
    WriteFile(InFolder("SntQMXMSG.dat.41.~sentrel-tmp"), newMessages);
    WriteFile(InFolder("Interface.ini.41.~sentrel-tmp"), newLayout);
    WriteFile(InFolder("SntHistory.dat.42.~sentrel-tmp"), QByteArray("half a history"));
    CCommitJournal journal;
    journal.replacements.push_back({InFolder("SntQMXMSG.dat.41.~sentrel-tmp").toStdString(),
                                    InFolder("SntQMXMSG.dat").toStdString(), newMessages.size()});
    journal.replacements.push_back({InFolder("Interface.ini.41.~sentrel-tmp").toStdString(),
                                    InFolder("Interface.ini").toStdString(), newLayout.size()});
    journal.logPath = InFolder("Sentrel.log").toStdString();
    journal.oldLogPath = InFolder("SntOld.log").toStdString();
    journal.log.sizeBefore = 17;
    journal.log.entries = {"12: entry\r\n"};
    journal.processedFiles = {{inboxFile.toStdString(), {}}};
    WriteFile(InFolder("SntCommit.jnl"), QByteArray::fromStdString(journal.Encode()));
    const QStringList before = FolderContents(folder_->path());

    // Held by a copy of another account: nobody of ours listens.
    std::optional<CInstanceLock> first(std::in_place);
    QVERIFY(first->Acquire());
    {
        TestDialog second(Paths());
        second.move(200, 100);
        QVERIFY(!second.Initialise());
    }
    QCOMPARE(FolderContents(folder_->path()), before);
    {
        // Whatever is asked of a console that never got the folder is refused.
        TestDialog second(Paths());
        QVERIFY(!second.Initialise());
        second.Console().layout.totalMessageCount = 99;
        second.Console().SaveLayout();
        QVERIFY(!second.Console().FlushSaves());
        QVERIFY(!second.Console().SaveSettings());
        second.Console().ReloadState();
        second.Console().StartWorkers();
    }
    QCOMPARE(FolderContents(folder_->path()), before);
    QCOMPARE(Prompt::ShownTexts(), (QStringList{kOtherAccountText, kOtherAccountText}));

    // The copy that holds the lock finishes that commit and cleans up.
    first.reset();
    TestDialog owner(Paths());
    QVERIFY(owner.Initialise());
    QVERIFY(owner.Console().FlushSaves());
    QCOMPARE(ReadFile(InFolder("SntQMXMSG.dat")), newMessages);
    QVERIFY(!QFile::exists(inboxFile));
    QVERIFY(!QFile::exists(InFolder("SntCommit.jnl")));
    QVERIFY(!QFile::exists(InFolder("SntHistory.dat.42.~sentrel-tmp")));
    QVERIFY(ReadFile(InFolder("Sentrel.ini")).startsWith("ChannelOutFolder"));
}

void TestMainShell::secondCopyBringsTheFirstWindowForward() {
    TestDialog first(Paths());
    first.SetTrayAvailableOverride(true);
    QVERIFY(first.Initialise());
    QVERIFY(first.ShowChannel() != nullptr && first.ShowChannel()->IsListening());
    first.ShowAtStart();
    QVERIFY(QTest::qWaitForWindowExposed(&first));
    QSignalSpy requests(first.ShowChannel(), &CShowRequestChannel::showRequested);

    // In the tray: the second copy brings it back and says nothing itself.
    first.AddTrayIcon();
    QVERIFY(!first.isVisible());
    {
        TestDialog second(Paths());
        QVERIFY(!second.Initialise());
        QCOMPARE(second.loads, 0);
        QVERIFY(!second.isVisible());
    }
    QCOMPARE(requests.count(), 1);
    QVERIFY(Prompt::ShownPrompts().empty());
    QVERIFY(first.isVisible());
    QVERIFY(!first.TrayIconShown());
    QVERIFY(!first.IsEnded());

    // Minimised to the task bar: restored.
    first.showMinimized();
    QTRY_VERIFY(first.isMinimized());
    QCOMPARE(CShowRequestChannel::AskToShow(CShowRequestChannel::DefaultName()),
             CShowRequestChannel::Answer::Shown);
    QTRY_VERIFY(!first.isMinimized());
    QVERIFY(first.isVisible());
    QCOMPARE(requests.count(), 2);
    QVERIFY(Prompt::ShownPrompts().empty());
}

void TestMainShell::showRequestsOverTheChannel() {
    // The name carries the account and lies in the lock folder.
    const QString name = CShowRequestChannel::DefaultName();
    QVERIFY(!CShowRequestChannel::AccountName().isEmpty());
    QCOMPARE(name, lockDir_.path() + "/Sentrel-088FA840-B10D-11D3-BC36-006067709674-" +
                       CShowRequestChannel::AccountName());

    // Nobody listens: after a short look for a copy just starting, NoListener.
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(CShowRequestChannel::AskToShow(name, 1000, 300),
             CShowRequestChannel::Answer::NoListener);
    QVERIFY2(timer.elapsed() >= 250 && timer.elapsed() < 3000, QByteArray::number(timer.elapsed()));

    // A request from another thread (as from another process) reaches the listener.
    {
        CShowRequestChannel channel;
        QVERIFY(channel.Listen(name));
        QSignalSpy requests(&channel, &CShowRequestChannel::showRequested);
        std::atomic<int> answer{-1};
        std::thread asker([&] { answer = static_cast<int>(CShowRequestChannel::AskToShow(name)); });
        QTRY_VERIFY_WITH_TIMEOUT(answer != -1, 5000);
        asker.join();
        QCOMPARE(answer.load(), static_cast<int>(CShowRequestChannel::Answer::Shown));
        QCOMPARE(requests.count(), 1);
    }

    // A socket left behind by a copy that ended is taken over by the next one.
    {
        QLocalServer stale;
        QVERIFY(stale.listen(name));
        CShowRequestChannel channel;
        QVERIFY(channel.Listen(name));
        QVERIFY(channel.IsListening());
    }

    // A listener that takes the connection but never answers: NoAnswer, in time.
    {
        QLocalServer silent;
        QLocalServer::removeServer(name);
        QVERIFY(silent.listen(name));
        timer.restart();
        QCOMPARE(CShowRequestChannel::AskToShow(name, 300), CShowRequestChannel::Answer::NoAnswer);
        QVERIFY2(timer.elapsed() < 3000, QByteArray::number(timer.elapsed()));
    }
}

void TestMainShell::failedLoadEndsStartup() {
    TestDialog dialog(Paths());
    dialog.loadResult = false;
    QVERIFY(!dialog.Initialise());
    QCOMPARE(dialog.loads, 1);
    QVERIFY(!dialog.initDone);
    QVERIFY(!dialog.isVisible());
}

void TestMainShell::secondProcessExitsAtOnce() {
    const QString binary = SentrelBinary();
    QVERIFY2(QFile::exists(binary), qPrintable(binary));
    const QString copy = InFolder("sentrel");
    QVERIFY(QFile::copy(binary, copy));
    const QStringList before = FolderContents(folder_->path());

    // This process plays the running copy of the same account.
    CInstanceLock first;
    QVERIFY(first.Acquire());
    CShowRequestChannel channel;
    QVERIFY(channel.Listen(CShowRequestChannel::DefaultName()));
    QSignalSpy requests(&channel, &CShowRequestChannel::showRequested);

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SENTREL_LOCK_FOLDER"), lockDir_.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder_->path());
    QElapsedTimer timer;
    timer.start();
    process.start(copy, {});
    QVERIFY(process.waitForStarted(5000));
    // Events keep running meanwhile: the request is answered here.
    QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 10000);
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY2(timer.elapsed() < 8000, QByteArray::number(timer.elapsed()));
    QCOMPARE(requests.count(), 1);
    // It wrote nothing at all, not even the missing settings.
    QCOMPARE(FolderContents(folder_->path()), before);
}

void TestMainShell::processClosesOnTerminateAfterASecond() {
    const QString copy = InFolder("sentrel");
    QVERIFY(QFile::copy(SentrelBinary(), copy));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SENTREL_LOCK_FOLDER"), lockDir_.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(copy, {});
    QVERIFY(process.waitForStarted(5000));
    // Running: it holds the lock.
    QTRY_VERIFY_WITH_TIMEOUT(!CInstanceLock().Acquire(), 5000);
    QVERIFY(!process.waitForFinished(300));

    QElapsedTimer timer;
    timer.start();
    process.terminate();
    QVERIFY(process.waitForFinished(10000));
    QVERIFY2(timer.elapsed() >= 900, QByteArray::number(timer.elapsed()));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void TestMainShell::statusPartEdges() {
    QCOMPARE(CStatusBar::PartEdgesFor(281), (std::array<int, 3>{1, 121, 281}));
    QCOMPARE(CStatusBar::PartEdgesFor(280), (std::array<int, 3>{280, 280, 280}));
    QCOMPARE(CStatusBar::PartEdgesFor(100), (std::array<int, 3>{100, 100, 100}));
    QCOMPARE(CStatusBar::PartEdgesFor(700), (std::array<int, 3>{420, 540, 700}));

    TestDialog dialog(Paths());
    QVERIFY(dialog.Initialise());
    dialog.ShowAtStart();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // The parts follow the outer width, frame included.
    const int frame = dialog.frameGeometry().width() - dialog.width();
    dialog.resize(281 - frame, 200);
    QCOMPARE(dialog.frameGeometry().width(), 281);
    QCOMPARE(dialog.StatusBar()->PartEdges(), (std::array<int, 3>{1, 121, 281}));
    dialog.resize(280 - frame, 200);
    QCOMPARE(dialog.StatusBar()->PartEdges(), (std::array<int, 3>{280, 280, 280}));

    dialog.SetStatusTexts(QStringLiteral("a"), QStringLiteral("5 (17)"), QStringLiteral("c"));
    QCOMPARE(dialog.StatusBar()->PartText(1), QStringLiteral("5 (17)"));
}

void TestMainShell::countersMenuArea() {
    // Bar from 100 to 500: the area is 231..349.
    QVERIFY(!CStatusBar::CountersAreaContains(230, 100, 400));
    QVERIFY(CStatusBar::CountersAreaContains(231, 100, 400));
    QVERIFY(CStatusBar::CountersAreaContains(349, 100, 400));
    QVERIFY(!CStatusBar::CountersAreaContains(350, 100, 400));
    // Exactly 280 wide counts; narrower never opens the menu.
    QVERIFY(CStatusBar::CountersAreaContains(50, 0, 280));
    QVERIFY(!CStatusBar::CountersAreaContains(50, 0, 279));

    TestDialog dialog(Paths());
    QVERIFY(dialog.Initialise());
    dialog.ShowAtStart();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CStatusBar* bar = dialog.StatusBar();
    const int right = bar->mapToGlobal(QPoint(0, 0)).x() + bar->width();
    QVERIFY(dialog.StatusBar()->InCountersArea(right - 200));
    QVERIFY(!dialog.StatusBar()->InCountersArea(right - 100));
    // A request there opens the counters menu; elsewhere nothing.
    emit bar->contextMenuAt(QPoint(right - 100, bar->mapToGlobal(QPoint(0, 5)).y()));
    QVERIFY(!dialog.CountersMenu()->isVisible());
    emit bar->contextMenuAt(QPoint(right - 200, bar->mapToGlobal(QPoint(0, 5)).y()));
    QVERIFY(dialog.CountersMenu()->isVisible());
    dialog.CountersMenu()->hide();
}

void TestMainShell::menusCarryCommandIds() {
    TestDialog dialog(Paths());
    const std::pair<int, const char*> commands[] = {
        {32780, "Открыть файл с районами..."},
        {32779, "Открыть файл с адресной книгой..."},
        {32793, "Журнал оповещений..."},
        {32771, "Выход"},
        {32778, "Контрольные районы..."},
        {32775, "Адресная книга..."},
        {32773, "Установки..."},
        {32781, "Расстояния до районов..."},
        {32783, "Расстояния до объектов..."},
        {32774, "О программе..."},
        {32782, "Сбросить оповещения"},
        {32772, "Управление..."},
        {32788, "История..."},
        {32791, "Карта..."},
        {32792, "История движения..."},
        {32784, "Сбросить общий счетчик"},
        {32785, "Сбросить счетчик за текущую сессию"},
        {32790, "Показать"},
        {32789, "Выход"},
    };
    for (const auto& [id, text] : commands) {
        QAction* action = dialog.CommandAction(id);
        QVERIFY2(action != nullptr, QByteArray::number(id));
        QCOMPARE(action->text(), QString::fromUtf8(text));
        QCOMPARE(action->data().toInt(), id);
    }
    // The context menus hold exactly their items, in order.
    auto ids = [](QMenu* menu) {
        std::vector<int> found;
        for (QAction* action : menu->actions()) {
            found.push_back(action->data().toInt());
        }
        return found;
    };
    QCOMPARE(ids(dialog.ObjectMenu()), (std::vector<int>{32782, 32772, 32788, 32792}));
    QCOMPARE(ids(dialog.CountersMenu()), (std::vector<int>{32784, 32785}));
    // The distances menu ends with the map and the replay (0: the separator); the file
    // menu has the journal between the data files and the exit.
    QMenu* distances = nullptr;
    QMenu* file = nullptr;
    for (QAction* action : dialog.menuBar()->actions()) {
        if (action->text() == QStringLiteral("Расстояния")) {
            distances = action->menu();
        } else if (action->text() == QStringLiteral("Файл")) {
            file = action->menu();
        }
    }
    QVERIFY(distances != nullptr && file != nullptr);
    QCOMPARE(ids(file), (std::vector<int>{32780, 32779, 0, 32793, 0, 32771}));
    QCOMPARE(ids(distances), (std::vector<int>{32781, 32783, 0, 32791, 32792}));
    QCOMPARE(ids(dialog.TrayMenu()), (std::vector<int>{32790, 32789}));

    // Triggering an item runs its command.
    dialog.CommandAction(32772)->trigger();
    dialog.CommandAction(32785)->trigger();
    QCOMPARE(dialog.controlPanels, 1);
    QCOMPARE(dialog.runResets, 1);
}

void TestMainShell::objectMenuNeedsSelectionAndPending() {
    WriteFile(InFolder("Interface.ini"), "[Cols]\r\n6=150\r\n7=80\r\n");
    TestDialog dialog(Paths());
    QVERIFY(dialog.Initialise());
    dialog.ShowAtStart();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CObjectListCtrl* list = dialog.List();
    list->InsertRow(0);
    list->InsertRow(1);

    emit list->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(!dialog.ObjectMenu()->isVisible());

    list->SelectRow(1);
    emit list->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(dialog.ObjectMenu()->isVisible());
    QVERIFY(!dialog.CommandAction(32782)->isEnabled());
    dialog.ObjectMenu()->hide();

    dialog.pending = true;
    emit list->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(dialog.CommandAction(32782)->isEnabled());
    dialog.ObjectMenu()->hide();

    // A double click on a row opens the control panel.
    emit list->doubleClicked(list->Model()->index(1, 0));
    QCOMPARE(dialog.controlPanels, 1);
}

void TestMainShell::headerClickAndColumnWidths() {
    WriteFile(InFolder("Interface.ini"), "[Cols]\r\n6=150\r\n7=80\r\n99=10\r\n9=60\r\n");
    TestDialog dialog(Paths());
    QVERIFY(dialog.Initialise());
    // An unknown id is not shown, and the positions of the others still match.
    QCOMPARE(dialog.List()->ColumnCount(), 3);
    QCOMPARE(dialog.Console().layout.columnIds, (std::vector<int32_t>{6, 7, 9}));

    emit dialog.List()->headerClicked(2);
    emit dialog.List()->headerClicked(0);
    emit dialog.List()->headerClicked(5);  // no such column
    QCOMPARE(dialog.sorted, (std::vector<int>{9, 6}));

    // An operator's width change goes into the layout file at once.
    dialog.List()->horizontalHeader()->resizeSection(1, 123);
    QCOMPARE(dialog.Console().layout.columnWidths, (std::vector<int32_t>{150, 123, 60}));
    QVERIFY((dialog.Console().FlushSaves(), ReadFile(InFolder("Interface.ini")))
                .contains("[Cols]\r\n6=150\r\n7=123\r\n9=60\r\n"));
}

void TestMainShell::trayWhenAvailable() {
    TestDialog dialog(Paths());
    dialog.SetTrayAvailableOverride(true);
    QVERIFY(dialog.Initialise());
    dialog.ShowAtStart();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    dialog.SetTrayTip(QStringLiteral("ignored: no icon yet"));
    QCOMPARE(dialog.TrayTip(), QString());

    dialog.AddTrayIcon();
    QVERIFY(dialog.TrayIconShown());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.TrayTip(), QStringLiteral("Sentrel"));
    const QString longTip(100, QChar(u'Ж'));
    dialog.SetTrayTip(longTip);
    QCOMPARE(dialog.TrayTip(), longTip.left(63));

    dialog.Console().layout.minimised = true;
    dialog.RestoreFromTray();
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.TrayIconShown());
    QVERIFY(!dialog.Console().layout.minimised);
    QVERIFY((dialog.Console().FlushSaves(), ReadFile(InFolder("Interface.ini")))
                .contains("maxMin=0\r\n"));

    // Minimising with MinimyzeTray on sends the window to the tray.
    dialog.Console().settings.minimyzeTray = true;
    dialog.HandleMoveOrSize(CMainDialog::ShowState::Minimised, true);
    QVERIFY(dialog.TrayIconShown());
    QVERIFY(!dialog.isVisible());
    QVERIFY(dialog.Console().layout.minimised);
    dialog.RunCommand(CMainDialog::kCmdTrayShow);
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.TrayIconShown());

    // "Выход" of the tray menu removes the icon and ends the window.
    dialog.AddTrayIcon();
    QSignalSpy finished(&dialog, &CMainDialog::finished);
    dialog.RunCommand(CMainDialog::kCmdTrayExit);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!dialog.TrayIconShown());
}

void TestMainShell::noTrayMinimisesInstead() {
    TestDialog dialog(Paths());
    dialog.SetTrayAvailableOverride(false);
    dialog.Console().settings.minimyzeTray = true;
    QVERIFY(dialog.Initialise());
    dialog.ShowAtStart();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    dialog.AddTrayIcon();
    QVERIFY(!dialog.TrayIconShown());
    QVERIFY(dialog.isVisible());
    QTRY_VERIFY(dialog.isMinimized());
    QTRY_VERIFY(dialog.Console().layout.minimised);
    dialog.SetTrayTip(QStringLiteral("x"));
    QCOMPARE(dialog.TrayTip(), QString());
    // Not hidden, so not lost.
    QVERIFY(dialog.isVisible());
}

void TestMainShell::placementBookkeeping() {
    TestDialog dialog(Paths());
    dialog.move(40, 50);
    dialog.resize(640, 480);
    // Before initialisation has finished nothing is recorded.
    dialog.HandleMoveOrSize(CMainDialog::ShowState::Maximised, true);
    QVERIFY(!dialog.Console().layout.maximised);
    QVERIFY(!QFile::exists(InFolder("Interface.ini")));

    QVERIFY(dialog.Initialise());
    QSignalSpy notices(&dialog, &CMainDialog::secondaryWindowsNotice);
    WindowLayout& layout = dialog.Console().layout;

    dialog.HandleMoveOrSize(CMainDialog::ShowState::Maximised, true);
    QVERIFY(layout.maximised);
    QVERIFY(!layout.minimised);
    QVERIFY((dialog.Console().FlushSaves(), ReadFile(InFolder("Interface.ini")))
                .contains("maxMin=1\r\n"));
    QCOMPARE(notices.count(), 1);

    dialog.HandleMoveOrSize(CMainDialog::ShowState::Minimised, true);
    QVERIFY(layout.maximised);
    QVERIFY(layout.minimised);
    QVERIFY((dialog.Console().FlushSaves(), ReadFile(InFolder("Interface.ini")))
                .contains("maxMin=3\r\n"));
    QCOMPARE(notices.count(), 1);      // minimising tells the other windows nothing
    QVERIFY(!dialog.TrayIconShown());  // MinimyzeTray is off

    // Restored from a minimised maximised window: maximised again.
    dialog.HandleMoveOrSize(CMainDialog::ShowState::Normal, true);
    QVERIFY(layout.maximised);
    QVERIFY(!layout.minimised);
    QTRY_VERIFY(dialog.isMaximized());
    dialog.showNormal();
    QTRY_VERIFY(!dialog.isMaximized());

    // An ordinary normal state: both flags cleared and the rectangle stored.
    dialog.setGeometry(70, 80, 500, 350);
    dialog.HandleMoveOrSize(CMainDialog::ShowState::Normal, false);
    QVERIFY(!layout.maximised);
    QVERIFY(!layout.minimised);
    const QRect frame = dialog.frameGeometry();
    QCOMPARE(layout.mainRect, (LayoutRect{frame.x(), frame.y(), frame.x() + frame.width(),
                                          frame.y() + frame.height()}));
    QVERIFY((dialog.Console().FlushSaves(), ReadFile(InFolder("Interface.ini")))
                .startsWith(QStringLiteral("[GlobalSize]\r\npos=%1,%2,%3,%4\r\nmaxMin=0\r\n")
                                .arg(frame.x())
                                .arg(frame.x() + frame.width())
                                .arg(frame.y())
                                .arg(frame.y() + frame.height())
                                .toLatin1()));
}

void TestMainShell::startStateFromLayout_data() {
    QTest::addColumn<int>("maxMin");
    QTest::addColumn<bool>("minimyzeTray");
    QTest::addColumn<bool>("trayAvailable");
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<bool>("minimised");
    QTest::newRow("normal") << 0 << true << true << false << false << false;
    QTest::newRow("maximised") << 1 << false << true << false << true << false;
    QTest::newRow("minimised to tray") << 2 << true << true << true << false << false;
    QTest::newRow("minimised, no tray option") << 2 << false << true << false << false << true;
    QTest::newRow("minimised, no tray at all") << 2 << true << false << false << false << true;
    QTest::newRow("minimised from maximised") << 3 << false << true << false << false << true;
}

void TestMainShell::startStateFromLayout() {
    QFETCH(int, maxMin);
    QFETCH(bool, minimyzeTray);
    QFETCH(bool, trayAvailable);
    QFETCH(bool, hidden);
    QFETCH(bool, maximised);
    QFETCH(bool, minimised);
    WriteFile(InFolder("Interface.ini"),
              QStringLiteral("[GlobalSize]\r\npos=30,730,40,340\r\nmaxMin=%1\r\n")
                  .arg(maxMin)
                  .toLatin1());
    WriteFile(InFolder("Sentrel.ini"), minimyzeTray ? "MinimyzeTray1\r\n" : "MinimyzeTray0\r\n");
    TestDialog dialog(Paths());
    dialog.SetTrayAvailableOverride(trayAvailable);
    QVERIFY(dialog.Initialise());
    QCOMPARE(dialog.StartsHidden(), hidden);
    dialog.ShowAtStart();
    QCoreApplication::processEvents();
    QCOMPARE(dialog.isVisible(), !hidden);
    QCOMPARE(dialog.TrayIconShown(), hidden);
    if (!hidden) {
        QTRY_COMPARE(dialog.isMaximized() && !dialog.isMinimized(), maximised);
        QTRY_COMPARE(dialog.isMinimized(), minimised);
    }
    if (maxMin == 3) {
        // Still recorded as coming from a maximised window.
        QVERIFY(dialog.Console().layout.maximised);
        QVERIFY(dialog.Console().layout.minimised);
    }
}

void TestMainShell::closeRules() {
    TestDialog dialog(Paths());
    QVERIFY(dialog.Initialise());
    dialog.ShowAtStart();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QSignalSpy finished(&dialog, &CMainDialog::finished);

    dialog.modalOpen = true;
    dialog.RunCommand(CMainDialog::kCmdExit);
    dialog.close();
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.IsEnded());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(dialog.stops, 0);

    dialog.modalOpen = false;
    dialog.close();  // the close box
    QVERIFY(dialog.IsEnded());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(dialog.stops, 1);
    // Ends once.
    dialog.RunCommand(CMainDialog::kCmdExit);
    QCOMPARE(finished.count(), 1);

    // The tray's "Выход" does not look at open dialogs.
    TestDialog second(Paths());
    second.modalOpen = true;
    QSignalSpy secondFinished(&second, &CMainDialog::finished);
    second.TrayExit();
    QCOMPARE(secondFinished.count(), 1);
    QCOMPARE(second.stops, 1);
}

void TestMainShell::escapeAndEnterDoNotClose() {
    TestDialog dialog(Paths());
    QVERIFY(dialog.Initialise());
    dialog.ShowAtStart();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QTest::keyClick(&dialog, Qt::Key_Return);
    QTest::keyClick(dialog.List(), Qt::Key_Escape);
    QTest::keyClick(dialog.List(), Qt::Key_Enter);
    QVERIFY(dialog.isVisible());
    QVERIFY(!dialog.IsEnded());
}

void TestMainShell::outsideCloseRequestWaitsASecond() {
    TestDialog dialog(Paths());
    QVERIFY(dialog.Initialise());
    dialog.ShowAtStart();
    dialog.ListenForOutsideCloseRequests();
    dialog.modalOpen = true;  // an open dialog does not hold it back
    QSignalSpy finished(&dialog, &CMainDialog::finished);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(::raise(SIGTERM), 0);
    QTest::qWait(400);
    QVERIFY(!dialog.IsEnded());
    QTRY_VERIFY_WITH_TIMEOUT(dialog.IsEnded(), 5000);
    QVERIFY2(timer.elapsed() >= 950, QByteArray::number(timer.elapsed()));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(dialog.stops, 1);
}

void TestMainShell::aboutBoxMarksModal() {
    TestDialog dialog(Paths());
    bool sawModal = false;
    QString texts;
    QTimer::singleShot(0, &dialog, [&] {
        QWidget* box = QApplication::activeModalWidget();
        QVERIFY(box != nullptr);
        sawModal = dialog.modalOpen;
        texts = box->windowTitle();
        for (QLabel* label : box->findChildren<QLabel*>()) {
            texts += "|" + label->text();
        }
        QMetaObject::invokeMethod(box, "accept", Qt::QueuedConnection);
    });
    dialog.RunCommand(CMainDialog::kCmdAbout);
    QVERIFY(sawModal);
    QVERIFY(!dialog.modalOpen);
    QVERIFY2(texts.startsWith(QStringLiteral("О программе")), qPrintable(texts));
    QVERIFY(texts.contains(QStringLiteral("|Sentrel")));
    QVERIFY(texts.contains(QStringLiteral("|Версия 1.4")));
}

void TestMainShell::screenshotOfEmptyWindow() {
    if (ShotsDir().isEmpty()) {
        QSKIP("SENTREL_SHOTS_DIR not set");
    }
    TestDialog dialog(Paths());
    QVERIFY(dialog.Initialise());
    dialog.ShowAtStart();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.SetStatusTexts(QStringLiteral("0007 - Bus: Склад"), QStringLiteral("5 (1234)"),
                          QStringLiteral("07.12.2024 10:00:00"));
    QDir().mkpath(ShotsDir());
    QVERIFY(dialog.grab().save(ShotsDir() + "/mainwindow.png"));
}

QTEST_MAIN(TestMainShell)
#include "tst_mainshell.moc"
