#include <QtTest>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimeEdit>
#include <atomic>
#include <mutex>

#include "FindChild.h"
#include "alerts/SoundOutput.h"
#include "app/Prompt.h"
#include "base/Cp1251.h"
#include "platform/ManualResetEvent.h"
#include "settings/SettingsDialog.h"
#include "settings/WindowLayout.h"

namespace {

// Plays nothing: each "play" lasts `playMs` or until the stop event is set.
class FakeSound : public SoundOutput {
public:
    bool PlayWav(const std::string& path, const ManualResetEvent* stop) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            paths.push_back(path);
        }
        ++plays;
        if (fail) {
            return false;
        }
        if (hold != nullptr) {
            // An output that does not heed the stop event (a device that hangs).
            ++inside;
            hold->WaitFor(10000);
            --inside;
            return true;
        }
        if (stop != nullptr) {
            stop->WaitFor(playMs);
        }
        return true;
    }
    int Plays() const { return plays.load(); }
    std::string LastPath() {
        std::lock_guard<std::mutex> lock(mutex);
        return paths.empty() ? std::string() : paths.back();
    }

    std::atomic<bool> fail{false};
    int playMs = 20;
    ManualResetEvent* hold = nullptr;
    std::atomic<int> inside{0};

private:
    std::mutex mutex;
    std::vector<std::string> paths;
    std::atomic<int> plays{0};
};

Settings BaseSettings() {
    Settings s = Settings::Defaults("/prog/Sounds/Alarm.wav");
    s.alarmSoundPath = "/snd/alarm.wav";
    s.puSoundPath = "/snd/pu.wav";
    s.specZoneSoundPath = "/snd/dest.wav";
    s.badZoneSoundPath = "/snd/bad.wav";
    return s;
}

const std::vector<int32_t> kAllIds = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
// The defaults for a 700-pixel main window: w = (700 - 90) / 7 = 87, column 0 w - 11.
const std::vector<int32_t> kDefaultWidths700 = {76, 18, 18, 18, 18, 18, 87, 87, 87, 87, 87, 87};

QStringList Texts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) {
        texts << list->item(i)->text();
    }
    return texts;
}

void SelectRow(QListWidget* list, const QString& text) {
    const auto items = list->findItems(text, Qt::MatchExactly);
    QVERIFY(items.size() == 1);
    list->setCurrentItem(items.first());
}

struct Fixture {
    explicit Fixture(const Settings& s = BaseSettings(), std::vector<int32_t> ids = {6, 7, 9},
                     std::vector<int32_t> widths = {100, 80, 120})
        : dialog(s, ids, widths, 700, sound) {
        dialog.open();
    }
    FakeSound sound;
    CSettingsDialog dialog;

    template <typename T>
    T* child(const char* name) {
        return Child<T>(&dialog, name);
    }
    void save() { child<QPushButton>("saveButton")->click(); }
};

}  // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Prompt::SetScripted(true); }
    void init() {
        Prompt::SetNextAnswers({});
        Prompt::ClearShown();
    }

    void opensOnGeneralTabWithEveryValueShown();
    void timeParamZeroSelectsNoButtonAndSavesZero();
    void localMinusThreeHoursSavesMinusOne();
    void otherModesDisableTheOffsetAndKeepTheirSign();
    void passwordBoxDecidesThePassword();
    void unstorablePasswordIsRefused();
    void pollingPeriodMustBeAnIntegerInRange();
    void cancelDiscardsEverything();
    void folderAndFileChoosers();
    void baseMapFileAndServerAddress();
    void soundTestPlaysUntilStopped();
    void soundFailureIsReportedAndEndsThePlayer();
    void closingTheDialogEndsTheTestSound();
    void stopNeverWaitsForTheSoundOutput();
    void columnsPageOpensWithBothListsAndButtonsDisabled();
    void objectColumnCannotBeHidden();
    void moveButtonsFollowTheSelection();
    void movedColumnsAreSavedWithFittedWidths();
    void unchangedColumnSetReportsNoChange();
    void defaultsShowAllTwelveColumns();
    void tabOrderRunsThroughThePageThenThePollingPeriod();
    void screenshots();
};

void TestSettingsDialog::opensOnGeneralTabWithEveryValueShown() {
    Settings s = BaseSettings();
    s.timer = 250;
    s.minimyzeTray = true;
    s.firstTimeOut = DateTime::FromTimeOfDay(0, 11, 0);
    s.secondTimeOut = DateTime::FromTimeOfDay(1, 2, 3);
    s.channelOutFolder = W("/data/Входящие/");
    Fixture f(s);
    QCOMPARE(f.dialog.windowTitle(), QStringLiteral("Установки"));
    auto* tabs = f.child<QTabWidget>("tabWidget");
    QCOMPARE(tabs->currentIndex(), 0);
    QStringList labels;
    for (int i = 0; i < tabs->count(); ++i) {
        labels << tabs->tabText(i);
    }
    QCOMPARE(labels, (QStringList{"Общие", "Данные", "Пороги", "Звуки", "Вид"}));
    QCOMPARE(f.child<QLineEdit>("timerEdit")->text(), QStringLiteral("250"));
    QVERIFY(f.child<QCheckBox>("trayCheck")->isChecked());
    QCOMPARE(f.child<QTimeEdit>("firstTimeoutEdit")->time(), QTime(0, 11, 0));
    QCOMPARE(f.child<QTimeEdit>("secondTimeoutEdit")->time(), QTime(1, 2, 3));
    QCOMPARE(f.child<QLineEdit>("inboxFolderEdit")->text(), QStringLiteral("/data/Входящие/"));
    QCOMPARE(f.child<QLineEdit>("zoneFileEdit")->text(), QStringLiteral("/opt/QMX5/MAPS/maps.mrk"));
    QCOMPARE(f.child<QLineEdit>("forbiddenSoundEdit")->text(), QStringLiteral("/snd/bad.wav"));
    QVERIFY(f.child<QLineEdit>("zoneFileEdit")->isReadOnly());

    // Saving untouched gives back exactly what came in.
    f.save();
    QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
    const Settings& r = f.dialog.settings();
    QCOMPARE(r.timer, 250);
    QVERIFY(r.minimyzeTray);
    QCOMPARE(r.channelOutFolder, s.channelOutFolder);
    QCOMPARE(r.qmxInfoFile, s.qmxInfoFile);
    QCOMPARE(r.channelObj, s.channelObj);
    QVERIFY(r.firstTimeOut == s.firstTimeOut);
    QVERIFY(r.secondTimeOut == s.secondTimeOut);
    QCOMPARE(r.alarmSoundPath, s.alarmSoundPath);
    QCOMPARE(r.puSoundPath, s.puSoundPath);
    QCOMPARE(r.specZoneSoundPath, s.specZoneSoundPath);
    QCOMPARE(r.badZoneSoundPath, s.badZoneSoundPath);
    QCOMPARE(r.timeParam, 0);
    QVERIFY(r.settingsPassword.empty());
}

void TestSettingsDialog::timeParamZeroSelectsNoButtonAndSavesZero() {
    Fixture f;
    for (const char* name : {"localRadio", "windowsRadio", "universalRadio"}) {
        QVERIFY2(!f.child<QRadioButton>(name)->isChecked(), name);
    }
    auto* sign = f.child<QPushButton>("signButton");
    QCOMPARE(sign->text(), QStringLiteral("-"));
    QVERIFY(!sign->isEnabled());
    QVERIFY(!f.child<QTimeEdit>("timeSpanEdit")->isEnabled());
    f.save();
    QCOMPARE(f.dialog.settings().timeParam, 0);
}

void TestSettingsDialog::localMinusThreeHoursSavesMinusOne() {
    Settings s = BaseSettings();
    s.timeParam = 3;  // "Всемирное", sign "+"
    Fixture f(s);
    QVERIFY(f.child<QRadioButton>("universalRadio")->isChecked());
    auto* sign = f.child<QPushButton>("signButton");
    auto* span = f.child<QTimeEdit>("timeSpanEdit");
    QCOMPARE(sign->text(), QStringLiteral("+"));
    QVERIFY(!span->isEnabled());
    QCOMPARE(span->displayFormat(), QStringLiteral("HH:mm"));

    f.child<QRadioButton>("localRadio")->click();
    QVERIFY(sign->isEnabled());
    QVERIFY(span->isEnabled());
    QVERIFY(!f.child<QRadioButton>("universalRadio")->isChecked());
    sign->click();
    QCOMPARE(sign->text(), QStringLiteral("-"));
    span->setTime(QTime(3, 0));
    f.save();
    QCOMPARE(f.dialog.settings().timeParam, -1);
    QVERIFY(f.dialog.settings().timeSpan == DateTime::FromTimeOfDay(3, 0, 0));
}

void TestSettingsDialog::otherModesDisableTheOffsetAndKeepTheirSign() {
    Settings s = BaseSettings();
    s.timeParam = -1;
    s.timeSpan = DateTime::FromTimeOfDay(2, 30, 0);
    Fixture f(s);
    QVERIFY(f.child<QRadioButton>("localRadio")->isChecked());
    QCOMPARE(f.child<QPushButton>("signButton")->text(), QStringLiteral("-"));
    QCOMPARE(f.child<QTimeEdit>("timeSpanEdit")->time(), QTime(2, 30));
    f.child<QRadioButton>("windowsRadio")->click();
    QVERIFY(!f.child<QPushButton>("signButton")->isEnabled());
    QVERIFY(!f.child<QTimeEdit>("timeSpanEdit")->isEnabled());
    f.save();
    QCOMPARE(f.dialog.settings().timeParam, -2);
    QVERIFY(f.dialog.settings().timeSpan == DateTime::FromTimeOfDay(2, 30, 0));
}

void TestSettingsDialog::passwordBoxDecidesThePassword() {
    {
        Settings s = BaseSettings();
        s.settingsPassword = W("Пароль");
        Fixture f(s);
        auto* box = f.child<QCheckBox>("passwordCheck");
        auto* field = f.child<QLineEdit>("passwordEdit");
        QVERIFY(box->isChecked());
        QVERIFY(field->isEnabled());
        QCOMPARE(field->text(), QStringLiteral("Пароль"));
        QCOMPARE(field->echoMode(), QLineEdit::Password);
        box->click();
        QVERIFY(!field->isEnabled());
        f.save();
        QVERIFY(f.dialog.settings().settingsPassword.empty());
    }
    {
        Fixture f;
        auto* box = f.child<QCheckBox>("passwordCheck");
        auto* field = f.child<QLineEdit>("passwordEdit");
        QVERIFY(!box->isChecked());
        QVERIFY(!field->isEnabled());
        QVERIFY(field->text().isEmpty());
        box->click();
        QVERIFY(field->isEnabled());
        field->setText(QStringLiteral("ключ"));
        f.save();
        QCOMPARE(f.dialog.settings().settingsPassword, W("ключ"));
    }
}

void TestSettingsDialog::unstorablePasswordIsRefused() {
    Fixture f;
    f.child<QTabWidget>("tabWidget")->setCurrentIndex(2);
    f.child<QCheckBox>("passwordCheck")->click();
    // 'A' (0x41) followed by Cyrillic 'М' (0xCC): the second scrambled byte is 0x0D, a CR.
    f.child<QLineEdit>("passwordEdit")->setText(QStringLiteral("AМ"));
    f.save();
    QVERIFY(f.dialog.isVisible());
    QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Prompt::ShownPrompts().size(), std::size_t(1));
    QCOMPARE(Prompt::ShownPrompts()[0].icon, Prompt::Icon::Stop);
    QCOMPARE(f.child<QTabWidget>("tabWidget")->currentIndex(), 0);

    f.child<QLineEdit>("passwordEdit")->setText(QStringLiteral("AB"));
    f.save();
    QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
    QCOMPARE(f.dialog.settings().settingsPassword, std::string("AB"));
}

void TestSettingsDialog::pollingPeriodMustBeAnIntegerInRange() {
    Fixture f;
    f.dialog.activateWindow();
    auto* timer = f.child<QLineEdit>("timerEdit");
    const QString notInteger = QStringLiteral("Please enter an integer.");
    const QString outOfRange = QStringLiteral("Please enter an integer between 0 and 10000.");
    const struct {
        const char* text;
        QString message;
    } bad[] = {{"", notInteger},    {"abc", notInteger},        {"12a", notInteger},
               {"1.5", notInteger}, {"-", notInteger},          {"10001", outOfRange},
               {"-1", outOfRange},  {"99999999999", outOfRange}};
    for (const auto& c : bad) {
        Prompt::ClearShown();
        timer->setText(QString::fromLatin1(c.text));
        f.save();
        QVERIFY2(f.dialog.isVisible(), c.text);
        QCOMPARE(Prompt::ShownTexts(), QStringList{c.message});
        QCOMPARE(Prompt::ShownPrompts()[0].buttons, Prompt::Buttons::Ok);
        QTRY_VERIFY(timer->hasFocus());
    }
    timer->setText(QStringLiteral(" 10000 "));
    f.save();
    QCOMPARE(f.dialog.result(), int(QDialog::Accepted));
    QCOMPARE(f.dialog.settings().timer, 10000);
}

void TestSettingsDialog::cancelDiscardsEverything() {
    Fixture f;
    f.child<QCheckBox>("trayCheck")->click();
    f.child<QLineEdit>("timerEdit")->setText("oops");
    f.child<QPushButton>("cancelButton")->click();
    QCOMPARE(f.dialog.result(), int(QDialog::Rejected));
    QVERIFY(Prompt::ShownPrompts().empty());  // the field is not checked on "Отмена"
    QVERIFY(!f.dialog.isVisible());
}

void TestSettingsDialog::folderAndFileChoosers() {
    QTemporaryDir dir;
    const QString zoneFile = dir.filePath("maps.mrk");
    {
        QFile file(zoneFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    Settings s = BaseSettings();
    s.qmxInfoFile = zoneFile.toStdString();
    s.channelOutFolder = dir.path().toStdString() + "/";
    Fixture f(s);

    Prompt::SetNextAnswers({Prompt::Answer::Path(QStringLiteral("/data/Отчеты")),
                            Prompt::Answer::Cancelled(),
                            Prompt::Answer::Path(QStringLiteral("/data/other.mrk")),
                            Prompt::Answer::Path(QStringLiteral("/data/Книга.txt"))});
    f.child<QPushButton>("inboxFolderButton")->click();
    f.child<QPushButton>("inboxFolderButton")->click();  // cancelled: keeps the choice
    f.child<QPushButton>("zoneFileButton")->click();
    f.child<QPushButton>("addressBookButton")->click();
    QCOMPARE(f.child<QLineEdit>("inboxFolderEdit")->text(), QStringLiteral("/data/Отчеты/"));

    const auto& shown = Prompt::ShownPrompts();
    QCOMPARE(shown.size(), std::size_t(4));
    QCOMPARE(shown[0].kind, Prompt::Shown::Kind::ChooseFolder);
    QCOMPARE(shown[0].text, QStringLiteral("Выберите папку с отчетами..."));
    QCOMPARE(shown[0].startPath, dir.path() + "/");
    QCOMPARE(shown[2].kind, Prompt::Shown::Kind::OpenFile);
    QCOMPARE(shown[2].filter,
             Prompt::ToQtFilter(QStringLiteral("Файл с контрольными районами (maps.mrk)|maps.mrk|"
                                               "All Files (*.*)|*.*||")));
    QCOMPARE(shown[2].defaultName, QStringLiteral("maps.mrk"));
    QCOMPARE(shown[2].startPath, zoneFile);
    QCOMPARE(shown[3].filter,
             Prompt::ToQtFilter(QStringLiteral("Файл с адресной книгой (AddrBook.txt)|"
                                               "AddrBook.txt|All Files (*.*)|*.*||")));
    QCOMPARE(shown[3].defaultName, QStringLiteral("AddrBook.txt"));
    QVERIFY(shown[3].startPath.isEmpty());  // /opt/QMX5/... does not exist here

    f.save();
    const Settings& r = f.dialog.settings();
    QCOMPARE(r.channelOutFolder, W("/data/Отчеты/"));
    QCOMPARE(r.qmxInfoFile, std::string("/data/other.mrk"));
    QCOMPARE(r.channelObj, W("/data/Книга.txt"));

    // A folder that already ends with '/' gets no second one.
    Fixture g;
    Prompt::SetNextAnswers({Prompt::Answer::Path(QStringLiteral("/in/"))});
    g.child<QPushButton>("inboxFolderButton")->click();
    g.save();
    QCOMPARE(g.dialog.settings().channelOutFolder, std::string("/in/"));
}

void TestSettingsDialog::baseMapFileAndServerAddress() {
    // Shown as set; saved untouched, the bytes come back as they were (Windows-1251).
    Settings s = BaseSettings();
    s.baseMapFile = W("/карты/город.mbtiles");
    s.baseMapUrl = "http://127.0.0.1:8080/{z}/{x}/{y}.png";
    {
        Fixture f(s);
        QCOMPARE(f.child<QGroupBox>("baseMapGroup")->title(), QStringLiteral("Подложка карты"));
        QCOMPARE(f.child<QPushButton>("baseMapFileButton")->text(),
                 QStringLiteral("Файл MBTiles..."));
        QCOMPARE(f.child<QLabel>("baseMapUrlLabel")->text(),
                 QStringLiteral("Адрес сервера плиток:"));
        QCOMPARE(f.child<QLineEdit>("baseMapFileEdit")->text(),
                 QStringLiteral("/карты/город.mbtiles"));
        QCOMPARE(f.child<QLineEdit>("baseMapUrlEdit")->text(),
                 QStringLiteral("http://127.0.0.1:8080/{z}/{x}/{y}.png"));
        f.save();
        QCOMPARE(f.dialog.settings().baseMapFile, s.baseMapFile);
        QCOMPARE(f.dialog.settings().baseMapUrl, s.baseMapUrl);
    }

    // The chooser: its filter, a cancel that keeps the file, a choice that replaces it; an
    // address typed with blanks around it is taken without them.
    {
        Fixture f(s);
        Prompt::SetNextAnswers({Prompt::Answer::Cancelled(),
                                Prompt::Answer::Path(QStringLiteral("/data/Екб.mbtiles"))});
        f.child<QPushButton>("baseMapFileButton")->click();
        QCOMPARE(f.child<QLineEdit>("baseMapFileEdit")->text(),
                 QStringLiteral("/карты/город.mbtiles"));
        f.child<QPushButton>("baseMapFileButton")->click();
        const auto& shown = Prompt::ShownPrompts();
        QCOMPARE(shown.size(), std::size_t(2));
        QCOMPARE(shown[0].kind, Prompt::Shown::Kind::OpenFile);
        QCOMPARE(shown[0].filter, QStringLiteral("Подложка карты (*.mbtiles);;All Files (*)"));
        QVERIFY(shown[0].startPath.isEmpty());  // the file does not exist here
        f.child<QLineEdit>("baseMapUrlEdit")
            ->setText(QStringLiteral("  https://tiles/{z}/{x}/{y}.png "));
        f.save();
        QCOMPARE(f.dialog.settings().baseMapFile, W("/data/Екб.mbtiles"));
        QCOMPARE(f.dialog.settings().baseMapUrl, std::string("https://tiles/{z}/{x}/{y}.png"));
    }

    // The days the track store keeps: shown as set, 0 (keep for good) taken as it is.
    {
        Settings kept = s;
        kept.trackKeepDays = 30;
        Fixture f(kept);
        QCOMPARE(f.child<QGroupBox>("trackKeepGroup")->title(), QStringLiteral("История движения"));
        auto* days = f.child<QSpinBox>("trackKeepDaysSpin");
        QCOMPARE(days->value(), 30);
        days->setValue(0);
        f.save();
        QCOMPARE(f.dialog.settings().trackKeepDays, 0);
    }

    // Cleared: no base layer.
    {
        Fixture f(s);
        f.child<QLineEdit>("baseMapFileEdit")->clear();
        f.child<QLineEdit>("baseMapUrlEdit")->clear();
        f.save();
        QCOMPARE(f.dialog.settings().baseMapFile, std::string());
        QCOMPARE(f.dialog.settings().baseMapUrl, std::string());
    }
}

void TestSettingsDialog::soundTestPlaysUntilStopped() {
    Fixture f;
    auto* play = f.child<QPushButton>("powerOnPlayButton");
    Prompt::SetNextAnswers({Prompt::Answer::Path(QStringLiteral("/snd/new.wav"))});
    f.child<QPushButton>("powerOnBrowseButton")->click();
    QCOMPARE(Prompt::ShownPrompts()[0].defaultName, QStringLiteral("*.wav"));
    QCOMPARE(
        Prompt::ShownPrompts()[0].filter,
        Prompt::ToQtFilter(QStringLiteral("Звуковой файл (*.wav)|*.wav|All Files (*.*)|*.*||")));

    play->click();
    QCOMPARE(play->text(), QStringLiteral("Stop"));
    QVERIFY(play->isEnabled());
    for (const char* name :
         {"alarmPlayButton", "destinationPlayButton", "forbiddenPlayButton", "alarmBrowseButton",
          "powerOnBrowseButton", "destinationBrowseButton", "forbiddenBrowseButton"}) {
        QVERIFY2(!f.child<QPushButton>(name)->isEnabled(), name);
    }
    // Replayed after a pause of about a second.
    QTRY_VERIFY_WITH_TIMEOUT(f.sound.Plays() >= 2, 5000);
    QCOMPARE(f.sound.LastPath(), std::string("/snd/new.wav"));

    play->click();
    QCOMPARE(play->text(), QStringLiteral("Play"));
    for (const char* name : {"alarmPlayButton", "forbiddenPlayButton", "alarmBrowseButton"}) {
        QVERIFY2(f.child<QPushButton>(name)->isEnabled(), name);
    }
    const int plays = f.sound.Plays();
    QTest::qWait(1300);
    QCOMPARE(f.sound.Plays(), plays);
    QVERIFY(Prompt::ShownPrompts().size() == 1);  // only the file dialog
    f.save();
    QCOMPARE(f.dialog.settings().puSoundPath, std::string("/snd/new.wav"));
}

void TestSettingsDialog::soundFailureIsReportedAndEndsThePlayer() {
    Fixture f;
    f.sound.fail = true;
    auto* play = f.child<QPushButton>("alarmPlayButton");
    play->click();
    // The box names the file that failed.
    QTRY_COMPARE(Prompt::ShownTexts(),
                 QStringList{"Произошла ошибка проигрывания файла!\n/snd/alarm.wav"});
    QCOMPARE(Prompt::ShownPrompts()[0].icon, Prompt::Icon::Stop);
    QCOMPARE(play->text(), QStringLiteral("Play"));
    QVERIFY(f.child<QPushButton>("forbiddenPlayButton")->isEnabled());
    QTest::qWait(1200);
    QCOMPARE(f.sound.Plays(), 1);
    QCOMPARE(f.sound.LastPath(), std::string("/snd/alarm.wav"));
}

void TestSettingsDialog::closingTheDialogEndsTheTestSound() {
    for (const char* button : {"cancelButton", "saveButton"}) {
        Fixture f;
        f.sound.playMs = 60000;  // a long sound: only the stop event ends it
        f.child<QPushButton>("destinationPlayButton")->click();
        QTRY_COMPARE(f.sound.Plays(), 1);
        QElapsedTimer clock;
        clock.start();
        f.child<QPushButton>(button)->click();
        QVERIFY(!f.dialog.isVisible());
        QVERIFY2(clock.elapsed() < 5000, button);
        QCOMPARE(f.child<QPushButton>("destinationPlayButton")->text(), QStringLiteral("Play"));
        QTest::qWait(1200);
        QCOMPARE(f.sound.Plays(), 1);
    }
}

void TestSettingsDialog::stopNeverWaitsForTheSoundOutput() {
    ManualResetEvent hold;
    Fixture f;
    f.sound.hold = &hold;
    auto* play = f.child<QPushButton>("alarmPlayButton");
    play->click();
    QTRY_COMPARE(f.sound.inside.load(), 1);
    play->click();
    // Back at once, while the output still has the player.
    QCOMPARE(f.sound.inside.load(), 1);
    QCOMPARE(play->text(), QStringLiteral("Play"));
    QVERIFY(f.child<QPushButton>("forbiddenPlayButton")->isEnabled());
    hold.Set();
    QTRY_COMPARE(f.sound.inside.load(), 0);
    QTest::qWait(1200);
    QCOMPARE(f.sound.Plays(), 1);
}

void TestSettingsDialog::columnsPageOpensWithBothListsAndButtonsDisabled() {
    Fixture f(BaseSettings(), {9, 6, 1});
    QCOMPARE(Texts(f.child<QListWidget>("shownList")),
             (QStringList{"Последнее сообщение", "Объект", "Датчик 1"}));
    QCOMPARE(Texts(f.child<QListWidget>("hiddenList")),
             (QStringList{"Оповещения", "Датчик 2", "Датчик 3", "Датчик 4", "Датчик 5", "Район",
                          "Время нахождения", "Скорость, км/ч", "Путь, км"}));
    for (const char* name : {"showButton", "hiddenUpButton", "hiddenDownButton", "hideButton",
                             "shownUpButton", "shownDownButton"}) {
        QVERIFY2(!f.child<QPushButton>(name)->isEnabled(), name);
    }
}

void TestSettingsDialog::objectColumnCannotBeHidden() {
    Fixture f(BaseSettings(), {7, 6, 9});
    auto* shown = f.child<QListWidget>("shownList");
    auto* hidden = f.child<QListWidget>("hiddenList");
    SelectRow(shown, "Объект");
    f.child<QPushButton>("hideButton")->click();
    QCOMPARE(Prompt::ShownTexts(),
             QStringList{"Вы не можете не отображать информацию об объекте!"});
    QCOMPARE(Prompt::ShownPrompts()[0].icon, Prompt::Icon::Stop);
    QCOMPARE(Texts(shown), (QStringList{"Район", "Объект", "Последнее сообщение"}));
    QCOMPARE(hidden->count(), 9);

    // Every other name may go, leaving "Объект" alone.
    SelectRow(shown, "Район");
    f.child<QPushButton>("hideButton")->click();
    SelectRow(shown, "Последнее сообщение");
    f.child<QPushButton>("hideButton")->click();
    QCOMPARE(Texts(shown), QStringList{"Объект"});
    QCOMPARE(Texts(hidden).mid(9), (QStringList{"Район", "Последнее сообщение"}));
    f.save();
    QVERIFY(f.dialog.columnsChanged());
    QCOMPARE(f.dialog.columnIds(), std::vector<int32_t>{6});
    QCOMPARE(f.dialog.columnWidths(), std::vector<int32_t>{700});
}

void TestSettingsDialog::moveButtonsFollowTheSelection() {
    Fixture f(BaseSettings(), {6, 7, 9});
    auto* shown = f.child<QListWidget>("shownList");
    auto* hidden = f.child<QListWidget>("hiddenList");
    auto* hide = f.child<QPushButton>("hideButton");
    auto* up = f.child<QPushButton>("shownUpButton");
    auto* down = f.child<QPushButton>("shownDownButton");
    auto state = [&] { return QList<bool>{hide->isEnabled(), up->isEnabled(), down->isEnabled()}; };

    shown->setCurrentRow(0);
    QCOMPARE(state(), (QList<bool>{true, false, true}));
    shown->setCurrentRow(1);
    QCOMPARE(state(), (QList<bool>{true, true, true}));
    shown->setCurrentRow(2);
    QCOMPARE(state(), (QList<bool>{true, true, false}));
    shown->clearSelection();
    QCOMPARE(state(), (QList<bool>{false, false, false}));
    // The left list is not touched by the right one's selection.
    QVERIFY(!f.child<QPushButton>("showButton")->isEnabled());

    // "Вверх" / "Вниз" move the name and keep it selected.
    shown->setCurrentRow(2);
    up->click();
    QCOMPARE(Texts(shown), (QStringList{"Объект", "Последнее сообщение", "Район"}));
    QCOMPARE(shown->currentRow(), 1);
    up->click();
    QCOMPARE(Texts(shown), (QStringList{"Последнее сообщение", "Объект", "Район"}));
    QCOMPARE(state(), (QList<bool>{true, false, true}));
    down->click();
    QCOMPARE(Texts(shown), (QStringList{"Объект", "Последнее сообщение", "Район"}));

    // ">>" appends to the right list.
    hidden->setCurrentRow(0);
    QVERIFY(f.child<QPushButton>("showButton")->isEnabled());
    QVERIFY(!f.child<QPushButton>("hiddenUpButton")->isEnabled());
    f.child<QPushButton>("showButton")->click();
    QCOMPARE(Texts(shown).last(), QStringLiteral("Оповещения"));
    QCOMPARE(hidden->count(), 8);

    // A list holding one name keeps its move button without a selection, and the button
    // then moves that name.
    f.child<QPushButton>("defaultsButton")->click();
    QCOMPARE(hidden->count(), 0);
    SelectRow(shown, "Район");
    hide->click();
    QCOMPARE(Texts(hidden), QStringList{"Район"});
    QVERIFY(hidden->selectedItems().isEmpty());
    QVERIFY(f.child<QPushButton>("showButton")->isEnabled());
    f.child<QPushButton>("showButton")->click();
    QCOMPARE(hidden->count(), 0);
    QCOMPARE(Texts(shown).last(), QStringLiteral("Район"));
}

void TestSettingsDialog::movedColumnsAreSavedWithFittedWidths() {
    Fixture f(BaseSettings(), {6, 7, 9});
    auto* shown = f.child<QListWidget>("shownList");
    auto* hidden = f.child<QListWidget>("hiddenList");
    SelectRow(shown, "Район");
    f.child<QPushButton>("hideButton")->click();
    SelectRow(hidden, "Датчик 1");
    f.child<QPushButton>("showButton")->click();
    SelectRow(hidden, "Оповещения");
    f.child<QPushButton>("showButton")->click();
    f.save();
    QVERIFY(f.dialog.columnsChanged());
    QCOMPARE(f.dialog.columnIds(), (std::vector<int32_t>{6, 9, 1, 0}));
    // 700 wide, one sensor, three others: c = (700 - 18) / 3 = 227; column 0 gets c - 3.
    QCOMPARE(f.dialog.columnWidths(), (std::vector<int32_t>{227, 227, 18, 224}));
}

void TestSettingsDialog::unchangedColumnSetReportsNoChange() {
    Fixture f(BaseSettings(), {6, 7, 9}, {100, 80, 120});
    auto* shown = f.child<QListWidget>("shownList");
    // Moved away and back again: still the same set.
    shown->setCurrentRow(0);
    f.child<QPushButton>("shownDownButton")->click();
    f.child<QPushButton>("shownUpButton")->click();
    f.save();
    QVERIFY(!f.dialog.columnsChanged());
    QCOMPARE(f.dialog.columnIds(), (std::vector<int32_t>{6, 7, 9}));
    QCOMPARE(f.dialog.columnWidths(), (std::vector<int32_t>{100, 80, 120}));
}

void TestSettingsDialog::defaultsShowAllTwelveColumns() {
    {
        Fixture f(BaseSettings(), {6, 7, 9});
        f.child<QListWidget>("shownList")->setCurrentRow(1);
        f.child<QPushButton>("defaultsButton")->click();
        QCOMPARE(f.child<QListWidget>("shownList")->count(), 12);
        QCOMPARE(f.child<QListWidget>("hiddenList")->count(), 0);
        QVERIFY(!f.child<QPushButton>("shownUpButton")->isEnabled());
        f.save();
        QVERIFY(f.dialog.columnsChanged());
        QCOMPARE(f.dialog.columnIds(), kAllIds);
        QCOMPARE(f.dialog.columnWidths(), kDefaultWidths700);
    }
    {
        // Already the default ids but other widths: the defaults bring the widths back.
        const std::vector<int32_t> widths(12, 50);
        Fixture f(BaseSettings(), kAllIds, widths);
        f.child<QPushButton>("defaultsButton")->click();
        f.save();
        QVERIFY(f.dialog.columnsChanged());
        QCOMPARE(f.dialog.columnWidths(), kDefaultWidths700);
    }
    {
        // The default set untouched is no change.
        Fixture f(BaseSettings(), kAllIds, kDefaultWidths700);
        f.child<QPushButton>("defaultsButton")->click();
        f.save();
        QVERIFY(!f.dialog.columnsChanged());
    }
}

void TestSettingsDialog::tabOrderRunsThroughThePageThenThePollingPeriod() {
    Settings s = BaseSettings();
    s.settingsPassword = "x";
    s.timeParam = 1;
    Fixture f(s);
    f.dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.dialog));
    auto* tabs = f.child<QTabWidget>("tabWidget");
    QStringList order;
    QWidget* w = tabs;
    do {
        if (w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
            !w->objectName().isEmpty() && !w->objectName().startsWith("qt_")) {
            order << w->objectName();
        }
        w = w->nextInFocusChain();
    } while (w != tabs);
    QCOMPARE(order, (QStringList{"tabWidget", "passwordCheck", "passwordEdit", "trayCheck",
                                 "universalRadio", "windowsRadio", "localRadio", "signButton",
                                 "timeSpanEdit", "timerEdit", "saveButton", "cancelButton"}));
}

void TestSettingsDialog::screenshots() {
    const QString folder = qEnvironmentVariable("SENTREL_SHOTS_DIR");
    if (folder.isEmpty()) {
        QSKIP("set SENTREL_SHOTS_DIR to write screenshots");
    }
    QDir().mkpath(folder);
    Settings s = BaseSettings();
    s.timeParam = -1;
    s.timeSpan = DateTime::FromTimeOfDay(3, 0, 0);
    s.settingsPassword = "secret";
    Fixture f(s, {0, 1, 2, 6, 7, 9});
    f.dialog.show();
    auto* tabs = f.child<QTabWidget>("tabWidget");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QTest::qWait(50);
        QVERIFY(f.dialog.grab().save(QStringLiteral("%1/settings-%2.png").arg(folder).arg(i)));
    }
}

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
