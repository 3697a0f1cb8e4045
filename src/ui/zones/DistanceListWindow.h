#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "console/ConsoleQueries.h"
#include "objectlist/ListWindow.h"

class CConsole;

// A small modeless window with the distance of every shown object to one zone, the
// zone each object is in and its speed. It reads the store only when told to (rebuild,
// refresh); its reports name the window itself.
//
// The static members are the rules it shares with the zone-distance dialog: the columns,
// the row texts and colours, and the sort keys of the columns.
class CDistanceListWindow : public CListWindow {
    Q_OBJECT
public:
    // `zoneName` is the zone's name in Windows-1251; the window keeps it so that it can
    // find its zone again when the zone file has been reloaded. Zero widths mean the
    // default widths.
    CDistanceListWindow(CConsole& console, int zoneIndex, const std::string& zoneName,
                        const std::array<int32_t, 4>& widths, QWidget* owner = nullptr);

    int ZoneIndex() const { return zone_; }
    const std::string& ZoneName() const { return zoneName_; }

    // The main window's requests.
    void RebuildRows();
    void RefreshRows();
    // A click on the header of `column`: ask for a sort by that column's key.
    void ColumnClicked(int column);

    // ---- shared with the zone-distance dialog ----
    using Row = CConsoleQueries::DistanceRow;
    static constexpr uint32_t kSilentBack = 0xF0F0AA;  // 240, 240, 170
    static constexpr uint32_t kStaleText = 0xC00000;   // 192, 0, 0
    static constexpr uint32_t kPlainFlags = 0x30;      // text and background colours apply
    static constexpr uint32_t kInZoneFlags = 0x31;     // the same, bold

    // "Объект", "Расстояние", "Район", "Скорость": the stored widths when any is set,
    // otherwise widths fitted to the list's width with its vertical scroll bar shown.
    static void SetUpColumns(CObjectListCtrl& list, const std::array<int32_t, 4>& widths);
    // One row per shown object, in store order. Takes the console lock. `zone` is the
    // zone index to measure against; -1 gives "---" distances.
    static std::vector<Row> ReadRows(CConsole& console, int zone);
    // Finds the zone named `name` (Windows-1251) under the console lock; `hint` is
    // tried first. -1 when the map has no such zone.
    static int ResolveZone(CConsole& console, const std::string& name, int hint);
    // Rewrites the texts and colours of the list's rows; with `rebuild` the rows are
    // first recreated to match `rows`.
    static void WriteRows(CObjectListCtrl& list, const std::vector<Row>& rows, bool rebuild);
    // Sort key of a column: 6 object, 12 distance, 7 zone, 10 speed; -1 for none.
    static int SortKeyOfColumn(int column);

signals:
    // The window is closing; its owner forgets it.
    void closing(CDistanceListWindow* window);
    // Place or column widths changed.
    void layoutReport(CDistanceListWindow* window, const WindowPlacement& placement);
    // Sort every object by `key` (distance to `zoneIndex` for key 12).
    void sortRequested(int key, int zoneIndex);

protected:
    void EmitClosing() override;
    void EmitLayoutReport(const WindowPlacement& placement) override;

private:
    CConsole& console_;
    int zone_;
    std::string zoneName_;
};
