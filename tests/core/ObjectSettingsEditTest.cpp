#include <gtest/gtest.h>

#include "model/ObjectSettingsEdit.h"
#include "base/Cp1251.h"
#include "model/ObjectRecord.h"

namespace {

ObjectRecord Object(const char* id, const char* name, int firstMinutes, int secondMinutes) {
    ObjectRecord o;
    o.id = id;
    o.name = name;
    o.firstTimeout = DateTime::FromTimeOfDay(0, firstMinutes, 0);
    o.secondTimeout = DateTime::FromTimeOfDay(0, secondMinutes, 0);
    for (int f = 0; f < AlertSettings::kCount; ++f) {
        o.alertSettings[f] = f % 2;
    }
    o.pathMetres = 1500;
    o.zonePathMetres = 300;
    o.dayPathMetres = 700;
    return o;
}

const DateTime kGlobalFirst = DateTime::FromTimeOfDay(0, 11, 0);
const DateTime kGlobalSecond = DateTime::FromTimeOfDay(0, 5, 0);

}  // namespace

TEST(ObjectSettingsEditTest, SingleObjectStartsWithItsOwnValues) {
    const ObjectRecord a = Object("12", "Truck", 20, 40);
    const ObjectSettingsEdit e =
        ObjectSettingsEdit::ForSelection({&a}, kGlobalFirst, kGlobalSecond);
    EXPECT_FALSE(e.mixed);
    EXPECT_EQ(e.firstTimeout, a.firstTimeout);
    EXPECT_EQ(e.secondTimeout, a.secondTimeout);
    EXPECT_EQ(e.flags, a.alertSettings);
    EXPECT_FALSE(e.firstTimeoutChanged || e.secondTimeoutChanged || e.resetPath);
}

TEST(ObjectSettingsEditTest, EqualObjectsAreNotMixed) {
    const ObjectRecord a = Object("12", "Truck", 20, 40);
    const ObjectRecord b = Object("7", "Bus", 20, 40);
    const ObjectSettingsEdit e =
        ObjectSettingsEdit::ForSelection({&a, &b}, kGlobalFirst, kGlobalSecond);
    EXPECT_FALSE(e.mixed);
    EXPECT_EQ(e.firstTimeout, a.firstTimeout);
    EXPECT_EQ(e.flags, a.alertSettings);
}

TEST(ObjectSettingsEditTest, OneDifferingFlagMixesOnlyThatFlagAndTakesGlobalThresholds) {
    const ObjectRecord a = Object("12", "Truck", 20, 40);
    ObjectRecord b = Object("7", "Bus", 20, 40);
    // Object() sets the odd fields: alarmSound (4) stays equal, alarmPopup (5) differs.
    b.alertSettings[AlertSettings::kAlarmSound] = 0;
    b.alertSettings[AlertSettings::kAlarmPopup] = 0;
    const ObjectSettingsEdit e =
        ObjectSettingsEdit::ForSelection({&a, &b}, kGlobalFirst, kGlobalSecond);
    EXPECT_TRUE(e.mixed);
    EXPECT_EQ(e.firstTimeout, kGlobalFirst);
    EXPECT_EQ(e.secondTimeout, kGlobalSecond);
    for (int f = 0; f < AlertSettings::kCount; ++f) {
        if (f == AlertSettings::kAlarmPopup) {
            EXPECT_EQ(e.flags[f], ObjectSettingsEdit::kMixed);
        } else {
            EXPECT_EQ(e.flags[f], a.alertSettings[f]) << "field " << f;
        }
    }
}

TEST(ObjectSettingsEditTest, DifferingThresholdAloneMakesTheSelectionMixed) {
    const ObjectRecord a = Object("12", "Truck", 20, 40);
    const ObjectRecord b = Object("7", "Bus", 20, 41);
    const ObjectSettingsEdit e =
        ObjectSettingsEdit::ForSelection({&a, &b}, kGlobalFirst, kGlobalSecond);
    EXPECT_TRUE(e.mixed);
    EXPECT_EQ(e.secondTimeout, kGlobalSecond);
    EXPECT_EQ(e.flags, a.alertSettings);  // no flag differs, none is mixed
}

TEST(ObjectSettingsEditTest, DifferenceBetweenLaterPairsIsFound) {
    const ObjectRecord a = Object("1", "A", 20, 40);
    const ObjectRecord b = Object("2", "B", 20, 40);
    ObjectRecord c = Object("3", "C", 20, 40);
    c.alertSettings[AlertSettings::kPowerOnAlert] = 1;
    const ObjectSettingsEdit e =
        ObjectSettingsEdit::ForSelection({&a, &b, &c}, kGlobalFirst, kGlobalSecond);
    EXPECT_TRUE(e.mixed);
    EXPECT_EQ(e.flags[AlertSettings::kPowerOnAlert], ObjectSettingsEdit::kMixed);
}

TEST(ObjectSettingsEditTest, UntouchedMixedEditChangesNoObject) {
    ObjectRecord a = Object("12", "Truck", 20, 40);
    ObjectRecord b = Object("7", "Bus", 25, 45);
    b.alertSettings[AlertSettings::kAlarmSound] = 1;
    const ObjectRecord a0 = a;
    const ObjectRecord b0 = b;
    const ObjectSettingsEdit e =
        ObjectSettingsEdit::ForSelection({&a, &b}, kGlobalFirst, kGlobalSecond);
    EXPECT_FALSE(e.ApplyTo(a));
    EXPECT_FALSE(e.ApplyTo(b));
    EXPECT_EQ(a.firstTimeout, a0.firstTimeout);
    EXPECT_EQ(b.secondTimeout, b0.secondTimeout);
    EXPECT_EQ(a.alertSettings, a0.alertSettings);
    EXPECT_EQ(b.alertSettings, b0.alertSettings);
    EXPECT_EQ(b.pathMetres, 1500);
}

TEST(ObjectSettingsEditTest, ApplyWritesChangedThresholdsDecidedFlagsAndPathReset) {
    ObjectRecord a = Object("12", "Truck", 20, 40);
    a.alertSettings[AlertSettings::kForbiddenPopup] = 0;
    ObjectSettingsEdit e;
    e.firstTimeout = DateTime::FromTimeOfDay(1, 2, 3);
    e.firstTimeoutChanged = true;
    e.secondTimeout = DateTime::FromTimeOfDay(4, 5, 6);  // not changed: must not be written
    for (int f = 0; f < AlertSettings::kCount; ++f) {
        e.flags[f] = ObjectSettingsEdit::kMixed;
    }
    e.flags[AlertSettings::kForbiddenPopup] = 1;
    e.flags[AlertSettings::kPowerOnSound] = 0;
    e.resetPath = true;

    EXPECT_TRUE(e.ApplyTo(a));
    EXPECT_EQ(a.firstTimeout, DateTime::FromTimeOfDay(1, 2, 3));
    EXPECT_EQ(a.secondTimeout, DateTime::FromTimeOfDay(0, 40, 0));
    EXPECT_EQ(a.alertSettings[AlertSettings::kForbiddenPopup], 1);
    EXPECT_EQ(a.alertSettings[AlertSettings::kPowerOnSound], 0);
    EXPECT_EQ(a.alertSettings[AlertSettings::kPowerOnPopup], 0);  // kept
    EXPECT_EQ(a.alertSettings[AlertSettings::kAlarmAlert], 1);    // kept
    EXPECT_EQ(a.pathMetres, 0);
    EXPECT_EQ(a.zonePathMetres, 0);
    EXPECT_EQ(a.dayPathMetres, 0);
}

TEST(ObjectSettingsEditTest, CaptionListsIdAndNameOfEveryObject) {
    const ObjectRecord a = Object("12", "Truck", 20, 40);
    const ObjectRecord b = Object("7", "Bus", 20, 40);
    EXPECT_EQ(ObjectSettingsEdit::BuildCaption({&a, &b}),
              W("Панель управления - ") + "12-Truck, 7-Bus");
    EXPECT_EQ(ObjectSettingsEdit::BuildCaption({&a}), W("Панель управления - ") + "12-Truck");
}
