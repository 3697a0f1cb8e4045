#include "alerts/HistoryDialog.h"

#include <QMenu>
#include <algorithm>

#include "app/QtText.h"
#include "base/Cp1251.h"
#include "base/TextUtil.h"
#include "console/ConsoleQueries.h"
#include "objectlist/ObjectListCtrl.h"

namespace {

constexpr int kDefaultWidth = 720;
constexpr int kDefaultHeight = 260;

}  // namespace

CHistoryDialog::CHistoryDialog(CConsole& console, int objectIndex,
                               const std::array<int32_t, 4>& widths, QWidget* owner)
    : CListWindow(QStringLiteral("historyList"), kDefaultWidth, kDefaultHeight, owner),
      console_(console) {
    CObjectListCtrl* list = List();
    const bool stored = std::any_of(widths.begin(), widths.end(), [](int32_t w) { return w != 0; });
    const int l = list->width();
    const std::array<int32_t, 4> defaults = {l * 4 / 10 - 33, l * 2 / 10 + 5, l * 2 / 10 + 5,
                                             l * 2 / 10 + 5};
    const std::array<int32_t, 4>& used = stored ? widths : defaults;
    list->InsertColumn(QStringLiteral("Район"), used[0]);
    list->InsertColumn(QStringLiteral("Время прибытия"), used[1]);
    list->InsertColumn(stored ? QStringLiteral("Время отбытия") : QStringLiteral("Время убытия"),
                       used[2]);
    list->InsertColumn(QStringLiteral("Время нахождения"), used[3]);

    std::string title;
    if (auto copy = CConsoleQueries(console_).HistoryAt(objectIndex)) {
        objectNumber_ = copy->number;
        history_ = std::move(copy->history);
        title = std::move(copy->title);
    }
    setWindowTitle(QStringLiteral("История (%1)").arg(FromCp(title)));
    openVisit_ = 0;
    WriteRows();

    connect(list, &CObjectListCtrl::headerClicked, this, &CHistoryDialog::ColumnClicked);
    menu_ = new QMenu(this);
    connect(menu_->addAction(QStringLiteral("Экспорт в CSV...")), &QAction::triggered, this,
            [this] { emit exportRequested(objectNumber_); });
    connect(list, &CObjectListCtrl::customContextMenuRequested, this,
            [this, list](const QPoint& pos) { menu_->popup(list->viewport()->mapToGlobal(pos)); });
    FinishSetUp();
}

bool CHistoryDialog::CopyHistory(std::string* title) {
    auto copy = CConsoleQueries(console_).HistoryOf(objectNumber_);
    if (!copy) {
        return false;
    }
    history_ = std::move(copy->history);
    if (title != nullptr) {
        *title = std::move(copy->title);
    }
    return true;
}

void CHistoryDialog::Refresh() {
    // An object gone from the store (another address book) keeps the visits last seen.
    if (!CopyHistory(nullptr)) {
        return;
    }
    openVisit_ = 0;
    Sort();
    WriteRows();
}

void CHistoryDialog::ColumnClicked(int column) {
    SortKey key;
    switch (column) {
        case 0:
            key = kByZone;
            break;
        case 1:
        case 2:
            key = kByArrival;
            break;
        case 3:
            key = kByDuration;
            break;
        default:
            return;
    }
    if (key == key_) {
        descending_ = !descending_;
    } else {
        key_ = key;
        descending_ = true;
    }
    Sort();
    WriteRows();
}

bool CHistoryDialog::OutOfOrder(int i, int j) const {
    // Ascending: j belongs before i when its key is smaller.
    int order = 0;  // sign of key(j) - key(i)
    switch (key_) {
        case kByZone:
            order = Cp1251::Compare(history_.ZoneName(j), history_.ZoneName(i));
            break;
        case kByArrival: {
            const DateTime a = history_.ArrivalTime(i);
            const DateTime b = history_.ArrivalTime(j);
            order = b < a ? -1 : (a < b ? 1 : 0);
            break;
        }
        case kByDuration: {
            const double a = history_.Duration(i);
            const double b = history_.Duration(j);
            order = b < a ? -1 : (a < b ? 1 : 0);
            break;
        }
    }
    return descending_ ? order > 0 : order < 0;
}

void CHistoryDialog::Sort() {
    const int n = history_.visitCount;
    for (int i = 0; i < n; ++i) {
        for (int j = i; j < n; ++j) {
            if (!OutOfOrder(i, j)) {
                continue;
            }
            history_.SwapVisits(i, j);
            if (openVisit_ == i) {
                openVisit_ = j;
            } else if (openVisit_ == j) {
                openVisit_ = i;
            }
        }
    }
}

std::string CHistoryDialog::DurationText(const VisitHistory& history, int i) {
    if (!history.HasEnded(i)) {
        return "---";
    }
    const SpanFields span = SplitSpan(history.Duration(i));
    if (span.days == 0) {
        return TextUtil::Format("%02d:%02d:%02d", span.hours, span.minutes, span.seconds);
    }
    return TextUtil::Format(">%lld ", span.days * 24 + span.hours) + W("час.");
}

void CHistoryDialog::WriteRows() {
    const int n = std::max(0, history_.visitCount);
    CObjectListCtrl* list = List();
    list->BeginUpdate();
    while (list->RowCount() > n) {
        list->DeleteRow(list->RowCount() - 1);
    }
    while (list->RowCount() < n) {
        list->InsertRow(list->RowCount());
    }
    for (int r = 0; r < n; ++r) {
        list->SetCellText(r, 0, FromCp(history_.ZoneName(r)));
        list->SetCellText(r, 1, FromCp(FormatLocaleDateTime(history_.ArrivalTimeShown(r))));
        if (r == openVisit_ && history_.lastVisitClosed == 0) {
            // Still in that zone: no departure yet, whatever the stored value says.
            list->SetCellText(r, 2, QStringLiteral("---"));
            list->SetCellText(r, 3, QStringLiteral("---"));
        } else {
            list->SetCellText(r, 2, FromCp(FormatLocaleDateTime(history_.DepartureTimeShown(r))));
            list->SetCellText(r, 3, FromCp(DurationText(history_, r)));
        }
    }
    list->EndUpdate();
}

void CHistoryDialog::EmitClosing() {
    emit closing(this);
}

void CHistoryDialog::EmitLayoutReport(const WindowPlacement& placement) {
    emit layoutReport(objectNumber_, placement);
}
