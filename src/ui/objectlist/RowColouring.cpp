#include "objectlist/RowColouring.h"

#include "objectlist/CellStyle.h"
#include "objectlist/ObjectListCtrl.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kPaleYellow = 0xF0F0AA;  // 240, 240, 170
constexpr uint32_t kDarkRed = 0xC00000;     // 192, 0, 0
constexpr uint32_t kColoursApply = CellStyle::kTextColour | CellStyle::kBackColour;

}  // namespace

RowColourColumns RowColourColumns::FromColumnIds(const std::vector<int32_t>& columnIds) {
    RowColourColumns columns;
    for (size_t position = 0; position < columnIds.size(); ++position) {
        const int32_t id = columnIds[position];
        const int pos = static_cast<int>(position);
        if (id >= 0 && id <= 5 && columns.iconColumns[static_cast<size_t>(id)] < 0) {
            columns.iconColumns[static_cast<size_t>(id)] = pos;
        } else if (id == 7 && columns.zoneColumn < 0) {
            columns.zoneColumn = pos;
        }
    }
    return columns;
}

RowColours RowColours::ForState(int state) {
    RowColours colours;
    if (state & kRowSilent) {
        colours.back = kPaleYellow;
    }
    if (state & kRowStaleStamp) {
        colours.text = kDarkRed;
    }
    colours.italicZone = (state & kRowNoZone) != 0;
    return colours;
}

void ApplyRowColouring(CObjectListCtrl& list, int row, int state, const RowColourColumns& columns,
                       bool redraw) {
    const RowColours colours = RowColours::ForState(state);
    const uint32_t rowBack = colours.back;
    const uint32_t rowText = colours.text;
    list.SetRowBackColour(row, rowBack);
    list.SetRowTextColour(row, rowText);

    if (columns.zoneColumn >= 0) {
        list.SetCellBackColour(row, columns.zoneColumn, rowBack);
        list.SetCellTextColour(row, columns.zoneColumn, rowText);
    }
    for (int column : columns.iconColumns) {
        if (column >= 0) {
            list.SetCellBackColour(row, column, kWhite);
            list.SetCellTextColour(row, column, kBlack);
            list.SetCellStyle(row, column, kColoursApply);
        }
    }
    list.SetRowStyle(row, kColoursApply);
    if (columns.zoneColumn >= 0) {
        const uint32_t italic = colours.italicZone ? CellStyle::kItalic : 0;
        list.SetCellStyle(row, columns.zoneColumn, kColoursApply | italic);
    }
    if (redraw) {
        list.FlushChanges();
    }
}
