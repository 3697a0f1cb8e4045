#pragma once

#include <QDialog>

class CDataStore;
class QMenu;
class QAction;
class QTableWidget;

// "Адресная книга": every object of the address book, with whether it is shown in the
// main list. A double click shows or hides the selected objects; the context menu's
// "Настройки..." edits their two thresholds. Changes go straight into the store, so
// the caller keeps the workers stopped (or holds the console lock) while it is open,
// and afterwards rebuilds SelectedIDs, saves the settings and refills its list.
class CAddressBookDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAddressBookDialog(CDataStore& store, QWidget* parent = nullptr);
    ~CAddressBookDialog() override;

    QMenu* contextMenu() const { return menu_; }
    // True once "Настройки..." has stored thresholds into an object: the caller must then
    // save the store's state, or the new thresholds are gone at the next start.
    bool thresholdsChanged() const { return thresholdsChanged_; }

public slots:
    // Inverts `selected` of every selected row's object.
    void ToggleSelectedRows();
    // "Настройки...": for each selected row in ascending order, the per-object settings
    // with that object's thresholds; "OK" stores both back into the object.
    void EditSelectedThresholds();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FillList();
    void ShowStateIcons();
    void SetColumnWidths();
    std::vector<int> SelectedRows() const;

    CDataStore& store_;
    QTableWidget* list_;
    QMenu* menu_;
    QAction* settingsAction_;
    bool initDone_ = false;
    bool thresholdsChanged_ = false;
};
