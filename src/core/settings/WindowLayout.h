#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct LayoutRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const LayoutRect&) const = default;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

// Rectangle of a secondary window and the widths of its first four list columns.
struct WindowPlacement {
    LayoutRect rect;
    std::array<int32_t, 4> widths{};
    bool operator==(const WindowPlacement&) const = default;
};

struct HistoryPlacement {
    WindowPlacement placement;
    int32_t state = 0;  // 1 open, -1 closed
    bool operator==(const HistoryPlacement&) const = default;
};

// The map window's record: where it was and whether it was open. A layout that never
// saw the map window has no record (state 0) and its file carries no map section.
//
// In Interface.ini the record is the file's last section, after the value line of
// "[Lastmsg]", three lines ended by CR LF:
//   "[MapDlg]"
//   "pos=%i,%i,%i,%i"  the outer rectangle as left, right, top, bottom (like every pos=)
//   "state=%i"         1 open, -1 closed
// A closed window keeps its rectangle, so that it opens again where it was. When read, a
// section without a state line, or with any state but 1, stands for a closed window.
struct MapPlacement {
    LayoutRect rect;
    int32_t state = 0;  // 1 open, -1 closed, 0 no record
    bool operator==(const MapPlacement&) const = default;
};

// Column ids of the object list; they are also the sort keys of the store.
enum ColumnId : int32_t {
    kColEvent = 0,
    kColSensor1 = 1,
    kColSensor5 = 5,
    kColObject = 6,
    kColZone = 7,
    kColZoneTime = 8,
    kColLastMessage = 9,
    kColSpeed = 10,
    kColPath = 11,
    kColumnIdCount = 12
};

// Interface.ini: window placements, the list columns and the message counters.
class WindowLayout {
public:
    static const LayoutRect kDefaultMainRect;  // 0, 0, 700, 300

    LayoutRect mainRect = kDefaultMainRect;
    bool maximised = false;
    bool minimised = false;
    std::vector<int32_t> columnIds;
    std::vector<int32_t> columnWidths;
    std::vector<std::string> smallWindowNames;  // Windows-1251 zone names
    std::vector<WindowPlacement> smallWindowPlacements;
    WindowPlacement zoneDistancePlacement;
    std::vector<std::string> historyWindowNumbers;
    std::vector<HistoryPlacement> historyWindowPlacements;
    MapPlacement mapPlacement;
    int32_t runMessageCount = 0;
    int32_t totalMessageCount = 0;
    std::string lastMessageText;  // Windows-1251

    WindowLayout() = default;
    explicit WindowLayout(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const { return path_; }
    void SetPath(std::string path) { path_ = std::move(path); }

    // Column names by id (UTF-8, for the column chooser) and headers shown in the list.
    static const char* ColumnName(int id);
    static const char* ColumnHeader(int id);
    // Default width of a column for a main window `windowWidth` pixels wide.
    static int32_t DefaultColumnWidth(int id, int32_t windowWidth);
    // Widths for `ids` fitted into `availableWidth` (the column chooser's rule).
    static std::vector<int32_t> FitWidths(const std::vector<int32_t>& ids, int32_t availableWidth);

    void LoadLayout();
    void ParseLayout(const std::string& bytes);
    std::string BuildLayoutFile() const;
    // Writes the whole file atomically; false when it could not be written.
    bool SaveLayout() const;
    void ResetColumnsToDefault();
    // Index of the first history record whose number converts to `objectNumber`, -1.
    int FindHistoryRecord(int32_t objectNumber) const;
    // Position of a column id among columnIds, -1 when not shown.
    int ColumnPosition(int id) const;

private:
    std::string path_;
};
