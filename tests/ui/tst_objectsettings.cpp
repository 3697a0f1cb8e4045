#include <QtTest>

#include <QCheckBox>
#include <QFrame>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimeEdit>

#include "FindChild.h"
#include "alerts/ObjectSettingsDialog.h"
#include "app/Prompt.h"
#include "app/QtText.h"
#include "model/ObjectRecord.h"

namespace {

using F = AlertSettings;

// Object names of the sixteen boxes, by field.
const char* const kBoxNames[F::kCount] = {
    "powerOnAlertCheck",       "powerOnSoundCheck",         "powerOnPopupCheck",
    "alarmAlertCheck",         "alarmSoundCheck",           "alarmPopupCheck",
    "destinationArrivalCheck", "destinationDepartureCheck", "destinationAlertCheck",
    "destinationSoundCheck",   "destinationPopupCheck",     "forbiddenArrivalCheck",
    "forbiddenDepartureCheck", "forbiddenAlertCheck",       "forbiddenSoundCheck",
    "forbiddenPopupCheck"};

QCheckBox* Box(QWidget* dialog, int field) {
    auto* box = dialog->findChild<QCheckBox*>(QString::fromLatin1(kBoxNames[field]));
    if (box == nullptr) {
        qFatal("no box %s", kBoxNames[field]);
    }
    return box;
}

ObjectRecord MakeObject(const char* id, const char* name) {
    ObjectRecord o;
    o.id = id;
    o.name = name;
    o.firstTimeout = DateTime::FromTimeOfDay(0, 20, 0);
    o.secondTimeout = DateTime::FromTimeOfDay(0, 40, 0);
    // Alarm and power-on on with everything; destination on with arrival only;
    // forbidden off.
    for (int f :
         {F::kAlarmAlert, F::kAlarmSound, F::kAlarmPopup, F::kPowerOnAlert, F::kPowerOnSound,
          F::kPowerOnPopup, F::kDestinationAlert, F::kDestinationArrival, F::kForbiddenSound}) {
        o.alertSettings[f] = 1;
    }
    o.pathMetres = 5000;
    o.zonePathMetres = 100;
    o.dayPathMetres = 2500;
    return o;
}

const DateTime kGlobalFirst = DateTime::FromTimeOfDay(0, 11, 0);
const DateTime kGlobalSecond = DateTime::FromTimeOfDay(0, 5, 0);

}  // namespace

class TestObjectSettings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Prompt::SetScripted(true); }
    void init() {
        Prompt::SetNextAnswers({});
        Prompt::ClearShown();
    }

    void singleObjectShowsItsValues();
    void groupBoxEnablesItsDependents();
    void indeterminateBoxGoesOnThenOffAndNeverBack();
    void untouchedMixedSelectionChangesNoObject();
    void changedPickerAndClickedBoxesAreApplied();
    void resetPathAsksFirst();
    void resetPathThenCancelLeavesThePaths();
    void zonesButtonAsksTheOwner();
    void thresholdsOnlyDisablesTheRest();
    void screenshot();
};

void TestObjectSettings::singleObjectShowsItsValues() {
    const ObjectRecord a = MakeObject("12", "Truck");
    const ObjectSettingsEdit start =
        ObjectSettingsEdit::ForSelection({&a}, kGlobalFirst, kGlobalSecond);
    CObjectSettingsDialog dialog(FromCp(ObjectSettingsEdit::BuildCaption({&a})), start);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Панель управления - 12-Truck"));
    QCOMPARE(Child<QTimeEdit>(&dialog, "firstTimeoutEdit")->time(), QTime(0, 20, 0));
    QCOMPARE(Child<QTimeEdit>(&dialog, "secondTimeoutEdit")->time(), QTime(0, 40, 0));
    for (int f = 0; f < F::kCount; ++f) {
        QCOMPARE(Box(&dialog, f)->checkState(),
                 a.alertSettings[f] != 0 ? Qt::Checked : Qt::Unchecked);
    }
}

void TestObjectSettings::groupBoxEnablesItsDependents() {
    const ObjectRecord a = MakeObject("1", "A");
    CObjectSettingsDialog dialog("x", ObjectSettingsEdit::ForSelection({&a}, {}, {}));
    dialog.show();
    // "Запрещенные районы" is off: its four boxes are disabled (though one is ticked).
    for (int f :
         {F::kForbiddenArrival, F::kForbiddenDeparture, F::kForbiddenSound, F::kForbiddenPopup}) {
        QVERIFY2(!Box(&dialog, f)->isEnabled(), kBoxNames[f]);
    }
    for (int f : {F::kDestinationArrival, F::kDestinationDeparture, F::kDestinationSound,
                  F::kDestinationPopup, F::kAlarmSound, F::kPowerOnPopup}) {
        QVERIFY2(Box(&dialog, f)->isEnabled(), kBoxNames[f]);
    }
    Box(&dialog, F::kForbiddenAlert)->click();
    QVERIFY(Box(&dialog, F::kForbiddenPopup)->isEnabled());
    Box(&dialog, F::kAlarmAlert)->click();
    QVERIFY(!Box(&dialog, F::kAlarmSound)->isEnabled());
    QVERIFY(!Box(&dialog, F::kAlarmPopup)->isEnabled());
    QVERIFY(Box(&dialog, F::kPowerOnSound)->isEnabled());
    // Switching a group off keeps its dependents' values.
    QCOMPARE(dialog.values().flags[F::kAlarmSound], 1);
    QCOMPARE(dialog.values().flags[F::kAlarmAlert], 0);
}

void TestObjectSettings::indeterminateBoxGoesOnThenOffAndNeverBack() {
    ObjectRecord a = MakeObject("1", "A");
    ObjectRecord b = MakeObject("2", "B");
    b.alertSettings[F::kDestinationAlert] = 0;
    CObjectSettingsDialog dialog(
        "x", ObjectSettingsEdit::ForSelection({&a, &b}, kGlobalFirst, kGlobalSecond));
    dialog.show();
    QCheckBox* group = Box(&dialog, F::kDestinationAlert);
    QCOMPARE(group->checkState(), Qt::PartiallyChecked);
    QCOMPARE(dialog.FlagValue(F::kDestinationAlert), 2);
    // A mixed group box is not "on": its dependents wait for a decision.
    QVERIFY(!Box(&dialog, F::kDestinationArrival)->isEnabled());

    group->click();
    QCOMPARE(group->checkState(), Qt::Checked);
    QCOMPARE(dialog.FlagValue(F::kDestinationAlert), 1);
    QVERIFY(Box(&dialog, F::kDestinationArrival)->isEnabled());
    group->click();
    QCOMPARE(group->checkState(), Qt::Unchecked);
    QCOMPARE(dialog.FlagValue(F::kDestinationAlert), 0);
    QVERIFY(!Box(&dialog, F::kDestinationArrival)->isEnabled());
    group->click();
    QCOMPARE(group->checkState(), Qt::Checked);
    QCOMPARE(dialog.FlagValue(F::kDestinationAlert), 1);

    // The keyboard follows the same steps.
    QCheckBox* other = Box(&dialog, F::kAlarmSound);
    QCOMPARE(other->checkState(), Qt::Checked);
    other->setFocus();
    QTest::keyClick(other, Qt::Key_Space);
    QCOMPARE(dialog.FlagValue(F::kAlarmSound), 0);
}

void TestObjectSettings::untouchedMixedSelectionChangesNoObject() {
    ObjectRecord a = MakeObject("12", "Truck");
    ObjectRecord b = MakeObject("7", "Bus");
    b.alertSettings[F::kAlarmSound] = 0;
    b.firstTimeout = DateTime::FromTimeOfDay(0, 25, 0);
    const ObjectRecord a0 = a;
    const ObjectRecord b0 = b;
    CObjectSettingsDialog dialog(
        "x", ObjectSettingsEdit::ForSelection({&a, &b}, kGlobalFirst, kGlobalSecond));
    dialog.show();
    // The pickers show the global thresholds, "Звуковое предупреждение" under "Тревога" is
    // indeterminate, everything else as the objects have it.
    QCOMPARE(Child<QTimeEdit>(&dialog, "firstTimeoutEdit")->time(), QTime(0, 11, 0));
    QCOMPARE(Child<QTimeEdit>(&dialog, "secondTimeoutEdit")->time(), QTime(0, 5, 0));
    for (int f = 0; f < F::kCount; ++f) {
        QCOMPARE(Box(&dialog, f)->checkState(), f == F::kAlarmSound  ? Qt::PartiallyChecked
                                                : a.alertSettings[f] ? Qt::Checked
                                                                     : Qt::Unchecked);
    }
    Child<QPushButton>(&dialog, "okButton")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const ObjectSettingsEdit result = dialog.values();
    QVERIFY(!result.firstTimeoutChanged);
    QVERIFY(!result.secondTimeoutChanged);
    QVERIFY(!result.ApplyTo(a));
    QVERIFY(!result.ApplyTo(b));
    QVERIFY(a.firstTimeout == a0.firstTimeout);
    QVERIFY(b.firstTimeout == b0.firstTimeout);
    QVERIFY(a.alertSettings == a0.alertSettings);
    QVERIFY(b.alertSettings == b0.alertSettings);
}

void TestObjectSettings::changedPickerAndClickedBoxesAreApplied() {
    ObjectRecord a = MakeObject("12", "Truck");
    ObjectRecord b = MakeObject("7", "Bus");
    b.alertSettings[F::kAlarmSound] = 0;
    CObjectSettingsDialog dialog(
        "x", ObjectSettingsEdit::ForSelection({&a, &b}, kGlobalFirst, kGlobalSecond));
    dialog.show();
    Child<QTimeEdit>(&dialog, "secondTimeoutEdit")->setTime(QTime(1, 30, 15));
    Box(&dialog, F::kAlarmSound)->click();      // mixed -> on
    Box(&dialog, F::kForbiddenAlert)->click();  // off -> on
    Child<QPushButton>(&dialog, "okButton")->click();
    const ObjectSettingsEdit result = dialog.values();
    QVERIFY(!result.firstTimeoutChanged);
    QVERIFY(result.secondTimeoutChanged);
    for (ObjectRecord* o : {&a, &b}) {
        result.ApplyTo(*o);
        QVERIFY(o->firstTimeout == DateTime::FromTimeOfDay(0, 20, 0));
        QVERIFY(o->secondTimeout == DateTime::FromTimeOfDay(1, 30, 15));
        QCOMPARE(o->alertSettings[F::kAlarmSound], 1);
        QCOMPARE(o->alertSettings[F::kForbiddenAlert], 1);
        QCOMPARE(o->alertSettings[F::kDestinationDeparture], 0);
    }
}

void TestObjectSettings::resetPathAsksFirst() {
    const ObjectRecord a = MakeObject("1", "A");
    CObjectSettingsDialog dialog("x", ObjectSettingsEdit::ForSelection({&a}, {}, {}));
    dialog.show();
    auto* reset = Child<QPushButton>(&dialog, "resetPathButton");
    Prompt::SetNextAnswers({Prompt::Answer::Pressed(Prompt::kNo)});
    reset->click();
    QCOMPARE(Prompt::ShownTexts(), QStringList{"Вы уверены, что хотите обнулить пройденый путь?"});
    QCOMPARE(Prompt::ShownPrompts()[0].buttons, Prompt::Buttons::YesNo);
    QVERIFY(!dialog.values().resetPath);
    QVERIFY(reset->isEnabled());

    Prompt::SetNextAnswers({Prompt::Answer::Pressed(Prompt::kYes)});
    reset->click();
    QVERIFY(dialog.values().resetPath);
    QVERIFY(!reset->isEnabled());
}

void TestObjectSettings::resetPathThenCancelLeavesThePaths() {
    ObjectRecord a = MakeObject("1", "A");
    CObjectSettingsDialog dialog("x", ObjectSettingsEdit::ForSelection({&a}, {}, {}));
    dialog.show();
    Prompt::SetNextAnswers({Prompt::Answer::Pressed(Prompt::kYes)});
    Child<QPushButton>(&dialog, "resetPathButton")->click();
    Child<QPushButton>(&dialog, "cancelButton")->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    // The caller applies nothing after "Cancel"; the paths are untouched.
    QCOMPARE(a.pathMetres, 5000.0);
    QCOMPARE(a.dayPathMetres, 2500.0);
}

void TestObjectSettings::zonesButtonAsksTheOwner() {
    const ObjectRecord a = MakeObject("1", "A");
    CObjectSettingsDialog dialog("x", ObjectSettingsEdit::ForSelection({&a}, {}, {}));
    dialog.show();
    QSignalSpy spy(&dialog, &CObjectSettingsDialog::zoneAssignmentRequested);
    Child<QPushButton>(&dialog, "zonesButton")->click();
    QCOMPARE(spy.count(), 1);
    QVERIFY(dialog.isVisible());
}

void TestObjectSettings::thresholdsOnlyDisablesTheRest() {
    const ObjectRecord a = MakeObject("1", "A");
    CObjectSettingsDialog dialog("x", ObjectSettingsEdit::ForSelection({&a}, {}, {}));
    dialog.SetThresholdsOnly(true);
    dialog.show();
    for (int f = 0; f < F::kCount; ++f) {
        QVERIFY2(!Box(&dialog, f)->isEnabled(), kBoxNames[f]);
    }
    QVERIFY(!Child<QPushButton>(&dialog, "zonesButton")->isEnabled());
    QVERIFY(!Child<QPushButton>(&dialog, "resetPathButton")->isEnabled());
    QVERIFY(Child<QTimeEdit>(&dialog, "firstTimeoutEdit")->isEnabled());
}

void TestObjectSettings::screenshot() {
    const QString folder = qEnvironmentVariable("SENTREL_SHOTS_DIR");
    if (folder.isEmpty()) {
        QSKIP("set SENTREL_SHOTS_DIR to write screenshots");
    }
    QDir().mkpath(folder);
    ObjectRecord a = MakeObject("12", "Truck");
    ObjectRecord b = MakeObject("7", "Bus");
    b.alertSettings[F::kAlarmSound] = 0;
    const std::vector<const ObjectRecord*> objects{&a, &b};
    CObjectSettingsDialog dialog(
        FromCp(ObjectSettingsEdit::BuildCaption(objects)),
        ObjectSettingsEdit::ForSelection(objects, kGlobalFirst, kGlobalSecond));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.grab().save(folder + "/object-settings.png"));
}

QTEST_MAIN(TestObjectSettings)
#include "tst_objectsettings.moc"
