#include "app/SentrelApp.h"

#include <QTimer>
#include <clocale>
#include <vector>

#include "app/Icons.h"
#include "app/MainDialog.h"
#include "app/PathCheck.h"
#include "app/Prompt.h"
#include "app/QtTranslations.h"
#include "console/Console.h"
#include "console/ProgramPaths.h"
#include "platform/Platform.h"
#ifdef SENTREL_WITH_TRACKS
#include "SqliteJournalReader.h"
#include "SqliteTrackReader.h"
#include "SqliteTrackStore.h"
#endif

CSentrelApp::CSentrelApp(int& argc, char** argv) : app_(argc, argv) {
    // QApplication sets the locale from the environment; numbers in files and logs are
    // always written with a '.' decimal point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Sentrel"));
    QApplication::setWindowIcon(Icons::AppIcon());
    // File dialogs and standard buttons speak the program's language.
    QtTranslations::InstallRussian(app_);
    // The window may sit in the tray while the alert pop-up is the only window shown;
    // closing the pop-up must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
}

int CSentrelApp::Run() {
    // Everything is written beside the program: a folder it cannot name is refused here,
    // before any save could fail for that reason.
    const QString problem = PathCheck::ProgramFolderProblem(QCoreApplication::applicationDirPath());
    if (!problem.isEmpty()) {
        Prompt::Message(nullptr, problem, QStringLiteral("Sentrel"), Prompt::Icon::Stop);
        return 1;
    }
    const ProgramPaths paths = ProgramPaths::For(Platform::GetProgramFolder());
    CMainDialog dialog(paths);
#ifdef SENTREL_WITH_TRACKS
    // Every applied position goes to SntTracks.db with the commits; the file is opened
    // only once the window holds the program folder.
    dialog.Console().AttachTrackSink(std::make_unique<CSqliteTrackStore>(paths.tracksPath));
    // The replay reads the routes back beside the writer, through connections of its own.
    dialog.SetTrackSource(std::make_shared<CSqliteTrackReader>(paths.tracksPath));
    // So do the journal window and the hand-over at start with the alert journal.
    dialog.SetAlertJournal(std::make_shared<CSqliteJournalReader>(paths.tracksPath));
#endif
    // exit() rather than quit(): it also ends a message box or file dialog that start-up
    // may have open when the window is told to close from outside.
    QObject::connect(
        &dialog, &CMainDialog::finished, &app_, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);
    dialog.ListenForOutsideCloseRequests();
    if (!dialog.Initialise() || dialog.IsEnded()) {
        return 0;
    }
    dialog.ShowAtStart();
    // For the tests that kill the program while it runs (as SENTREL_LOCK_FOLDER is):
    // SENTREL_TEST_ACKNOWLEDGE="12,7" acknowledges those objects' alerts every 100 ms,
    // as "Сбросить оповещения" would.
    QTimer acknowledging;
    std::vector<int32_t> acknowledged;
    for (const QString& number :
         qEnvironmentVariable("SENTREL_TEST_ACKNOWLEDGE").split(u',', Qt::SkipEmptyParts))
        acknowledged.push_back(number.trimmed().toInt());
    if (!acknowledged.empty()) {
        QObject::connect(&acknowledging, &QTimer::timeout, &dialog,
                         [&] { dialog.Console().AcknowledgeAlerts(acknowledged); });
        acknowledging.start(100);
    }
    QApplication::exec();
    return 0;
}
