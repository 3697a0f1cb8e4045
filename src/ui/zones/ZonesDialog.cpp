#include "zones/ZonesDialog.h"

#include <QResizeEvent>
#include <string>
#include <vector>

#include "app/Icons.h"
#include "app/QtText.h"
#include "base/TextUtil.h"
#include "console/Console.h"
#include "console/ConsoleQueries.h"
#include "objectlist/ObjectListCtrl.h"

namespace {

constexpr int kDefaultWidth = 600;
constexpr int kDefaultHeight = 320;

struct ZoneRow {
    std::string name;
    std::string area;
    std::string radius;
    std::string latitude;
    std::string longitude;
};

}  // namespace

CZonesDialog::CZonesDialog(CConsole& console, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Контрольные районы"));
    setWindowIcon(Icons::AppIcon());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    list_ = new CObjectListCtrl(this);
    list_->setObjectName(QStringLiteral("zoneList"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    resize(kDefaultWidth, kDefaultHeight);
    list_->setGeometry(0, 0, kDefaultWidth, kDefaultHeight);

    const int a = list_->width() / 5;
    list_->InsertColumn(QStringLiteral("Район"), a + 50);
    list_->InsertColumn(QStringLiteral("Площадь, кв. км"), a - 5);
    list_->InsertColumn(QStringLiteral("Радиус, м"), a - 25);
    list_->InsertColumn(QStringLiteral("Широта"), a - 25);
    list_->InsertColumn(QStringLiteral("Долгота"), a - 25);

    std::vector<ZoneRow> rows;
    {
        for (const ZoneRecord& z : CConsoleQueries(console).Zones()) {
            ZoneRow row;
            row.name = z.name;
            row.area = TextUtil::Format("%.02f", z.areaSquareMetres * 1e-6);
            row.radius = z.radiusMetres == 0 ? "-" : TextUtil::Format("%i", z.radiusMetres);
            row.latitude = TextUtil::Format("%f", z.latitude);
            row.longitude = TextUtil::Format("%f", z.longitude);
            rows.push_back(std::move(row));
        }
    }
    list_->BeginUpdate();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int r = list_->InsertRow(static_cast<int>(i));
        list_->SetCellText(r, 0, FromCp(rows[i].name));
        list_->SetCellText(r, 1, FromCp(rows[i].area));
        list_->SetCellText(r, 2, FromCp(rows[i].radius));
        list_->SetCellText(r, 3, FromCp(rows[i].latitude));
        list_->SetCellText(r, 4, FromCp(rows[i].longitude));
    }
    list_->EndUpdate();
    // Zone names can be longer than their column.
    CObjectListCtrl* list = list_;
    list_->SetTooltipProvider([list](int row) { return list->CellText(row, 0); });

    connect(list_, &QAbstractItemView::doubleClicked, this, [this] { OpenSelectedZone(); });
    initialised_ = true;
}

void CZonesDialog::OpenSelectedZone() {
    const std::vector<int> selected = list_->SelectedRows();
    if (selected.empty()) {
        return;
    }
    emit openDistanceWindow(selected.front());
}

void CZonesDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (initialised_) {
        list_->setGeometry(0, 0, event->size().width(), event->size().height());
    }
}
