#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/ObjectRecord.h"

class CObjectListCtrl;

// Where the columns that the colouring treats specially are shown (-1 = not shown).
struct RowColourColumns {
    std::array<int, 6> iconColumns{-1, -1, -1, -1, -1, -1};  // ids 0..5
    int zoneColumn = -1;                                     // id 7

    // From the shown column ids in display order.
    static RowColourColumns FromColumnIds(const std::vector<int32_t>& columnIds);
};

// The colours (0xRRGGBB) a row of the main list shows for its state bits, outside the
// icon columns, and whether its zone cell is in italics. Views that show objects beside
// the list (the map) take their colours from here too.
struct RowColours {
    uint32_t back = 0xFFFFFF;
    uint32_t text = 0x000000;
    bool italicZone = false;

    static RowColours ForState(int state);
};

// Colours one row of the main list after its state changed: the state colours show in
// the object, time, speed and path columns through the row style and in the zone column
// through its own cell style; the event and sensor columns always stay black on white.
// `state` holds the row state bits kRowNoZone, kRowStaleStamp and kRowSilent.
void ApplyRowColouring(CObjectListCtrl& list, int row, int state, const RowColourColumns& columns,
                       bool redraw = true);
