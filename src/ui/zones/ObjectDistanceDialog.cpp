#include "zones/ObjectDistanceDialog.h"

#include <QComboBox>
#include <QPushButton>
#include <QResizeEvent>
#include <algorithm>
#include <utility>

#include "app/Icons.h"
#include "app/QtText.h"
#include "base/Cp1251.h"
#include "base/ExchangeSort.h"
#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/ConsoleQueries.h"
#include "objectlist/ObjectListCtrl.h"

namespace {

constexpr int kDefaultWidth = 420;
constexpr int kDefaultHeight = 320;
constexpr int kMargin = 5;
constexpr int kRefreshMs = 1000;

}  // namespace

CObjectDistanceDialog::CObjectDistanceDialog(CConsole& console, QWidget* parent)
    : QDialog(parent), console_(console) {
    setWindowTitle(QStringLiteral("Расстояния до объектов"));
    setWindowIcon(Icons::AppIcon());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    combo_ = new QComboBox(this);
    combo_->setObjectName(QStringLiteral("objectCombo"));
    list_ = new CObjectListCtrl(this);
    list_->setObjectName(QStringLiteral("distanceList"));
    // Rows never stay selected.
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    closeButton_ = new QPushButton(QStringLiteral("Закрыть"), this);
    closeButton_->setObjectName(QStringLiteral("closeButton"));
    closeButton_->setDefault(true);
    closeButton_->resize(std::max(90, closeButton_->sizeHint().width()),
                         closeButton_->sizeHint().height());
    resize(kDefaultWidth, kDefaultHeight);
    LayOut(kDefaultWidth, kDefaultHeight);

    const int w = (list_->width() - 4) / 2;
    list_->InsertColumn(QStringLiteral("Район"), w);
    list_->InsertColumn(QStringLiteral("Расстояние"), w - 18);

    bool anyObject = false;
    entries_ = CConsoleQueries(console_).SelectedTitles(&anyObject);
    for (const std::string& entry : entries_) {
        combo_->addItem(FromCp(entry));
    }

    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, &CObjectDistanceDialog::Refresh);
    connect(combo_, &QComboBox::currentIndexChanged, this, &CObjectDistanceDialog::Fill);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(list_, &CObjectListCtrl::headerClicked, this, &CObjectDistanceDialog::ColumnClicked);

    if (anyObject && !entries_.empty()) {
        // The first item became current while the combo was filled, before the signal
        // was connected.
        combo_->setCurrentIndex(0);
        Fill();
        timer_.start();
    }
    initialised_ = true;
}

std::optional<int32_t> CObjectDistanceDialog::ChosenNumber() const {
    const int entry = combo_->currentIndex();
    if (entry < 0 || entry >= static_cast<int>(entries_.size())) {
        return std::nullopt;
    }
    // The entry begins with the object's id, whose number finds the object even after
    // the store has been re-sorted.
    return TextUtil::LeadingInt(entries_[static_cast<std::size_t>(entry)]);
}

void CObjectDistanceDialog::Fill() {
    // New rows are empty: whatever they were built from before no longer holds.
    shown_ = Shown{};
    const std::optional<int32_t> number = ChosenNumber();
    if (!number) {
        return;
    }
    const CConsoleQueries queries(console_);
    if (queries.FindObjectByNumber(*number) < 0) {
        return;
    }
    const int zoneCount = queries.ZoneCount();
    list_->BeginUpdate();
    list_->DeleteAllRows();
    for (int i = 0; i < zoneCount; ++i) {
        list_->InsertRow(i);
    }
    list_->EndUpdate();
    Refresh();
}

void CObjectDistanceDialog::Refresh() {
    const std::optional<int32_t> number = ChosenNumber();
    if (!number) {
        return;
    }
    // Once a second for as long as the dialog is open: with thousands of zones the
    // distances and their order are worth keeping while the object stands still.
    std::optional<CConsoleQueries::PositionKey> known;
    if (shown_.valid && shown_.mode == mode_) {
        known = shown_.key;
    }
    std::optional<CConsoleQueries::ZoneDistances> found =
        CConsoleQueries(console_).ObjectZoneDistances(*number, known);
    if (!found || (known && *known == found->key)) {
        return;
    }
    shown_ = Shown{true, found->key, mode_};
    const bool hasPosition = found->key.hasPosition;
    std::vector<float> distances;
    distances.reserve(found->distances.size());
    for (const std::string& text : found->distances) {
        // What the dispatcher reads is the rounded text, so that is what is sorted.
        distances.push_back(static_cast<float>(TextUtil::LeadingDouble(text)));
    }
    std::vector<std::string> names = std::move(found->zoneNames);
    ++sortCount_;
    // The order of the exchange procedure over the pairs, without its n^2 comparisons.
    std::vector<std::size_t> order;
    switch (mode_) {
        case kDistanceAscending:
            order = ExchangeSortOrder(distances, [](float a, float b) { return a < b; });
            break;
        case kDistanceDescending:
            order = ExchangeSortOrder(distances, [](float a, float b) { return a > b; });
            break;
        case kNameAscending:
            order = ExchangeSortOrder(names, [](const std::string& a, const std::string& b) {
                return Cp1251::Compare(a, b) < 0;
            });
            break;
        case kNameDescending:
            order = ExchangeSortOrder(names, [](const std::string& a, const std::string& b) {
                return Cp1251::Compare(a, b) > 0;
            });
            break;
        default:
            break;
    }
    const std::size_t n = distances.size();
    if (!order.empty()) {
        std::vector<float> sortedDistances;
        std::vector<std::string> sortedNames;
        sortedDistances.reserve(n);
        sortedNames.reserve(n);
        for (const std::size_t i : order) {
            sortedDistances.push_back(distances[i]);
            sortedNames.push_back(std::move(names[i]));
        }
        distances = std::move(sortedDistances);
        names = std::move(sortedNames);
    }
    distances_ = std::move(distances);
    names_ = std::move(names);

    list_->BeginUpdate();
    const int count = std::min(list_->RowCount(), static_cast<int>(n));
    for (int r = 0; r < count; ++r) {
        const auto i = static_cast<std::size_t>(r);
        list_->SetCellText(r, 0, FromCp(names_[i]));
        list_->SetCellText(
            r, 1,
            hasPosition
                ? FromCp(TextUtil::Format("%.02f ", static_cast<double>(distances_[i])) + W("км"))
                : QStringLiteral("---"));
    }
    list_->EndUpdate();
}

void CObjectDistanceDialog::ColumnClicked(int column) {
    if (column == 1) {
        mode_ = (mode_ == kDistanceAscending || mode_ == kDistanceDescending) ? -mode_
                                                                              : kDistanceAscending;
    } else if (column == 0) {
        mode_ = (mode_ == kNameAscending || mode_ == kNameDescending) ? -mode_ : kNameAscending;
    } else {
        return;
    }
    Refresh();
}

void CObjectDistanceDialog::done(int result) {
    // Closing ends the periodic refresh before anything of the dialog goes away.
    timer_.stop();
    QDialog::done(result);
}

void CObjectDistanceDialog::LayOut(int cx, int cy) {
    const int comboHeight = combo_->sizeHint().height();
    combo_->setGeometry(kMargin, kMargin, cx - 2 * kMargin, comboHeight);
    closeButton_->move(cx - closeButton_->width() - kMargin, cy - closeButton_->height() - kMargin);
    list_->setGeometry(kMargin, comboHeight + 10, cx - 2 * kMargin,
                       cy - comboHeight - closeButton_->height() - 20);
}

void CObjectDistanceDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (initialised_) {
        LayOut(event->size().width(), event->size().height());
    }
}
