#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "alerts/VisitHistory.h"
#include "objectlist/ListWindow.h"

class CConsole;
class QMenu;

// "История (id - name)": one object's zone visits in a sortable table. Modeless, one per
// object. It works on its own copy of the object's VisitHistory, taken again whenever the
// main window says the visits changed; its reports name the object.
//
// The window follows its object by the object's number, not by its index in the store:
// sorting the main list moves objects to other indexes while the window stays open.
class CHistoryDialog : public CListWindow {
    Q_OBJECT
public:
    enum SortKey : int { kByZone = 0, kByArrival = 1, kByDuration = 3 };

    // Zero widths give the default widths (and the third header "Время убытия").
    CHistoryDialog(CConsole& console, int objectIndex, const std::array<int32_t, 4>& widths,
                   QWidget* owner = nullptr);

    int32_t ObjectNumber() const { return objectNumber_; }
    const VisitHistory& History() const { return history_; }
    // Row of the visit that was the newest when the history was copied.
    int OpenVisit() const { return openVisit_; }
    SortKey Key() const { return key_; }
    bool Descending() const { return descending_; }

    // The object's visits changed: copy them again, re-sort, rewrite.
    void Refresh();
    // A click on the header of `column`: 0 zone, 1 and 2 arrival, 3 duration.
    void ColumnClicked(int column);

    // "Время нахождения" of visit i: "---" while it has not ended, "%H:%M:%S" under a
    // day, ">%i час." with the whole hours from a day on.
    static std::string DurationText(const VisitHistory& history, int i);

    // The list's context menu: "Экспорт в CSV..." (the object's visits over a period, from
    // the track store: not only the last 99 kept here).
    QMenu* ContextMenu() const { return menu_; }

signals:
    void closing(CHistoryDialog* window);
    void exportRequested(int32_t objectNumber);
    void layoutReport(int32_t objectNumber, const WindowPlacement& placement);

protected:
    void EmitClosing() override;
    void EmitLayoutReport(const WindowPlacement& placement) override;

private:
    // Copies the object's history; false when the object is gone from the store.
    bool CopyHistory(std::string* title);
    void Sort();
    bool OutOfOrder(int i, int j) const;
    void WriteRows();

    CConsole& console_;
    int32_t objectNumber_ = 0;
    VisitHistory history_;
    int openVisit_ = 0;
    SortKey key_ = kByArrival;
    bool descending_ = true;
    QMenu* menu_;
};
