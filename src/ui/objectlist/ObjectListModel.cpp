#include "objectlist/ObjectListModel.h"

#include <QColor>

#include <algorithm>

namespace {

QColor ToColor(uint32_t rgb) {
    return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>(rgb & 0xFF));
}

FontAttributes AttributesOf(const QFont& font) {
    FontAttributes attributes;
    attributes.bold = font.weight() >= QFont::Bold;
    attributes.italic = font.italic();
    attributes.underline = font.underline();
    attributes.strikeOut = font.strikeOut();
    return attributes;
}

}  // namespace

CObjectListModel::CObjectListModel(QObject* parent) : QAbstractTableModel(parent) {
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(0);
    connect(&flushTimer_, &QTimer::timeout, this, &CObjectListModel::FlushChanges);
    listFontAttributes_ = AttributesOf(listFont_);
}

int CObjectListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int CObjectListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant CObjectListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !ValidCell(index.row(), index.column())) {
        return {};
    }
    const Cell& cell =
        rows_[static_cast<size_t>(index.row())].cells[static_cast<size_t>(index.column())];
    switch (role) {
        case Qt::DisplayRole:
            return cell.text;
        case Qt::DecorationRole:
            if (cell.image >= 0 && cell.image < icons_.size()) {
                return icons_[cell.image];
            }
            return {};
        case Qt::ForegroundRole:
            return ToColor(ResolvedStyle(index.row(), index.column()).textColour);
        case Qt::BackgroundRole:
            return ToColor(ResolvedStyle(index.row(), index.column()).backColour);
        case Qt::FontRole: {
            const ResolvedCellStyle style = ResolvedStyle(index.row(), index.column());
            if (!style.ownFont || style.font == listFontAttributes_) {
                return {};
            }
            return FontFor(style.font);
        }
        case Qt::ToolTipRole:
            if (tooltip_) {
                const QString tip = tooltip_(index.row());
                if (!tip.isEmpty()) {
                    return tip;
                }
            }
            return {};
        default:
            return {};
    }
}

QVariant CObjectListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < static_cast<int>(columns_.size())) {
        return columns_[static_cast<size_t>(section)].header;
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

int CObjectListModel::InsertRow(int position) {
    FlushChanges();
    const int count = static_cast<int>(rows_.size());
    if (position < 0 || position > count) {
        position = count;
    }
    beginInsertRows(QModelIndex(), position, position);
    Row row;
    row.cells.resize(columns_.size());
    rows_.insert(rows_.begin() + position, std::move(row));
    endInsertRows();
    return position;
}

bool CObjectListModel::DeleteRow(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        return false;
    }
    FlushChanges();
    beginRemoveRows(QModelIndex(), row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
    return true;
}

void CObjectListModel::DeleteAllRows() {
    dirtyFirst_ = dirtyLast_ = -1;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

int CObjectListModel::InsertColumn(const QString& header) {
    FlushChanges();
    const int position = static_cast<int>(columns_.size());
    beginInsertColumns(QModelIndex(), position, position);
    columns_.push_back(Column{header, CellStyle{}});
    for (Row& row : rows_) {
        row.cells.emplace_back();
    }
    endInsertColumns();
    return position;
}

bool CObjectListModel::DeleteColumn(int column) {
    if (column < 0 || column >= static_cast<int>(columns_.size())) {
        return false;
    }
    FlushChanges();
    beginRemoveColumns(QModelIndex(), column, column);
    columns_.erase(columns_.begin() + column);
    for (Row& row : rows_) {
        row.cells.erase(row.cells.begin() + column);
    }
    endRemoveColumns();
    return true;
}

void CObjectListModel::DeleteAllColumns() {
    dirtyFirst_ = dirtyLast_ = -1;
    beginResetModel();
    columns_.clear();
    for (Row& row : rows_) {
        row.cells.clear();
    }
    endResetModel();
}

QString CObjectListModel::ColumnHeader(int column) const {
    if (column < 0 || column >= static_cast<int>(columns_.size())) {
        return {};
    }
    return columns_[static_cast<size_t>(column)].header;
}

bool CObjectListModel::ValidCell(int row, int column) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) && column >= 0 &&
           column < static_cast<int>(columns_.size());
}

void CObjectListModel::SetCellText(int row, int column, const QString& text) {
    if (!ValidCell(row, column)) {
        return;
    }
    QString& current = rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(column)].text;
    if (current != text) {
        current = text;
        MarkDirty(row);
    }
}

void CObjectListModel::SetCellImage(int row, int column, int image) {
    if (!ValidCell(row, column)) {
        return;
    }
    int& current = rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(column)].image;
    if (current != image) {
        current = image;
        MarkDirty(row);
    }
}

void CObjectListModel::SetCell(int row, int column, const QString& text, int image) {
    SetCellText(row, column, text);
    SetCellImage(row, column, image);
}

QString CObjectListModel::CellText(int row, int column) const {
    if (!ValidCell(row, column)) {
        return {};
    }
    return rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(column)].text;
}

int CObjectListModel::CellImage(int row, int column) const {
    if (!ValidCell(row, column)) {
        return -1;
    }
    return rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(column)].image;
}

void CObjectListModel::SetCellStyle(int row, int column, const CellStyle& style) {
    if (!ValidCell(row, column)) {
        return;
    }
    CellStyle& current = rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(column)].style;
    if (current != style) {
        current = style;
        MarkDirty(row);
    }
}

void CObjectListModel::SetRowStyle(int row, const CellStyle& style) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        return;
    }
    CellStyle& current = rows_[static_cast<size_t>(row)].style;
    if (current != style) {
        current = style;
        MarkDirty(row);
    }
}

void CObjectListModel::SetColumnStyle(int column, const CellStyle& style) {
    if (column < 0 || column >= static_cast<int>(columns_.size())) {
        return;
    }
    CellStyle& current = columns_[static_cast<size_t>(column)].style;
    if (current != style) {
        current = style;
        if (!rows_.empty()) {
            MarkDirty(0);
            MarkDirty(static_cast<int>(rows_.size()) - 1);
        }
    }
}

CellStyle CObjectListModel::GetCellStyle(int row, int column) const {
    if (!ValidCell(row, column)) {
        return {};
    }
    return rows_[static_cast<size_t>(row)].cells[static_cast<size_t>(column)].style;
}

CellStyle CObjectListModel::GetRowStyle(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        return {};
    }
    return rows_[static_cast<size_t>(row)].style;
}

CellStyle CObjectListModel::GetColumnStyle(int column) const {
    if (column < 0 || column >= static_cast<int>(columns_.size())) {
        return {};
    }
    return columns_[static_cast<size_t>(column)].style;
}

ResolvedCellStyle CObjectListModel::ResolvedStyle(int row, int column) const {
    if (!ValidCell(row, column)) {
        ResolvedCellStyle plain;
        plain.textColour = listText_;
        plain.backColour = listBack_;
        plain.font = listFontAttributes_;
        return plain;
    }
    const Row& r = rows_[static_cast<size_t>(row)];
    return ResolveCellStyle(r.cells[static_cast<size_t>(column)].style, r.style,
                            &columns_[static_cast<size_t>(column)].style, listText_, listBack_,
                            listFontAttributes_);
}

void CObjectListModel::SetListColours(uint32_t text, uint32_t back) {
    listText_ = text;
    listBack_ = back;
    if (!rows_.empty()) {
        MarkDirty(0);
        MarkDirty(static_cast<int>(rows_.size()) - 1);
    }
}

void CObjectListModel::SetListFont(const QFont& font) {
    listFont_ = font;
    listFontAttributes_ = AttributesOf(font);
}

void CObjectListModel::SetImageList(const QList<QIcon>& icons) {
    icons_ = icons;
}

void CObjectListModel::SetTooltipProvider(std::function<QString(int)> provider) {
    tooltip_ = std::move(provider);
}

QFont CObjectListModel::FontFor(const FontAttributes& attributes) const {
    QFont font = listFont_;
    font.setWeight(attributes.bold ? QFont::Bold : QFont::Normal);
    font.setItalic(attributes.italic);
    font.setUnderline(attributes.underline);
    font.setStrikeOut(attributes.strikeOut);
    return font;
}

void CObjectListModel::MarkDirty(int row) {
    if (dirtyFirst_ < 0) {
        dirtyFirst_ = dirtyLast_ = row;
    } else {
        dirtyFirst_ = std::min(dirtyFirst_, row);
        dirtyLast_ = std::max(dirtyLast_, row);
    }
    if (updateDepth_ == 0 && !flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void CObjectListModel::FlushChanges() {
    flushTimer_.stop();
    if (dirtyFirst_ < 0) {
        return;
    }
    const int last = std::min(dirtyLast_, static_cast<int>(rows_.size()) - 1);
    const int first = dirtyFirst_;
    dirtyFirst_ = dirtyLast_ = -1;
    if (first > last || columns_.empty()) {
        return;
    }
    emit dataChanged(index(first, 0), index(last, static_cast<int>(columns_.size()) - 1));
}

void CObjectListModel::BeginUpdate() {
    ++updateDepth_;
}

void CObjectListModel::EndUpdate() {
    if (updateDepth_ > 0 && --updateDepth_ == 0) {
        FlushChanges();
    }
}
