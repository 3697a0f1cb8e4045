#include "objectlist/ObjectRows.h"

#include <algorithm>
#include <cstdlib>

#include "app/QtText.h"
#include "objectlist/ObjectListCtrl.h"

CObjectRows::CObjectRows(CObjectListCtrl& list) : list_(list) {
    columnPositions_.fill(-1);
}

void CObjectRows::BuildColumns(const std::vector<int32_t>& ids,
                               const std::vector<int32_t>& widths) {
    list_.DeleteAllColumns();
    for (size_t i = 0; i < ids.size(); ++i) {
        list_.InsertColumn(QString::fromUtf8(WindowLayout::ColumnHeader(ids[i])), widths[i]);
    }
    columnPositions_.fill(-1);
    for (size_t i = 0; i < ids.size(); ++i) {
        int& position = columnPositions_[static_cast<size_t>(ids[i])];
        if (position < 0) {
            position = static_cast<int>(i);
        }
    }
    colourColumns_ = RowColourColumns::FromColumnIds(ids);
    // The cells are new: every text must be written again and every row recoloured.
    for (RowView& row : rows_) {
        row.colouredState = -1;
        row.texts = {};
    }
}

void CObjectRows::Reset(int rowCount) {
    list_.BeginUpdate();
    list_.DeleteAllRows();
    for (int r = 0; r < rowCount; ++r) {
        list_.InsertRow(r);
    }
    list_.EndUpdate();
    rows_.assign(static_cast<size_t>(std::max(0, rowCount)), RowView{});
}

void CObjectRows::Apply(const RefreshSnapshot& snapshot) {
    const int count = std::min(static_cast<int>(snapshot.rows.size()), list_.RowCount());
    if (static_cast<int>(rows_.size()) < count) {
        rows_.resize(static_cast<size_t>(count));
    }
    list_.BeginUpdate();
    for (int r = 0; r < count; ++r) {
        const RowSnapshot& row = snapshot.rows[static_cast<size_t>(r)];
        RowView& shown = rows_[static_cast<size_t>(r)];
        shown.objectNumber = row.objectNumber;
        for (int id = kColObject; id < kColumnIdCount; ++id) {
            const int column = columnPositions_[static_cast<size_t>(id)];
            const std::string& text = row.texts[static_cast<size_t>(id)];
            std::string& written = shown.texts[static_cast<size_t>(id)];
            // Most cells read the same as a second ago: skip converting them.
            if (column >= 0 && written != text) {
                list_.SetCellText(r, column, FromCp(text));
                written = text;
            }
        }
        for (int id = kColEvent; id <= kColSensor5; ++id) {
            const int column = columnPositions_[static_cast<size_t>(id)];
            if (column >= 0) {
                list_.SetCellImage(r, column, row.icons[static_cast<size_t>(id)]);
            }
        }
        // A pass the window never saw may have carried a row's recolouring: what the row
        // shows is compared as well.
        if (row.recolour || shown.colouredState != row.state) {
            ApplyRowColouring(list_, r, row.state, colourColumns_, false);
            shown.colouredState = row.state;
        }
    }
    list_.EndUpdate();
}

int32_t CObjectRows::ObjectNumber(int row) const {
    if (row < 0 || row >= list_.RowCount()) {
        return -1;
    }
    if (row < static_cast<int>(rows_.size()) && rows_[static_cast<size_t>(row)].objectNumber >= 0) {
        return rows_[static_cast<size_t>(row)].objectNumber;
    }
    // Not told yet: the object column's title begins with the number.
    const int column = columnPositions_[kColObject];
    if (column < 0) {
        return -1;
    }
    const QString title = list_.CellText(row, column);
    if (title.isEmpty() || !title.at(0).isDigit()) {
        return -1;
    }
    return static_cast<int32_t>(std::atoi(title.toLatin1().constData()));
}

bool CObjectRows::Select(int32_t objectNumber) {
    for (int r = 0; r < list_.RowCount(); ++r) {
        if (ObjectNumber(r) == objectNumber) {
            list_.ClearSelection();
            list_.SelectRow(r);
            list_.setCurrentIndex(list_.model()->index(r, 0));
            list_.scrollTo(list_.model()->index(r, 0));
            return true;
        }
    }
    return false;
}

std::vector<int32_t> CObjectRows::SelectedObjectNumbers() const {
    std::vector<int32_t> numbers;
    for (const int row : list_.SelectedRows()) {
        const int32_t number = ObjectNumber(row);
        if (number >= 0) {
            numbers.push_back(number);
        }
    }
    return numbers;
}

std::vector<int32_t> CObjectRows::SelectedRowNumbers() const {
    std::vector<int32_t> numbers;
    for (const int row : list_.SelectedRows()) {
        numbers.push_back(ObjectNumber(row));
    }
    return numbers;
}

CObjectRows::Selection CObjectRows::RememberSelection() const {
    Selection memo;
    memo.numbers = SelectedObjectNumbers();
    const QModelIndex current = list_.currentIndex();
    if (current.isValid()) {
        memo.current = ObjectNumber(current.row());
        memo.currentColumn = current.column();
    }
    return memo;
}

void CObjectRows::RestoreSelection(const Selection& memo) {
    if (memo.numbers.empty() && memo.current < 0) {
        return;
    }
    std::vector<int> selected;
    int currentRow = -1;
    for (int r = 0; r < list_.RowCount(); ++r) {
        const int32_t number = ObjectNumber(r);
        if (number < 0) {
            continue;
        }
        if (std::find(memo.numbers.begin(), memo.numbers.end(), number) != memo.numbers.end()) {
            selected.push_back(r);
        }
        if (number == memo.current) {
            currentRow = r;
        }
    }
    if (currentRow >= 0) {
        // The view's own call also moves the anchor of a later Shift-click to the row.
        list_.setCurrentIndex(list_.model()->index(currentRow, memo.currentColumn));
    }
    list_.ClearSelection();
    for (const int r : selected) {
        list_.SelectRow(r);
    }
}
