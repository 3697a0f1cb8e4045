#pragma once

#include <QDialog>

class CConsole;
class CObjectListCtrl;

// "Контрольные районы": one row per zone in map order (row = zone index) with its area,
// radius and centre. Modal and read-only; a double click asks for the zone's distance
// window.
class CZonesDialog : public QDialog {
    Q_OBJECT
public:
    explicit CZonesDialog(CConsole& console, QWidget* parent = nullptr);

    CObjectListCtrl* List() const { return list_; }
    // A double click on the list: the first selected row's zone.
    void OpenSelectedZone();

signals:
    void openDistanceWindow(int zoneIndex);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    CObjectListCtrl* list_;
    bool initialised_ = false;
};
