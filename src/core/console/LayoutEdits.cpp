#include "console/LayoutEdits.h"

#include <algorithm>

#include "base/TextUtil.h"
#include "console/Console.h"

std::vector<CLayoutEdits::SmallWindow> CLayoutEdits::KeepKnownSmallWindows(std::size_t limit) {
    std::vector<SmallWindow> kept;
    auto lock = console_.Lock();
    WindowLayout& layout = console_.layout;
    const std::size_t count =
        std::min(layout.smallWindowNames.size(), layout.smallWindowPlacements.size());
    std::vector<std::string> keptNames;
    std::vector<WindowPlacement> keptPlacements;
    std::vector<bool> zoneTaken;
    for (std::size_t i = 0; i < count && kept.size() < limit; ++i) {
        const int zone =
            console_.zoneMap ? console_.zoneMap->FindZoneByName(layout.smallWindowNames[i]) : -1;
        if (zone < 0) {
            // The zone file no longer has this zone: nothing to measure against, and
            // the entry would otherwise wait in the layout for ever.
            continue;
        }
        const auto z = static_cast<std::size_t>(zone);
        if (z >= zoneTaken.size()) {
            zoneTaken.resize(z + 1, false);
        }
        if (zoneTaken[z]) {
            continue;  // a second window of the zone would show the same rows
        }
        zoneTaken[z] = true;
        kept.push_back({zone, layout.smallWindowNames[i], layout.smallWindowPlacements[i]});
        keptNames.push_back(layout.smallWindowNames[i]);
        keptPlacements.push_back(layout.smallWindowPlacements[i]);
    }
    const bool dropped = keptNames.size() != layout.smallWindowNames.size() ||
                         keptPlacements.size() != layout.smallWindowPlacements.size();
    layout.smallWindowNames = std::move(keptNames);
    layout.smallWindowPlacements = std::move(keptPlacements);
    if (dropped) {
        console_.SaveLayout();
    }
    return kept;
}

void CLayoutEdits::AddSmallWindow(const std::string& name, const WindowPlacement& placement) {
    auto lock = console_.Lock();
    console_.layout.smallWindowNames.push_back(name);
    console_.layout.smallWindowPlacements.push_back(placement);
    console_.SaveLayout();
}

void CLayoutEdits::RemoveSmallWindow(int index) {
    if (index < 0) {
        return;
    }
    auto lock = console_.Lock();
    WindowLayout& layout = console_.layout;
    const auto i = static_cast<std::size_t>(index);
    if (i < layout.smallWindowNames.size()) {
        layout.smallWindowNames.erase(layout.smallWindowNames.begin() + index);
    }
    if (i < layout.smallWindowPlacements.size()) {
        layout.smallWindowPlacements.erase(layout.smallWindowPlacements.begin() + index);
    }
    console_.SaveLayout();
}

void CLayoutEdits::SetSmallWindowPlacement(int index, const WindowPlacement& placement) {
    auto lock = console_.Lock();
    WindowLayout& layout = console_.layout;
    if (index < 0 || static_cast<std::size_t>(index) >= layout.smallWindowPlacements.size()) {
        return;
    }
    layout.smallWindowPlacements[static_cast<std::size_t>(index)] = placement;
    console_.SaveLayout();
}

void CLayoutEdits::SetZoneDistancePlacement(const WindowPlacement& placement) {
    auto lock = console_.Lock();
    console_.layout.zoneDistancePlacement = placement;
    console_.SaveLayout();
}

void CLayoutEdits::SetMapPlacement(const LayoutRect& rect, int32_t state) {
    auto lock = console_.Lock();
    console_.layout.mapPlacement.rect = rect;
    console_.layout.mapPlacement.state = state;
    console_.SaveLayout();
}

void CLayoutEdits::SetMapRectIfOpen(const LayoutRect& rect) {
    auto lock = console_.Lock();
    MapPlacement& record = console_.layout.mapPlacement;
    if (record.state != 1) {
        return;
    }
    record.rect = rect;
    console_.SaveLayout();
}

void CLayoutEdits::MarkHistoryWindowOpen(int32_t objectNumber, const LayoutRect& rect) {
    auto lock = console_.Lock();
    WindowLayout& layout = console_.layout;
    const int record = layout.FindHistoryRecord(objectNumber);
    if (record < 0) {
        HistoryPlacement added;
        added.placement.rect = rect;
        added.state = 1;
        layout.historyWindowNumbers.push_back(TextUtil::Format("%04i", objectNumber));
        layout.historyWindowPlacements.push_back(added);
    } else {
        layout.historyWindowPlacements[static_cast<std::size_t>(record)].state = 1;
    }
    console_.SaveLayout();
}

void CLayoutEdits::MarkHistoryWindowClosed(int32_t objectNumber) {
    auto lock = console_.Lock();
    WindowLayout& layout = console_.layout;
    const int record = layout.FindHistoryRecord(objectNumber);
    if (record >= 0) {
        HistoryPlacement& p = layout.historyWindowPlacements[static_cast<std::size_t>(record)];
        p.placement = WindowPlacement{};
        p.state = -1;
    }
    console_.SaveLayout();
}

void CLayoutEdits::SetHistoryPlacement(int32_t objectNumber, const WindowPlacement& placement) {
    auto lock = console_.Lock();
    WindowLayout& layout = console_.layout;
    const int record = layout.FindHistoryRecord(objectNumber);
    if (record < 0) {
        return;
    }
    HistoryPlacement& p = layout.historyWindowPlacements[static_cast<std::size_t>(record)];
    p.placement = placement;
    p.state = 1;
    console_.SaveLayout();
}

std::pair<std::vector<int32_t>, std::vector<int32_t>> CLayoutEdits::KeepKnownColumns() {
    auto lock = console_.Lock();
    WindowLayout& layout = console_.layout;
    // Ids the list does not know are dropped from the layout as well, so that a
    // column's position in the layout stays its position in the list.
    for (std::size_t i = 0; i < layout.columnIds.size();) {
        const int32_t id = layout.columnIds[i];
        if (id < 0 || id >= kColumnIdCount) {
            layout.columnIds.erase(layout.columnIds.begin() + static_cast<std::ptrdiff_t>(i));
            if (i < layout.columnWidths.size()) {
                layout.columnWidths.erase(layout.columnWidths.begin() +
                                          static_cast<std::ptrdiff_t>(i));
            }
        } else {
            ++i;
        }
    }
    layout.columnWidths.resize(layout.columnIds.size(), 0);
    return {layout.columnIds, layout.columnWidths};
}

void CLayoutEdits::SetColumns(const std::vector<int32_t>& ids, const std::vector<int32_t>& widths) {
    auto lock = console_.Lock();
    console_.layout.columnIds = ids;
    console_.layout.columnWidths = widths;
}

void CLayoutEdits::SetShownColumnWidths(const std::vector<int>& shown) {
    auto lock = console_.Lock();
    WindowLayout& layout = console_.layout;
    const std::size_t count = std::min(layout.columnWidths.size(), shown.size());
    for (std::size_t i = 0; i < count; ++i) {
        layout.columnWidths[i] = shown[i];
    }
    console_.SaveLayout();
}

void CLayoutEdits::SetMinimised(bool minimised) {
    auto lock = console_.Lock();
    console_.layout.minimised = minimised;
}

bool CLayoutEdits::MainWindowNormal(const LayoutRect& outer) {
    auto lock = console_.Lock();
    WindowLayout& layout = console_.layout;
    bool maximiseAgain = false;
    if (layout.maximised && layout.minimised) {
        // Back from a minimised maximised window: maximised again.
        layout.minimised = false;
        maximiseAgain = true;
    } else {
        layout.maximised = false;
        layout.minimised = false;
        layout.mainRect = outer;
    }
    console_.SaveLayout();
    return maximiseAgain;
}

void CLayoutEdits::MainWindowMaximised() {
    auto lock = console_.Lock();
    console_.layout.minimised = false;
    console_.layout.maximised = true;
    console_.SaveLayout();
}

void CLayoutEdits::MainWindowMinimised() {
    auto lock = console_.Lock();
    console_.layout.minimised = true;
    console_.SaveLayout();
}
