#include "objectlist/ObjectListCtrl.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>

#include "objectlist/CellDelegate.h"
#include "objectlist/ObjectListModel.h"

namespace {

QColor ToColor(uint32_t rgb) {
    return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>(rgb & 0xFF));
}

}  // namespace

CObjectListCtrl::CObjectListCtrl(QWidget* parent)
    : QTableView(parent), model_(new CObjectListModel(this)), delegate_(new CCellDelegate(this)) {
    setModel(model_);
    setItemDelegate(delegate_);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setIconSize(QSize(16, 16));
    setSortingEnabled(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(std::max(18, fontMetrics().height() + 4));

    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setMinimumSectionSize(0);
    connect(header, &QHeaderView::sectionResized, this, &CObjectListCtrl::OnSectionResized);
    connect(header, &QHeaderView::sectionClicked, this, &CObjectListCtrl::headerClicked);

    // Unstyled cells are black on white whatever the desktop theme.
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::Text, Qt::black);
    setPalette(pal);
    model_->SetListColours(0x000000, 0xFFFFFF);
    model_->SetListFont(font());
}

int CObjectListCtrl::InsertRow(int position) {
    return model_->InsertRow(position);
}
bool CObjectListCtrl::DeleteRow(int row) {
    return model_->DeleteRow(row);
}
void CObjectListCtrl::DeleteAllRows() {
    model_->DeleteAllRows();
}
int CObjectListCtrl::RowCount() const {
    return model_->rowCount();
}

int CObjectListCtrl::InsertColumn(const QString& header, int width) {
    const int position = model_->InsertColumn(header);
    SetColumnWidth(position, width);
    return position;
}

bool CObjectListCtrl::DeleteColumn(int column) {
    return model_->DeleteColumn(column);
}
void CObjectListCtrl::DeleteAllColumns() {
    model_->DeleteAllColumns();
}
int CObjectListCtrl::ColumnCount() const {
    return model_->columnCount();
}

int CObjectListCtrl::ColumnWidth(int column) const {
    if (column < 0 || column >= ColumnCount()) {
        return 0;
    }
    return horizontalHeader()->sectionSize(column);
}

void CObjectListCtrl::SetColumnWidth(int column, int width) {
    if (column < 0 || column >= ColumnCount()) {
        return;
    }
    ++programmaticResize_;
    horizontalHeader()->resizeSection(column, std::max(0, width));
    --programmaticResize_;
}

std::vector<int> CObjectListCtrl::ColumnWidths() const {
    std::vector<int> widths;
    for (int i = 0; i < ColumnCount(); ++i) {
        widths.push_back(ColumnWidth(i));
    }
    return widths;
}

void CObjectListCtrl::OnSectionResized(int, int, int) {
    if (programmaticResize_ == 0) {
        emit columnLayoutChanged();
    }
}

void CObjectListCtrl::SetCellText(int row, int column, const QString& text) {
    model_->SetCellText(row, column, text);
}
void CObjectListCtrl::SetCellImage(int row, int column, int image) {
    model_->SetCellImage(row, column, image);
}
void CObjectListCtrl::SetCell(int row, int column, const QString& text, int image) {
    model_->SetCell(row, column, text, image);
}
QString CObjectListCtrl::CellText(int row, int column) const {
    return model_->CellText(row, column);
}
int CObjectListCtrl::CellImage(int row, int column) const {
    return model_->CellImage(row, column);
}

CellStyle CObjectListCtrl::CellStyleAt(int row, int column) const {
    return model_->GetCellStyle(row, column);
}

void CObjectListCtrl::StoreCellStyle(int row, int column, const CellStyle& style, bool redraw) {
    model_->SetCellStyle(row, column, style);
    if (redraw) {
        model_->FlushChanges();
    }
}

void CObjectListCtrl::StoreRowStyle(int row, const CellStyle& style, bool redraw) {
    model_->SetRowStyle(row, style);
    if (redraw) {
        model_->FlushChanges();
    }
}

void CObjectListCtrl::SetCellTextColour(int row, int column, uint32_t colour, bool redraw) {
    CellStyle style = CellStyleAt(row, column);
    style.textColour = colour & 0xFFFFFF;
    StoreCellStyle(row, column, style, redraw);
}

void CObjectListCtrl::SetCellBackColour(int row, int column, uint32_t colour, bool redraw) {
    CellStyle style = CellStyleAt(row, column);
    style.backColour = colour & 0xFFFFFF;
    StoreCellStyle(row, column, style, redraw);
}

void CObjectListCtrl::SetCellStyle(int row, int column, uint32_t flags, bool redraw) {
    CellStyle style = CellStyleAt(row, column);
    style.flags = flags;
    StoreCellStyle(row, column, style, redraw);
}

void CObjectListCtrl::SetRowTextColour(int row, uint32_t colour, bool redraw) {
    CellStyle style = model_->GetRowStyle(row);
    style.textColour = colour & 0xFFFFFF;
    StoreRowStyle(row, style, redraw);
}

void CObjectListCtrl::SetRowBackColour(int row, uint32_t colour, bool redraw) {
    CellStyle style = model_->GetRowStyle(row);
    style.backColour = colour & 0xFFFFFF;
    StoreRowStyle(row, style, redraw);
}

void CObjectListCtrl::SetRowStyle(int row, uint32_t flags, bool redraw) {
    CellStyle style = model_->GetRowStyle(row);
    style.flags = flags;
    StoreRowStyle(row, style, redraw);
}

void CObjectListCtrl::SetColumnTextColour(int column, uint32_t colour) {
    CellStyle style = model_->GetColumnStyle(column);
    style.textColour = colour & 0xFFFFFF;
    model_->SetColumnStyle(column, style);
}

void CObjectListCtrl::SetColumnBackColour(int column, uint32_t colour) {
    CellStyle style = model_->GetColumnStyle(column);
    style.backColour = colour & 0xFFFFFF;
    model_->SetColumnStyle(column, style);
}

void CObjectListCtrl::SetColumnStyle(int column, uint32_t flags) {
    CellStyle style = model_->GetColumnStyle(column);
    style.flags = flags;
    model_->SetColumnStyle(column, style);
}

void CObjectListCtrl::SetSelectionTextColour(uint32_t colour) {
    delegate_->SetSelectionColours(ToColor(colour), delegate_->SelectionBackColour());
    viewport()->update();
}

void CObjectListCtrl::SetSelectionBackColour(uint32_t colour) {
    delegate_->SetSelectionColours(delegate_->SelectionTextColour(), ToColor(colour));
    viewport()->update();
}

CellStyle CObjectListCtrl::GetCellStyle(int row, int column) const {
    return model_->GetCellStyle(row, column);
}

CellStyle CObjectListCtrl::GetRowStyle(int row) const {
    return model_->GetRowStyle(row);
}

ResolvedCellStyle CObjectListCtrl::PaintStyle(int row, int column) const {
    return model_->ResolvedStyle(row, column);
}

void CObjectListCtrl::SetImageList(const QList<QIcon>& icons) {
    model_->SetImageList(icons);
    viewport()->update();
}

void CObjectListCtrl::SetTooltipProvider(std::function<QString(int)> provider) {
    model_->SetTooltipProvider(std::move(provider));
}

std::vector<int> CObjectListCtrl::SelectedRows() const {
    // Taken from the ranges, not selectedRows(): a column added after the selection was
    // made is not selected, and the row must still count.
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void CObjectListCtrl::SelectRow(int row, bool selected) {
    if (row < 0 || row >= RowCount()) {
        return;
    }
    selectionModel()->select(model_->index(row, 0), (selected ? QItemSelectionModel::Select
                                                              : QItemSelectionModel::Deselect) |
                                                        QItemSelectionModel::Rows);
}

void CObjectListCtrl::ClearSelection() {
    selectionModel()->clearSelection();
}

void CObjectListCtrl::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        // Cell fonts are derived from the list's own font.
        model_->SetListFont(font());
        viewport()->update();
    }
}

void CObjectListCtrl::BeginUpdate() {
    model_->BeginUpdate();
}
void CObjectListCtrl::EndUpdate() {
    model_->EndUpdate();
}
void CObjectListCtrl::FlushChanges() {
    model_->FlushChanges();
}
