#include "settings/WindowLayout.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "base/TextUtil.h"
#include "platform/FileSystem.h"

const LayoutRect WindowLayout::kDefaultMainRect{0, 0, 700, 300};

namespace {

constexpr int kSensorWidth = 18;

struct ColumnText {
    const char* name;
    const char* header;
};

const ColumnText kColumns[kColumnIdCount] = {
    {"Оповещения", ""},
    {"Датчик 1", "1"},
    {"Датчик 2", "2"},
    {"Датчик 3", "3"},
    {"Датчик 4", "4"},
    {"Датчик 5", "5"},
    {"Объект", "Объект"},
    {"Район", "Район"},
    {"Время нахождения", "Время нахождения"},
    {"Последнее сообщение", "Последнее сообщение"},
    {"Скорость, км/ч", "Скорость, км/ч"},
    {"Путь, км", "Путь, км"},
};

bool IsColumnId(int id) {
    return id >= 0 && id < kColumnIdCount;
}
bool IsSensorColumn(int id) {
    return id >= kColSensor1 && id <= kColSensor5;
}

// The four numbers of a "pos=" or "cols=" line. The first three count only when a comma
// follows them; the fourth is whatever stands after the third comma. A short list
// leaves the missing fields 0.
std::array<int32_t, 4> ParseFour(std::string_view text) {
    std::array<int32_t, 4> v{};
    std::size_t pos = 0;
    for (std::size_t k = 0; k < 3; ++k) {
        const std::size_t comma = text.find(',', pos);
        if (comma == std::string_view::npos)
            return v;
        v[k] = TextUtil::LeadingInt(text.substr(pos, comma - pos));
        pos = comma + 1;
    }
    v[3] = TextUtil::LeadingInt(text.substr(pos));
    return v;
}

// The file keeps rectangles as left, right, top, bottom.
LayoutRect RectFromFile(const std::array<int32_t, 4>& v) {
    LayoutRect r;
    r.left = v[0];
    r.right = v[1];
    r.top = v[2];
    r.bottom = v[3];
    return r;
}

std::string PosLine(const LayoutRect& r) {
    return TextUtil::Format("pos=%i,%i,%i,%i\r\n", r.left, r.right, r.top, r.bottom);
}

std::string ColsLine(const std::array<int32_t, 4>& w) {
    return TextUtil::Format("cols=%i,%i,%i,%i\r\n", w[0], w[1], w[2], w[3]);
}

// "pos=" and "cols=" lines of a secondary window's section.
void ApplyPlacementLine(std::string_view line, WindowPlacement& p) {
    if (TextUtil::StartsWith(line, "pos=")) {
        p.rect = RectFromFile(ParseFour(line.substr(4)));
    } else if (TextUtil::StartsWith(line, "cols=")) {
        p.widths = ParseFour(line.substr(5));
    }
}

enum class Section {
    None,
    Global,
    SmallWindow,
    Columns,
    ZoneDistance,
    Count,
    LastMessage,
    History,
    Map
};

}  // namespace

const char* WindowLayout::ColumnName(int id) {
    return IsColumnId(id) ? kColumns[id].name : "";
}

const char* WindowLayout::ColumnHeader(int id) {
    return IsColumnId(id) ? kColumns[id].header : "";
}

int32_t WindowLayout::DefaultColumnWidth(int id, int32_t windowWidth) {
    const int32_t w = (windowWidth - 90) / 7;
    if (id == kColEvent)
        return w - 11;
    if (IsSensorColumn(id))
        return kSensorWidth;
    if (IsColumnId(id))
        return w;
    return 0;
}

std::vector<int32_t> WindowLayout::FitWidths(const std::vector<int32_t>& ids,
                                             int32_t availableWidth) {
    int32_t sensors = 0;
    int32_t others = 0;
    for (int32_t id : ids) {
        if (IsSensorColumn(id)) {
            ++sensors;
        } else if (IsColumnId(id)) {
            ++others;
        }
    }
    // With sensor columns only there is nothing to share out (and nothing to divide by).
    const int32_t c = others > 0 ? (availableWidth - kSensorWidth * sensors) / others : 0;
    std::vector<int32_t> widths;
    widths.reserve(ids.size());
    for (int32_t id : ids) {
        if (IsSensorColumn(id)) {
            widths.push_back(kSensorWidth);
        } else if (id == kColEvent) {
            widths.push_back(c - others);
        } else if (IsColumnId(id)) {
            widths.push_back(c);
        } else {
            widths.push_back(0);
        }
    }
    return widths;
}

void WindowLayout::ResetColumnsToDefault() {
    columnIds.clear();
    columnWidths.clear();
    for (int id = 0; id < kColumnIdCount; ++id) {
        columnIds.push_back(id);
        columnWidths.push_back(DefaultColumnWidth(id, mainRect.Width()));
    }
}

namespace {

void ResetToDefaults(WindowLayout& l) {
    l.mainRect = WindowLayout::kDefaultMainRect;
    l.maximised = false;
    l.minimised = false;
    l.columnIds.clear();
    l.columnWidths.clear();
    l.smallWindowNames.clear();
    l.smallWindowPlacements.clear();
    l.zoneDistancePlacement = WindowPlacement{};
    l.historyWindowNumbers.clear();
    l.historyWindowPlacements.clear();
    l.mapPlacement = MapPlacement{};
    l.runMessageCount = 0;
    l.totalMessageCount = 0;
    l.lastMessageText.clear();
}

}  // namespace

void WindowLayout::LoadLayout() {
    ResetToDefaults(*this);
    std::string bytes;
    if (path_.empty() || !FileSystem::ReadWholeFile(path_, bytes)) {
        ResetColumnsToDefault();
        return;
    }
    ParseLayout(bytes);
}

void WindowLayout::ParseLayout(const std::string& bytes) {
    ResetToDefaults(*this);
    Section section = Section::None;
    bool columnsRead = false;

    static constexpr std::string_view kSmallPrefix = "[SmallDlg=";
    static constexpr std::string_view kHistoryPrefix = "[HistoryDlg=";
    // "[HistoryDlg=" + four digits + "|": the state starts at the 18th character.
    static constexpr std::size_t kHistoryStateAt = 17;

    // Text that stands outside every section (before the first header, after the value
    // of "[Count]" or "[Lastmsg]", after the end of "[Cols]") is dropped. Gluing it to the
    // next line, as a careless reader would, could turn a header into an unknown line
    // and lose a whole section; files this program writes never hold such text.
    for (const std::string& line : TextUtil::SplitLines(bytes)) {
        const std::string_view l = line;
        if (l == "[GlobalSize]") {
            section = Section::Global;
        } else if (TextUtil::StartsWith(l, kSmallPrefix)) {
            section = Section::SmallWindow;
            // The name runs up to the closing bracket, taken to be the last character.
            const std::size_t end = l.size() > kSmallPrefix.size() ? l.size() - 1 : l.size();
            smallWindowNames.emplace_back(l.substr(kSmallPrefix.size(), end - kSmallPrefix.size()));
            smallWindowPlacements.emplace_back();
        } else if (l == "[Cols]") {
            section = Section::Columns;
        } else if (l == "[AddDlgInfo]") {
            section = Section::ZoneDistance;
        } else if (l == "[Count]") {
            section = Section::Count;
        } else if (l == "[Lastmsg]") {
            section = Section::LastMessage;
        } else if (l == "[MapDlg]") {
            section = Section::Map;
            // A record without its state line stands for a closed window.
            mapPlacement = MapPlacement{};
            mapPlacement.state = -1;
        } else if (TextUtil::StartsWith(l, kHistoryPrefix)) {
            section = Section::History;
            historyWindowNumbers.emplace_back(l.substr(kHistoryPrefix.size(), 4));
            HistoryPlacement record;
            if (l.size() > kHistoryStateAt + 1) {
                record.state =
                    TextUtil::LeadingInt(l.substr(kHistoryStateAt, l.size() - 1 - kHistoryStateAt));
            }
            historyWindowPlacements.push_back(record);
        } else {
            switch (section) {
                case Section::None:
                    break;
                case Section::Global:
                    if (TextUtil::StartsWith(l, "pos=")) {
                        mainRect = RectFromFile(ParseFour(l.substr(4)));
                        // A window wholly off the screen's top-left cannot be reached.
                        if ((mainRect.left < 0 && mainRect.right < 0) ||
                            (mainRect.top < 0 && mainRect.bottom < 0)) {
                            mainRect = kDefaultMainRect;
                        }
                    } else if (TextUtil::StartsWith(l, "maxMin=")) {
                        const int32_t v = TextUtil::LeadingInt(l.substr(7));
                        maximised = v == 1 || v == 3;
                        minimised = v == 2 || v == 3;
                    }
                    break;
                case Section::SmallWindow:
                    ApplyPlacementLine(l, smallWindowPlacements.back());
                    break;
                case Section::ZoneDistance:
                    ApplyPlacementLine(l, zoneDistancePlacement);
                    break;
                case Section::History:
                    ApplyPlacementLine(l, historyWindowPlacements.back().placement);
                    break;
                case Section::Columns: {
                    const std::size_t eq = l.find('=');
                    if (eq == std::string_view::npos) {
                        section = Section::None;
                        break;
                    }
                    const int32_t id = TextUtil::LeadingInt(l.substr(0, eq));
                    // Ids outside the vocabulary are never shown; keeping them would
                    // give the list a column without meaning.
                    if (IsColumnId(id)) {
                        columnIds.push_back(id);
                        columnWidths.push_back(TextUtil::LeadingInt(l.substr(eq + 1)));
                        columnsRead = true;
                    }
                    break;
                }
                case Section::Count:
                    totalMessageCount = TextUtil::LeadingInt(l);
                    section = Section::None;
                    break;
                case Section::LastMessage:
                    lastMessageText = line;
                    section = Section::None;
                    break;
                case Section::Map:
                    if (TextUtil::StartsWith(l, "pos=")) {
                        mapPlacement.rect = RectFromFile(ParseFour(l.substr(4)));
                    } else if (TextUtil::StartsWith(l, "state=")) {
                        mapPlacement.state = TextUtil::LeadingInt(l.substr(6)) == 1 ? 1 : -1;
                    }
                    break;
            }
        }
    }
    if (!columnsRead)
        ResetColumnsToDefault();
}

std::string WindowLayout::BuildLayoutFile() const {
    std::string out = "[GlobalSize]\r\n";
    out += PosLine(mainRect);
    out += TextUtil::Format("maxMin=%i\r\n", (maximised ? 1 : 0) + 2 * (minimised ? 1 : 0));

    const std::size_t smallCount = std::min(smallWindowNames.size(), smallWindowPlacements.size());
    for (std::size_t k = 0; k < smallCount; ++k) {
        out += TextUtil::Format("[SmallDlg=%s]\r\n", smallWindowNames[k].c_str());
        out += PosLine(smallWindowPlacements[k].rect);
        out += ColsLine(smallWindowPlacements[k].widths);
    }

    const std::size_t historyCount =
        std::min(historyWindowNumbers.size(), historyWindowPlacements.size());
    for (std::size_t k = 0; k < historyCount; ++k) {
        const int32_t number = TextUtil::LeadingInt(historyWindowNumbers[k]);
        // The reader takes the number from four fixed characters and the state from a
        // fixed position after them; a longer number would corrupt both.
        if (number < 0 || number > 9999)
            continue;
        const HistoryPlacement& h = historyWindowPlacements[k];
        out += TextUtil::Format("[HistoryDlg=%04i|%i]\r\n", number, h.state);
        out += PosLine(h.placement.rect);
        out += ColsLine(h.placement.widths);
    }

    out += "[AddDlgInfo]\r\n";
    out += PosLine(zoneDistancePlacement.rect);
    out += ColsLine(zoneDistancePlacement.widths);

    out += "[Cols]\r\n";
    const std::size_t columnCount = std::min(columnIds.size(), columnWidths.size());
    for (std::size_t k = 0; k < columnCount; ++k) {
        out += TextUtil::Format("%i=%i\r\n", columnIds[k], columnWidths[k]);
    }

    out += "[Count]\r\n";
    out += TextUtil::Format("%i\r\n", totalMessageCount);
    out += "[Lastmsg]\r\n";
    out += TextUtil::Format("%s\r\n", lastMessageText.c_str());

    // The map window's section comes last, and only once the map has been opened: a
    // reader that does not know it takes nothing from it there. Before "[Lastmsg]" its
    // lines would be taken for that section's value, and inside any earlier section its
    // "pos=" line would move another window.
    if (mapPlacement.state != 0) {
        out += "[MapDlg]\r\n";
        out += PosLine(mapPlacement.rect);
        out += TextUtil::Format("state=%i\r\n", mapPlacement.state == 1 ? 1 : -1);
    }
    return out;
}

bool WindowLayout::SaveLayout() const {
    if (path_.empty())
        return false;
    return FileSystem::WriteFileAtomically(path_, BuildLayoutFile());
}

int WindowLayout::FindHistoryRecord(int32_t objectNumber) const {
    for (std::size_t k = 0; k < historyWindowNumbers.size(); ++k) {
        if (TextUtil::LeadingInt(historyWindowNumbers[k]) == objectNumber) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

int WindowLayout::ColumnPosition(int id) const {
    for (std::size_t k = 0; k < columnIds.size(); ++k) {
        if (columnIds[k] == id)
            return static_cast<int>(k);
    }
    return -1;
}
