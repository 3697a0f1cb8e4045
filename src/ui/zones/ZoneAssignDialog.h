#pragma once

#include <QDialog>
#include <memory>

#include "zones/ZoneAssignment.h"
#include "zones/ZoneNameList.h"

class QTableWidget;
namespace Ui {
class CZoneAssignDialog;
}

// Destination and forbidden zones of one or several objects. The dialog edits a copy of
// the assignment against a copy of the map's zone names; after "Сохранить" the caller
// gives assignment() to every selected object.
class CZoneAssignDialog : public QDialog {
    Q_OBJECT

public:
    CZoneAssignDialog(const QString& title, const ZoneAssignment& initial, ZoneNameList zones,
                      QWidget* parent = nullptr);
    ~CZoneAssignDialog() override;

    const ZoneAssignment& assignment() const { return assignment_; }

private:
    void SetUpList(QTableWidget* list);
    void RefillAssigned();
    void AddSelected(int role);
    void RemoveSelected(QTableWidget* list);

    std::unique_ptr<Ui::CZoneAssignDialog> ui_;
    const ZoneNameList zones_;
    ZoneAssignment assignment_;
};
