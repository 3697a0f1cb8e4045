#pragma once

// The main window on a live console, in a program folder of its own: an inbox, an
// address book, two zone files and Sentrel.ini pointing at them. Messages are dropped
// into the inbox as the terminal system writes them; the window's own workers take them.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "../core/FakeSound.h"
#include "../core/ThreeZones.h"
#include "ConsoleFixture.h"
#include "alerts/SoundOutput.h"
#include "app/ConsoleBridge.h"
#include "app/MainDialog.h"
#include "app/Prompt.h"
#include "base/Cp1251.h"
#include "console/Console.h"
#include "model/InboxFile.h"
#include "objectlist/ObjectListCtrl.h"
#include "platform/Clock.h"
#include "platform/ManualResetEvent.h"
#include "settings/Settings.h"

namespace rig {

// The row colours as the list shows them: text and background of a row in each state.
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kYellow = 0xF0F0AA;
constexpr uint32_t kDarkRed = 0xC00000;

using consoletest::FakeSound;

// Local "now" of the tests: 6 December 2026, 12:00:00; the display offset is 0.
inline DateTime Now() {
    return DateTime::FromCalendar(2026, 12, 6, 12, 0, 0);
}
inline DateTime MinutesAgo(double minutes) {
    return Now().AddMinutes(-minutes);
}

// Circle zones A (500 m), B (700 m), C (900 m) along one meridian; ground between them.
using consoletest::kInA;
using consoletest::kInB;
using consoletest::kInC;
using consoletest::kOutside;
using consoletest::Spot;

using fixture::Cp;

// One position record, flagged as the last of its file unless told otherwise (the
// terminal system flags the last record of every file; a file without one waits until it
// has settled).
inline std::string FixRecord(int32_t number, Spot spot, DateTime messageTime, DateTime receiveTime,
                             const char* textUtf8 = "Свежее", double speed = 40,
                             bool lastOfFile = true) {
    InboxRecordHeader h;
    h.objectNumber = number;
    h.flags =
        InboxRecordHeader::kPositionFlag | (lastOfFile ? InboxRecordHeader::kLastRecordFlag : 0u);
    h.messageTime = messageTime;
    h.receiveTime = receiveTime;
    h.latitude = spot.latitude;
    h.longitude = spot.longitude;
    h.speed = speed;
    return EncodeInboxRecord(h, W(textUtf8));
}

inline std::string AlarmRecord(int32_t number, DateTime time, const char* textUtf8 = "Тревога") {
    InboxRecordHeader h;
    h.objectNumber = number;
    h.flags = InboxRecordHeader::kAlarmFlag | InboxRecordHeader::kLastRecordFlag;
    h.messageTime = time;
    h.receiveTime = time;
    return EncodeInboxRecord(h, W(textUtf8));
}

inline std::string InputsRecord(int32_t number, DateTime time, const char* inputs) {
    InboxRecordHeader h;
    h.objectNumber = number;
    h.flags = InboxRecordHeader::kLastRecordFlag;
    h.messageTime = time;
    h.receiveTime = time;
    return EncodeInboxRecord(h, W("Входы: ") + inputs);
}

class Rig {
public:
    // Address book: Truck 12, Bus 7, Van 5, Car 3, Jeep 9 shown; Lada 4 hidden.
    Rig() {
        QVERIFY(dir.isValid());
        paths = ProgramPaths::For(dir.path().toStdString());
        inbox = dir.filePath(QStringLiteral("inbox"));
        QDir().mkpath(inbox);
        addressBook = dir.filePath(QStringLiteral("AddrBook.txt"));
        zoneFile = dir.filePath(QStringLiteral("maps.mrk"));
        otherZoneFile = dir.filePath(QStringLiteral("other.mrk"));
        Write(addressBook,
              "12,Truck,x,\r\n7,Bus,x,\r\n5,Van,x,\r\n3,Car,x,\r\n9,Jeep,x,\r\n4,Lada,x,\r\n");
        Write(zoneFile, QByteArray::fromStdString(consoletest::ZoneFileBytes()));
        Write(otherZoneFile, "1\t55.05\t37.0\t0\t Middle (R3000)\r\n");
        settings = Settings::Defaults(paths.defaultAlarmSoundPath);
        settings.channelOutFolder = inbox.toStdString() + "/";
        settings.qmxInfoFile = zoneFile.toStdString();
        settings.channelObj = addressBook.toStdString();
        settings.alarmSoundPath = "alarm.wav";
        settings.puSoundPath = "pu.wav";
        settings.badZoneSoundPath = "bad.wav";
        settings.specZoneSoundPath = "destination.wav";
        settings.timer = 10;
        settings.timeParam = 3;  // universal time: no display offset
        selectedIds = "|12||7||5||3||9|";
        // A play lasts until the alert is acknowledged, or this long.
        sound.SetPlayMs(20);
    }
    ~Rig() { window.reset(); }

    void SaveSettingsFile() const {
        QVERIFY(::SaveSettings(paths.settingsPath, settings, selectedIds));
    }
    static void Write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    static QByteArray Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A data file of the program folder once what is pending has been written.
    QByteArray Saved(const char* name) const {
        window->Console().FlushSaves();
        return Read(InFolder(name));
    }
    QString InFolder(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    // Builds the window and runs its start-up; false when start-up ended the program.
    bool Start(bool show = true) {
        window = std::make_unique<CMainDialog>(paths, clock, sound);
        window->SetTrayAvailableOverride(trayAvailable);
        if (!window->Initialise()) {
            return false;
        }
        if (show) {
            window->ShowAtStart();
        }
        return true;
    }
    CMainDialog& W() { return *window; }
    CConsole& C() { return window->Console(); }
    CObjectListCtrl& List() { return *window->List(); }

    // Drops a message file into the inbox and waits until the window's worker took it.
    bool Deliver(const QString& name, const std::string& bytes) {
        const QString path = QDir(inbox).filePath(name);
        Write(path, QByteArray::fromStdString(bytes));
        return QTest::qWaitFor([&] { return !QFile::exists(path); }, 5000);
    }

    // Row of an object in the list, -1 when not shown.
    int RowOf(int32_t number) {
        for (int r = 0; r < List().RowCount(); ++r) {
            if (window->RowObjectNumber(r) == number) {
                return r;
            }
        }
        return -1;
    }
    // The object numbers of the rows, top to bottom.
    std::vector<int32_t> RowOrder() {
        std::vector<int32_t> numbers;
        for (int row = 0; row < List().RowCount(); ++row) {
            numbers.push_back(window->RowObjectNumber(row));
        }
        return numbers;
    }
    int Column(int id) {
        auto lock = C().Lock();
        return C().layout.ColumnPosition(id);
    }
    QString Cell(int32_t number, int id) { return List().CellText(RowOf(number), Column(id)); }
    int Image(int32_t number, int id) { return List().CellImage(RowOf(number), Column(id)); }
    void Select(const std::vector<int32_t>& numbers) {
        List().ClearSelection();
        for (const int32_t n : numbers) {
            List().SelectRow(RowOf(n));
        }
    }
    // Object flags and thresholds under the console lock.
    void WithObject(int32_t number, const std::function<void(ObjectRecord&)>& change) {
        auto lock = C().Lock();
        const int i = C().store.FindObjectByNumber(number);
        QVERIFY(i >= 0);
        change(C().store.Object(i));
    }

    QTemporaryDir dir;
    ProgramPaths paths;
    QString inbox;
    QString addressBook;
    QString zoneFile;
    QString otherZoneFile;
    Settings settings;
    std::string selectedIds;
    FixedClock clock{Now(), 0};
    FakeSound sound;
    std::optional<bool> trayAvailable = false;
    std::unique_ptr<CMainDialog> window;
};

// Answers whatever modal window comes up while a command runs, by its class name: the
// handler gets the window and closes it (or leaves it for the next tick). Every window
// seen is recorded in order.
class ModalAnswerer : public QObject {
public:
    using Handler = std::function<void(QWidget*)>;
    ModalAnswerer() {
        timer_.setInterval(15);
        connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
        timer_.start();
    }
    void On(const char* className, Handler handler) { handlers_.push_back({className, handler}); }
    QStringList seen;

private:
    void Tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == last_) {
            return;
        }
        last_ = modal;
        const QString name = QString::fromLatin1(modal->metaObject()->className());
        seen << name;
        for (const auto& [cls, handler] : handlers_) {
            if (name == QLatin1String(cls)) {
                handler(modal);
                return;
            }
        }
        // Anything unexpected is closed, so that no test hangs on it.
        QMetaObject::invokeMethod(modal, "reject", Qt::QueuedConnection);
    }
    QTimer timer_;
    QPointer<QWidget> last_;
    std::vector<std::pair<const char*, Handler>> handlers_;
};

}  // namespace rig
