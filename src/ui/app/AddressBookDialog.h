#pragma once

#include <QDialog>
#include <vector>

#include "model/AddressBookEntry.h"

class QMenu;
class QAction;
class QTableWidget;

// "Адресная книга": every object of the address book, with whether it is shown in the
// main list. A double click shows or hides the selected objects; the context menu's
// "Настройки..." edits their two thresholds. The dialog edits its own copy of the
// entries; the caller hands entries() to the console once it is closed (it keeps the
// workers stopped meanwhile, so that the copy stays current) and refills its list.
class CAddressBookDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAddressBookDialog(std::vector<AddressBookEntry> entries, QWidget* parent = nullptr);
    ~CAddressBookDialog() override;

    QMenu* contextMenu() const { return menu_; }
    // The entries as the operator left them, in the order they were given.
    const std::vector<AddressBookEntry>& entries() const { return entries_; }
    // True once "Настройки..." has taken new thresholds for an object.
    bool thresholdsChanged() const { return thresholdsChanged_; }

public slots:
    // Inverts whether every selected row's object is shown.
    void ToggleSelectedRows();
    // "Настройки...": for each selected row in ascending order, the per-object settings
    // with that object's thresholds; "OK" takes both into its entry.
    void EditSelectedThresholds();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillList();
    void ShowStateIcons();
    void SetColumnWidths();
    std::vector<int> SelectedRows() const;

    std::vector<AddressBookEntry> entries_;
    QTableWidget* list_;
    QMenu* menu_;
    QAction* settingsAction_;
    bool initDone_ = false;
    bool thresholdsChanged_ = false;
};
