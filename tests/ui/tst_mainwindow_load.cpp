// The window under a steady stream of messages: sentrel-feed writes 20 messages a second
// for 200 objects into the window's inbox while the test clicks the list and measures how
// late the event loop answers; after the feed stops, every row must show what the store
// holds.
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QProcess>
#include <algorithm>
#include <chrono>
#include <thread>

#include "objectlist/ObjectListModel.h"
#include "tst_mainwindow_rig.h"

using namespace rig;

namespace {

// The computer's clock, which the test can stop so that the rows and the store can be
// compared text for text (ages included).
class FreezableClock : public Clock {
public:
    DateTime Now() const override { return frozen_.load() ? DateTime(at_.load()) : system_.Now(); }
    std::optional<int> TimeZoneBiasMinutes() const override {
        return system_.TimeZoneBiasMinutes();
    }
    void Freeze() {
        at_.store(system_.Now().date);
        frozen_.store(true);
    }

private:
    SystemClock system_;
    std::atomic<bool> frozen_{false};
    std::atomic<double> at_{0};
};

struct Latencies {
    std::vector<double> ms;
    void Add(double value) { ms.push_back(value); }
    double Max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
    double Percentile(double p) const {
        if (ms.empty()) {
            return 0;
        }
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        const size_t at = std::min(sorted.size() - 1, static_cast<size_t>(p * sorted.size()));
        return sorted[at];
    }
};

// Posts a mouse press and release to the list every 50 ms from a thread of its own and
// times each press from its posting to its arrival: a GUI thread busy with anything
// shows up as a late click.
class ClickProbe : public QObject {
public:
    explicit ClickProbe(QWidget* target, QPoint at) : target_(target), at_(at) {
        target->installEventFilter(this);
        thread_ = std::thread([this] { Run(); });
    }
    ~ClickProbe() override { Stop(); }
    void Stop() {
        stop_.Set();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    // Clicks posted and not yet arrived.
    size_t Pending() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return posted_.size() - answered_;
    }
    Latencies Result() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return latencies_;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == target_ && event->type() == QEvent::MouseButtonPress) {
            const auto now = std::chrono::steady_clock::now();
            std::lock_guard<std::mutex> lock(mutex_);
            if (answered_ < posted_.size()) {
                latencies_.Add(
                    std::chrono::duration<double, std::milli>(now - posted_[answered_]).count());
                ++answered_;
            }
        }
        return false;
    }

private:
    void Run() {
        const QPoint global = target_->mapToGlobal(at_);
        while (!stop_.WaitFor(50)) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                posted_.push_back(std::chrono::steady_clock::now());
            }
            QCoreApplication::postEvent(
                target_, new QMouseEvent(QEvent::MouseButtonPress, at_, global, Qt::LeftButton,
                                         Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(
                target_, new QMouseEvent(QEvent::MouseButtonRelease, at_, global, Qt::LeftButton,
                                         Qt::NoButton, Qt::NoModifier));
        }
    }

    QWidget* target_;
    const QPoint at_;
    ManualResetEvent stop_;
    mutable std::mutex mutex_;
    std::vector<std::chrono::steady_clock::time_point> posted_;
    size_t answered_ = 0;
    Latencies latencies_;
    std::thread thread_;
};

QString FeedBinary() {
    return QDir(QCoreApplication::applicationDirPath())
        .absoluteFilePath(QStringLiteral("../../tools/sentrel-feed"));
}

int EnvOr(const char* name, int fallback) {
    const int value = qEnvironmentVariableIntValue(name);
    return value > 0 ? value : fallback;
}

}  // namespace

class TestMainWindowLoad : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void answersClicksWhileTheFeedRunsAndEndsRight();

private:
    QTemporaryDir lockDir_;
};

void TestMainWindowLoad::initTestCase() {
    QVERIFY(lockDir_.isValid());
    qputenv("SENTREL_LOCK_FOLDER", lockDir_.path().toUtf8());
    Prompt::SetScripted(true);
}

void TestMainWindowLoad::answersClicksWhileTheFeedRunsAndEndsRight() {
    const QString feed = FeedBinary();
    if (!QFile::exists(feed)) {
        QSKIP("sentrel-feed is not built");
    }
    // 200 objects, 20 messages a second; larger runs by hand through the environment.
    const int seconds = EnvOr("SENTREL_LOAD_SECONDS", 15);
    const int kObjects = EnvOr("SENTREL_LOAD_OBJECTS", 200);
    const int rate = EnvOr("SENTREL_LOAD_RATE", 20);
    Rig r;
    QByteArray book;
    std::string selected;
    for (int n = 1; n <= kObjects; ++n) {
        book += QByteArray::number(n) + ",Vehicle " + QByteArray::number(n) + ",x,\r\n";
        selected += "|" + std::to_string(n) + "|";
    }
    Rig::Write(r.addressBook, book);
    QByteArray zones;
    for (int k = 0; k < 8; ++k) {
        zones += QByteArray::number(k + 1) + "\t" + QByteArray::number(56.80 + 0.01 * k, 'f', 2) +
                 "\t60.60\t0\t Zone" + QByteArray::number(k) + " (R400)\r\n";
    }
    Rig::Write(r.zoneFile, zones);
    r.selectedIds = selected;
    r.settings.timer = 1000;  // the program's default polling period
    r.SaveSettingsFile();

    FreezableClock clock;
    auto window = std::make_unique<CMainDialog>(r.paths, clock, r.sound);
    QVERIFY(window->Initialise());
    window->resize(900, 600);
    window->ShowAtStart();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    CObjectListCtrl& list = *window->List();
    QCOMPARE(list.RowCount(), kObjects);

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(feed,
                  {QStringLiteral("--inbox"), r.inbox, QStringLiteral("--addrbook"), r.addressBook,
                   QStringLiteral("--zones"), r.zoneFile, QStringLiteral("--objects"),
                   QString::number(kObjects), QStringLiteral("--rate"), QString::number(rate),
                   QStringLiteral("--duration"), QString::number(seconds),
                   QStringLiteral("--utc-offset-minutes"), QStringLiteral("0")});
    QVERIFY(process.waitForStarted(5000));

    // The event loop's own lateness (a 5 ms timer) and the time a click takes to arrive.
    Latencies loop;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(5);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        loop.Add(std::max(0.0, sinceTick.nsecsElapsed() / 1e6 - 5.0));
        sinceTick.restart();
    });
    ticker.start();
    ClickProbe probe(list.viewport(), list.visualRect(list.Model()->index(3, 0)).center());

    // An ordinary event loop, as the program runs one (QTRY's waits sleep between turns
    // and would add their own delay to every click).
    {
        QEventLoop running;
        QObject::connect(&process, &QProcess::finished, &running, &QEventLoop::quit);
        QTimer::singleShot((seconds + 30) * 1000, &running, &QEventLoop::quit);
        if (process.state() != QProcess::NotRunning) {
            running.exec();
        }
    }
    QCOMPARE(process.state(), QProcess::NotRunning);
    QTRY_VERIFY_WITH_TIMEOUT(QDir(r.inbox).entryList(QDir::Files).isEmpty(), 30000);
    probe.Stop();
    QTRY_COMPARE(probe.Pending(), size_t(0));
    const Latencies clicks = probe.Result();
    ticker.stop();
    const QByteArray feedOutput = process.readAll();

    qInfo("feed: %s", feedOutput.trimmed().constData());
    qInfo("clicks: %zu, latency max %.1f ms, p99 %.1f ms, median %.1f ms", clicks.ms.size(),
          clicks.Max(), clicks.Percentile(0.99), clicks.Percentile(0.5));
    qInfo("event loop (5 ms timer): %zu ticks, lateness max %.1f ms, p99 %.1f ms", loop.ms.size(),
          loop.Max(), loop.Percentile(0.99));
    {
        auto lock = window->Console().Lock();
        qInfo("messages processed: %d", window->Console().runMessageCount);
        QVERIFY(window->Console().runMessageCount > 0);
    }
    QVERIFY(clicks.ms.size() > static_cast<size_t>(seconds * 10));
    QVERIFY2(clicks.Max() < 100.0, QByteArray::number(clicks.Max()));

    // Stopped time: within two passes every row shows exactly what the store holds.
    clock.Freeze();
    QTest::qWait(2300);
    const DateTime now = clock.Now();
    CConsole& console = window->Console();
    auto lock = console.Lock();
    const WindowLayout& layout = console.layout;
    int compared = 0;
    for (int row = 0; row < list.RowCount(); ++row) {
        const int32_t number = window->RowObjectNumber(row);
        const int i = console.store.FindObjectByNumber(number);
        QVERIFY(i >= 0);
        const ObjectRecord& o = console.store.Object(i);
        const std::pair<int, std::string> texts[] = {
            {kColObject, console.store.FormatIdAndName(i)},
            {kColZone, console.store.FormatZoneCell(i)},
            {kColZoneTime, console.store.FormatZoneTime(i, now)},
            {kColLastMessage,
             o.lastReceivedAt.IsNever() ? "---" : console.store.FormatLastMessageAge(i, now)},
            {kColSpeed, console.store.FormatSpeed(i)},
            {kColPath, console.store.FormatPath(i)},
        };
        for (const auto& [id, text] : texts) {
            QCOMPARE(list.CellText(row, layout.ColumnPosition(id)),
                     QString::fromStdString(Cp1251::ToUtf8(text)));
        }
        for (int k = 0; k < 5; ++k) {
            QCOMPARE(list.CellImage(row, layout.ColumnPosition(kColSensor1 + k)),
                     o.Sensor(k) != 0 ? 7 : 8);
        }
        QCOMPARE(list.PaintStyle(row, layout.ColumnPosition(kColZone)).font.italic,
                 o.currentZone == -1);
        ++compared;
    }
    QCOMPARE(compared, kObjects);
}

QTEST_MAIN(TestMainWindowLoad)
#include "tst_mainwindow_load.moc"
