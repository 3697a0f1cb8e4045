// Screenshots of the real program: `sentrel` is copied into a prepared program folder
// whose inbox holds messages that bring every kind of row about (normal, silent, stale
// stamp, outside every zone, pending alarm and power-on, sensors, never heard from), run
// on the X server of the environment and photographed with `import -window root`.
//
//   SENTREL_SHOTS_DIR=/tmp/shots xvfb-run -a -s "-screen 0 1280x1024x24" ./tst_mainwindow_shots
//
// Without SENTREL_SHOTS_DIR the test is skipped.
#include <QProcess>
#include <QStandardPaths>

#include "model/DataStore.h"
#include "tst_mainwindow_rig.h"
#include "zones/DistanceListWindow.h"
#include "zones/DistanceWindows.h"
#include "zones/ZoneDistanceDialog.h"
#include "zones/ZonesDialog.h"

using namespace rig;

class TestMainWindowShots : public QObject {
    Q_OBJECT
private slots:
    void init();
    void listWithEveryKindOfRow();
    void zoneViewsBesideTheWindow();

private:
    QString shots_;
};

// Every picture is taken of the X screen into SENTREL_SHOTS_DIR.
void TestMainWindowShots::init() {
    shots_ = qEnvironmentVariable("SENTREL_SHOTS_DIR");
    if (shots_.isEmpty()) {
        QSKIP("SENTREL_SHOTS_DIR not set");
    }
    if (QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty() ||
        qEnvironmentVariable("DISPLAY").isEmpty()) {
        QSKIP("needs an X display and ImageMagick's import");
    }
    QDir().mkpath(shots_);
}

void TestMainWindowShots::listWithEveryKindOfRow() {
    Rig r;
    Rig::Write(r.addressBook,
               Cp("12,КамАЗ 12,x,\r\n7,Автобус 7,x,\r\n5,ГАЗель 5,x,\r\n3,Урал 3,x,\r\n"
                  "9,Нива 9,x,\r\n4,Лада 4,x,\r\n8,МАЗ 8,x,\r\n2,ЗИЛ 2,x,\r\n"));
    Rig::Write(r.zoneFile, Cp("1\t55.0\t37.0\t0\t Склад (R500)\r\n"
                              "2\t55.1\t37.0\t0\t Автобаза (R700)\r\n"
                              "3\t55.2\t37.0\t0\t Карьер (R900)\r\n"));
    r.selectedIds = "|12||7||5||3||9||4||8||2|";
    r.settings.timer = 200;
    r.SaveSettingsFile();
    {
        // Thresholds and alert flags as the control panel would have stored them.
        CDataStore store(r.paths.programFolder);
        store.selectedIdsText = r.selectedIds;
        QVERIFY(store.LoadAddressBook(r.addressBook.toStdString()));
        for (int i = 0; i < store.objectCount; ++i) {
            ObjectRecord& o = store.Object(i);
            o.firstTimeout = DateTime::FromTimeOfDay(0, 11, 0);
            o.secondTimeout = DateTime::FromTimeOfDay(0, 5, 0);
            o.alertSettings[0] = 1;  // power-on alerts, pop-up
            o.alertSettings[2] = 1;
            o.alertSettings[3] = 1;  // alarm alerts, pop-up
            o.alertSettings[5] = 1;
        }
        QVERIFY(store.SaveState());
    }
    {
        WindowLayout layout(r.paths.layoutPath);
        layout.mainRect = {0, 0, 1060, 330};
        for (int id = 0; id < kColumnIdCount; ++id) {
            layout.columnIds.push_back(id);
            layout.columnWidths.push_back(id == 0 ? 30 : id <= 5 ? 18 : id == 6 ? 130 : 150);
        }
        layout.SaveLayout();
    }

    const DateTime now = SystemClock().Now();
    auto at = [&](double minutesAgo) { return now.AddMinutes(-minutesAgo); };
    auto drop = [&](const char* name, const std::string& bytes) {
        Rig::Write(QDir(r.inbox).filePath(QString::fromLatin1(name)),
                   QByteArray::fromStdString(bytes));
    };
    drop("06115900.012", FixRecord(12, kInA, at(0.5), at(0.5)));  // normal
    drop("06115900.007", FixRecord(7, kInB, at(1), at(1)));       // alarm below
    drop("06115901.007", AlarmRecord(7, at(0.2), "Нападение"));
    drop("06114000.005", FixRecord(5, kInC, at(1), at(20)));  // silent
    drop("06113000.003", FixRecord(3, kInA, at(30), at(1)));  // stale stamp
    // Two records in one file, so that they are taken in this order: Склад, then outside.
    drop("06115900.009", FixRecord(9, kInA, at(2), at(2), "Свежее", 40, false) +
                             FixRecord(9, kOutside, at(1), at(1)));
    drop("06115900.004", FixRecord(4, kInC, at(1), at(1)));  // sensors
    drop("06115901.004", InputsRecord(4, at(0.5), "1 0 1 1 0"));
    drop("06115900.008", FixRecord(8, kInB, at(0.3), at(0.3), "Свежее PU ", 12));  // power-on

    const QString binary = QDir(QCoreApplication::applicationDirPath())
                               .absoluteFilePath(QStringLiteral("../../src/app/sentrel"));
    const QString copy = r.InFolder("sentrel");
    QVERIFY(QFile::copy(binary, copy));
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    // An instance lock of its own: another Sentrel on this machine must not stop it.
    QTemporaryDir lockDir;
    env.insert(QStringLiteral("SENTREL_LOCK_FOLDER"), lockDir.path());
    app.setProcessEnvironment(env);
    app.start(copy, {});
    QVERIFY(app.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(QDir(r.inbox).entryList(QDir::Files).isEmpty(), 10000);
    QTest::qWait(2500);  // two refresh passes
    QProcess::execute(QStringLiteral("import"),
                      {QStringLiteral("-window"), QStringLiteral("root"),
                       QDir(shots_).filePath(QStringLiteral("sentrel-list.png"))});
    app.terminate();
    QVERIFY(app.waitForFinished(10000));
    QCOMPARE(app.exitCode(), 0);
}

// The zone list, the zone-distance dialog and two distance windows beside the main
// window. The two dialogs are modal in use; here they are shown side by side so that one
// picture holds them all.
void TestMainWindowShots::zoneViewsBesideTheWindow() {
    Rig r;
    r.SaveSettingsFile();
    {
        WindowLayout layout(r.paths.layoutPath);
        layout.mainRect = {0, 0, 760, 260};
        layout.ResetColumnsToDefault();
        layout.SaveLayout();
    }
    QVERIFY(r.Start());
    const DateTime now = SystemClock().Now();
    QVERIFY(r.Deliver(QStringLiteral("06115900.012"), FixRecord(12, kInA, now, now)));
    QVERIFY(r.Deliver(QStringLiteral("06115900.007"), FixRecord(7, kInB, now, now)));
    QVERIFY(r.Deliver(QStringLiteral("06115900.005"), FixRecord(5, kOutside, now, now)));
    QTest::qWait(1200);

    CZonesDialog zones(r.C(), &r.W());
    zones.move(0, 330);
    zones.resize(560, 200);
    zones.show();
    auto zoneDistances = r.W().DistanceWindows()->NewZoneDistanceDialog(&r.W());
    zoneDistances->move(600, 330);
    zoneDistances->resize(460, 260);
    zoneDistances->show();
    r.W().DistanceWindows()->OpenWindowAt(0, QPoint(780, 0));
    r.W().DistanceWindows()->OpenWindowAt(1, QPoint(780, 640));
    QTest::qWait(2500);  // a refresh pass or two reach every view
    QProcess::execute(QStringLiteral("import"),
                      {QStringLiteral("-window"), QStringLiteral("root"),
                       QDir(shots_).filePath(QStringLiteral("zone-views.png"))});
    zoneDistances->close();
    zones.close();
}

QTEST_MAIN(TestMainWindowShots)
#include "tst_mainwindow_shots.moc"
