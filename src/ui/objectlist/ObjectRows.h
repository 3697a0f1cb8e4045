#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "objectlist/RowColouring.h"
#include "refresh/RefreshSnapshot.h"
#include "settings/WindowLayout.h"

class CObjectListCtrl;

// What the rows of the main list show, written from the refresh passes: the columns in
// the layout's order, the cell texts and icons, and each row's colouring. Remembers
// which object each row shows, so that a selection can be told in objects and follow
// them through a sort.
class CObjectRows {
public:
    // The selection in objects: the selected ones and the current one with its column.
    struct Selection {
        std::vector<int32_t> numbers;
        int32_t current = -1;
        int currentColumn = 0;
    };

    explicit CObjectRows(CObjectListCtrl& list);

    // Deletes all columns and inserts `ids` with their `widths`, in order.
    void BuildColumns(const std::vector<int32_t>& ids, const std::vector<int32_t>& widths);
    // The list holds `rowCount` empty rows.
    void Reset(int rowCount);
    // Writes a refresh pass into the rows (texts, icons, colouring).
    void Apply(const RefreshSnapshot& snapshot);

    // Object number shown in `row`, -1 when unknown.
    int32_t ObjectNumber(int row) const;
    // Makes the row of the object the only selected one and scrolls it into view. False
    // when no row shows it.
    bool Select(int32_t objectNumber);
    // Object numbers of the selected rows in list order, rows without an object skipped.
    std::vector<int32_t> SelectedObjectNumbers() const;
    // The object number of every selected row, -1 for a row without an object.
    std::vector<int32_t> SelectedRowNumbers() const;
    Selection RememberSelection() const;
    // Selects the rows that show the remembered objects now.
    void RestoreSelection(const Selection& selection);

private:
    // What a row shows, as far as the refresh passes told: the object number, the state
    // the row is coloured for (-1 = not yet) and the texts written (to skip converting
    // unchanged ones).
    struct RowView {
        int32_t objectNumber = -1;
        int32_t colouredState = -1;
        std::array<std::string, kColumnIdCount> texts;
    };

    CObjectListCtrl& list_;
    std::vector<RowView> rows_;
    // Column position of every id (-1 = not shown) and the columns the colouring treats
    // specially; rebuilt with the columns.
    std::array<int, kColumnIdCount> columnPositions_{};
    RowColourColumns colourColumns_;
};
