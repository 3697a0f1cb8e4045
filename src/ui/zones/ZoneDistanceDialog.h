#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "app/WindowFrame.h"
#include "settings/WindowLayout.h"

class CConsole;
class CObjectListCtrl;
class QComboBox;
class QPushButton;

// "Расстояния до районов": every shown object with its distance to the zone chosen in
// the combo box. Modal; the main window keeps it current while it is open (refresh after
// each refresh pass, rebuild when the rows are reset) and stores its place.
class CZoneDistanceDialog : public QDialog {
    Q_OBJECT
public:
    // `stored` is the layout record of this dialog: an all-zero rectangle leaves the
    // dialog at its own place, all-zero widths give the default widths.
    CZoneDistanceDialog(CConsole& console, const WindowPlacement& stored,
                        QWidget* parent = nullptr);

    CObjectListCtrl* List() const { return list_; }
    QComboBox* ZoneCombo() const { return combo_; }
    // Zone names in the combo's order (Windows-1251).
    const std::vector<std::string>& ZoneNames() const { return names_; }
    // Index in the zone map of the zone chosen in the combo box; -1 when none.
    int SelectedZone() const;
    bool Initialised() const { return initialised_; }
    WindowPlacement CurrentPlacement() const;

    // The main window's requests.
    void RebuildRows();
    void RefreshRows();
    void ReportLayout();
    // "->": open the distance window of the chosen zone.
    void OpenSelectedZone();
    // A click on the header of `column`: ask for a sort by that column's key.
    void ColumnClicked(int column);

signals:
    void openDistanceWindow(int zoneIndex);
    void sortRequested(int key, int zoneIndex);
    void layoutReport(const WindowPlacement& placement);

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void LayOut(int cx, int cy);

    CConsole& console_;
    QComboBox* combo_;
    QPushButton* openButton_;
    CObjectListCtrl* list_;
    QPushButton* closeButton_;
    std::vector<std::string> names_;
    bool initialised_ = false;
    WindowFrame::Placed placed_;
    bool frameCorrected_ = false;
};
