#pragma once

#include <QAbstractTableModel>
#include <QFont>
#include <QIcon>
#include <QList>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

#include "objectlist/CellStyle.h"

// The table behind CObjectListCtrl: rows and columns by position, each cell with a text,
// an image index and a style, each row and column with a style. It only translates what
// it was given into Qt's roles; the rules that decide texts and colours live elsewhere.
//
// Changes are cheap: a setter only marks its row dirty, and the dirty rows are announced
// as one block when control returns to the event loop (or at once by FlushChanges), so
// rewriting every cell of thousands of rows costs one dataChanged, not one per cell.
class CObjectListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CObjectListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Rows. InsertRow clamps the position and returns where the row went.
    int InsertRow(int position);
    bool DeleteRow(int row);
    void DeleteAllRows();

    // Columns.
    int InsertColumn(const QString& header);
    bool DeleteColumn(int column);
    void DeleteAllColumns();
    QString ColumnHeader(int column) const;

    // Cells; out-of-range positions are ignored.
    void SetCellText(int row, int column, const QString& text);
    void SetCellImage(int row, int column, int image);
    void SetCell(int row, int column, const QString& text, int image);
    QString CellText(int row, int column) const;
    int CellImage(int row, int column) const;  // -1 when none

    // Styles.
    void SetCellStyle(int row, int column, const CellStyle& style);
    void SetRowStyle(int row, const CellStyle& style);
    void SetColumnStyle(int column, const CellStyle& style);
    CellStyle GetCellStyle(int row, int column) const;
    CellStyle GetRowStyle(int row) const;
    CellStyle GetColumnStyle(int column) const;
    // What an unselected cell is painted with.
    ResolvedCellStyle ResolvedStyle(int row, int column) const;

    void SetListColours(uint32_t text, uint32_t back);
    void SetListFont(const QFont& font);
    void SetImageList(const QList<QIcon>& icons);
    void SetTooltipProvider(std::function<QString(int row)> provider);

    // Announces the pending changes now.
    void FlushChanges();
    // Suppresses the automatic announcement until EndUpdate (nestable).
    void BeginUpdate();
    void EndUpdate();

private:
    struct Cell {
        QString text;
        int image = -1;
        CellStyle style;
    };
    struct Row {
        std::vector<Cell> cells;
        CellStyle style;
    };
    struct Column {
        QString header;
        CellStyle style;
    };

    bool ValidCell(int row, int column) const;
    void MarkDirty(int row);
    QFont FontFor(const FontAttributes& attributes) const;

    std::vector<Row> rows_;
    std::vector<Column> columns_;
    uint32_t listText_ = 0x000000;
    uint32_t listBack_ = 0xFFFFFF;
    QFont listFont_;
    FontAttributes listFontAttributes_;
    QList<QIcon> icons_;
    std::function<QString(int)> tooltip_;

    int dirtyFirst_ = -1;
    int dirtyLast_ = -1;
    int updateDepth_ = 0;
    QTimer flushTimer_;
};
