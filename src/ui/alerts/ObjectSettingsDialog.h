#pragma once

#include <QDialog>
#include <array>
#include <memory>
#include <vector>

#include "model/ObjectSettingsEdit.h"

class QCheckBox;
namespace Ui {
class CObjectSettingsDialog;
}

// The thresholds, the sixteen alert flags and the path reset of one or several objects.
// A flag of value 2 shows as the indeterminate state: the objects disagree and each
// keeps its own value unless the operator clicks the box. The dialog only edits its
// copy; the caller applies values() (ObjectSettingsEdit::ApplyTo) after "OK".
class CObjectSettingsDialog : public QDialog {
    Q_OBJECT

public:
    CObjectSettingsDialog(const QString& caption, const ObjectSettingsEdit& initial,
                          QWidget* parent = nullptr);
    ~CObjectSettingsDialog() override;

    // The thresholds with their changed-flags, the flags and the path reset as they
    // stand in the dialog.
    ObjectSettingsEdit values() const;
    int FlagValue(int field) const { return flags_[field]; }

    // Only the two thresholds are edited (the address book passes nothing else): the
    // alert boxes and both buttons are disabled.
    void SetThresholdsOnly(bool thresholdsOnly);

signals:
    // "Контрольные районы": the owner opens the zone assignment of the same objects.
    void zoneAssignmentRequested();

private:
    struct Group {
        int groupField;
        std::vector<int> dependentFields;
    };

    void ShowFlag(int field);
    void OnFlagClicked(int field);
    void UpdateGroups();
    void AskResetPath();

    std::unique_ptr<Ui::CObjectSettingsDialog> ui_;
    std::array<QCheckBox*, AlertSettings::kCount> boxes_{};
    std::vector<Group> groups_;
    AlertSettings flags_;
    bool firstChanged_ = false;
    bool secondChanged_ = false;
    bool resetPath_ = false;
    bool thresholdsOnly_ = false;
};
