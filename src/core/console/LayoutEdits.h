#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "settings/WindowLayout.h"

class CConsole;

// The windows' changes to the layout (Interface.ini), made under the store lock and
// saved with the next commit. The windows hand values in; none of them touches the
// layout itself (window thread; the workers may run).
class CLayoutEdits {
public:
    explicit CLayoutEdits(CConsole& console) : console_(console) {}

    // ---- the main window ----
    // Column ids the list does not know are dropped (with their widths), the widths
    // made as many as the ids; returns the ids and widths that stay.
    std::pair<std::vector<int32_t>, std::vector<int32_t>> KeepKnownColumns();
    void SetColumns(const std::vector<int32_t>& ids, const std::vector<int32_t>& widths);
    // The widths the list shows, as far as the layout has columns.
    void SetShownColumnWidths(const std::vector<int>& shown);
    void SetMinimised(bool minimised);
    // The window is shown normal with the outer rectangle `outer`. True when it comes
    // back from a minimised maximised state and is to be maximised again (the
    // rectangle then stays).
    bool MainWindowNormal(const LayoutRect& outer);
    void MainWindowMaximised();
    void MainWindowMinimised();

    // ---- distance windows ----
    struct SmallWindow {
        int zone = -1;
        std::string name;  // Windows-1251
        WindowPlacement placement;
    };
    // The recorded distance windows to reopen: in recorded order, those whose zones the
    // map in use has, the first record of each zone, at most `limit`. Every other
    // record (a zone the map no longer has, a second record of a zone, one past the
    // limit) is dropped from the layout, names and places alike, and the layout saved,
    // so that the records stay one per window.
    std::vector<SmallWindow> KeepKnownSmallWindows(std::size_t limit);
    void AddSmallWindow(const std::string& name, const WindowPlacement& placement);
    void RemoveSmallWindow(int index);
    void SetSmallWindowPlacement(int index, const WindowPlacement& placement);
    void SetZoneDistancePlacement(const WindowPlacement& placement);

    // ---- the map window ----
    void SetMapPlacement(const LayoutRect& rect, int32_t state);
    // Kept only while the record says the map is open.
    void SetMapRectIfOpen(const LayoutRect& rect);

    // ---- history windows ----
    // The object's record marked open; a new record with `rect` when it has none.
    void MarkHistoryWindowOpen(int32_t objectNumber, const LayoutRect& rect);
    // The record forgets its placement and is marked closed.
    void MarkHistoryWindowClosed(int32_t objectNumber);
    // The record (when there is one) takes `placement` and is marked open.
    void SetHistoryPlacement(int32_t objectNumber, const WindowPlacement& placement);

private:
    CConsole& console_;
};
