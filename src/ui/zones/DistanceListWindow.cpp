#include "zones/DistanceListWindow.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <algorithm>

#include "app/QtText.h"
#include "console/Console.h"
#include "console/ConsoleQueries.h"
#include "objectlist/ObjectListCtrl.h"
#include "objectlist/ObjectListModel.h"

namespace {

// Client size of a new window; the dispatcher resizes it as he likes.
constexpr int kDefaultWidth = 460;
constexpr int kDefaultHeight = 220;

constexpr int kSortKeys[4] = {kColObject, 12, kColZone, kColSpeed};

}  // namespace

CDistanceListWindow::CDistanceListWindow(CConsole& console, int zoneIndex,
                                         const std::string& zoneName,
                                         const std::array<int32_t, 4>& widths, QWidget* owner)
    : CListWindow(QStringLiteral("distanceList"), kDefaultWidth, kDefaultHeight, owner),
      console_(console),
      zone_(zoneIndex),
      zoneName_(zoneName) {
    setSizeGripEnabled(false);
    setWindowTitle(QStringLiteral("Расстояние до: %1").arg(FromCp(zoneName)));

    List()->SetSelectionBackColour(0x000080);
    List()->SetSelectionTextColour(0xFFFFFF);
    SetUpColumns(*List(), widths);

    connect(List(), &CObjectListCtrl::headerClicked, this, &CDistanceListWindow::ColumnClicked);

    RebuildRows();
    FinishSetUp();
}

void CDistanceListWindow::RebuildRows() {
    CConsoleQueries::ZoneRows read = CConsoleQueries(console_).DistanceRowsOf(zoneName_, zone_);
    zone_ = read.zone;
    WriteRows(*List(), read.rows, true);
}

void CDistanceListWindow::RefreshRows() {
    CConsoleQueries::ZoneRows read = CConsoleQueries(console_).DistanceRowsOf(zoneName_, zone_);
    zone_ = read.zone;
    WriteRows(*List(), read.rows, false);
}

void CDistanceListWindow::EmitClosing() {
    emit closing(this);
}

void CDistanceListWindow::EmitLayoutReport(const WindowPlacement& placement) {
    emit layoutReport(this, placement);
}

void CDistanceListWindow::ColumnClicked(int column) {
    const int key = SortKeyOfColumn(column);
    if (key < 0) {
        return;
    }
    emit sortRequested(key, zone_);
}

// ---- shared rules ----

void CDistanceListWindow::SetUpColumns(CObjectListCtrl& list,
                                       const std::array<int32_t, 4>& widths) {
    list.DeleteAllColumns();
    const bool stored = std::any_of(widths.begin(), widths.end(), [](int32_t w) { return w != 0; });
    const QString headers[4] = {QStringLiteral("Объект"), QStringLiteral("Расстояние"),
                                QStringLiteral("Район"), QStringLiteral("Скорость")};
    // "Расстояние" 75 and "Скорость" 65 pixels, or as wide as their headers need where
    // the font is wider. The two name columns share what these leave of the list's
    // inside; the vertical scroll bar is counted in whether it shows yet or not, since a
    // list that grows past its height would otherwise hide "Скорость" behind it.
    const QFontMetrics metrics(list.horizontalHeader()->font());
    // At least four pixels of air on either side of a header's text.
    const int margins =
        2 * std::max(4, list.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &list));
    const int distance = std::max(75, metrics.horizontalAdvance(headers[1]) + margins);
    const int speed = std::max(65, metrics.horizontalAdvance(headers[3]) + margins);
    const int inside = list.width() - 2 * list.frameWidth() -
                       list.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &list);
    const int c = (inside - distance - speed) / 2;
    const std::array<int, 4> defaults = {c, distance, c - 1, speed};
    for (std::size_t i = 0; i < 4; ++i) {
        list.InsertColumn(headers[i], stored ? widths[i] : defaults[i]);
    }
}

std::vector<CDistanceListWindow::Row> CDistanceListWindow::ReadRows(CConsole& console, int zone) {
    return CConsoleQueries(console).DistanceRows(zone);
}

int CDistanceListWindow::ResolveZone(CConsole& console, const std::string& name, int hint) {
    return CConsoleQueries(console).ResolveZone(name, hint);
}

void CDistanceListWindow::WriteRows(CObjectListCtrl& list, const std::vector<Row>& rows,
                                    bool rebuild) {
    list.BeginUpdate();
    if (rebuild) {
        list.DeleteAllRows();
        for (std::size_t r = 0; r < rows.size(); ++r) {
            list.InsertRow(static_cast<int>(r));
        }
    }
    CObjectListModel* model = list.Model();
    const int count = std::min(list.RowCount(), static_cast<int>(rows.size()));
    for (int r = 0; r < count; ++r) {
        const Row& row = rows[static_cast<std::size_t>(r)];
        list.SetCellText(r, 0, FromCp(row.title));
        list.SetCellText(r, 1, FromCp(row.distance));
        list.SetCellText(r, 2, FromCp(row.zoneName));
        list.SetCellText(r, 3, FromCp(row.speed));
        CellStyle style;
        style.flags = row.inZone ? kInZoneFlags : kPlainFlags;
        style.backColour = (row.state & kRowSilent) != 0 ? kSilentBack : 0xFFFFFF;
        style.textColour = (row.state & kRowStaleStamp) != 0 ? kStaleText : 0x000000;
        for (int c = 0; c < 4; ++c) {
            model->SetCellStyle(r, c, style);
        }
    }
    list.EndUpdate();
}

int CDistanceListWindow::SortKeyOfColumn(int column) {
    if (column < 0 || column >= 4) {
        return -1;
    }
    return kSortKeys[column];
}
