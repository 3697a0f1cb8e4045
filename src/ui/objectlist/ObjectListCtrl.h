#pragma once

#include <QIcon>
#include <QList>
#include <QTableView>
#include <functional>
#include <vector>

#include "objectlist/CellStyle.h"

class CObjectListModel;
class CCellDelegate;

// The report-style list of the main window, the history windows and the distance
// windows: rows and columns addressed by position, per-cell images, and colours and font
// styles per cell, row and column. It knows nothing of objects; whoever fills it decides
// texts, icons and styles.
class CObjectListCtrl : public QTableView {
    Q_OBJECT
public:
    explicit CObjectListCtrl(QWidget* parent = nullptr);

    CObjectListModel* Model() const { return model_; }
    CCellDelegate* Delegate() const { return delegate_; }

    // Rows.
    int InsertRow(int position);
    bool DeleteRow(int row);
    void DeleteAllRows();
    int RowCount() const;

    // Columns: appended at the end; the first one can be removed (rebuilding deletes the
    // first column until none is left).
    int InsertColumn(const QString& header, int width);
    bool DeleteColumn(int column);
    void DeleteAllColumns();
    int ColumnCount() const;
    int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    std::vector<int> ColumnWidths() const;

    // Cells.
    void SetCellText(int row, int column, const QString& text);
    void SetCellImage(int row, int column, int image);
    void SetCell(int row, int column, const QString& text, int image);
    QString CellText(int row, int column) const;
    int CellImage(int row, int column) const;

    // Styles; colours are 0xRRGGBB. With `redraw` the row is repainted at once, otherwise
    // together with the other changes when control returns to the event loop.
    void SetCellTextColour(int row, int column, uint32_t colour, bool redraw = false);
    void SetCellBackColour(int row, int column, uint32_t colour, bool redraw = false);
    void SetCellStyle(int row, int column, uint32_t flags, bool redraw = false);
    void SetRowTextColour(int row, uint32_t colour, bool redraw = false);
    void SetRowBackColour(int row, uint32_t colour, bool redraw = false);
    void SetRowStyle(int row, uint32_t flags, bool redraw = false);
    void SetColumnTextColour(int column, uint32_t colour);
    void SetColumnBackColour(int column, uint32_t colour);
    void SetColumnStyle(int column, uint32_t flags);
    void SetSelectionTextColour(uint32_t colour);
    void SetSelectionBackColour(uint32_t colour);
    CellStyle GetCellStyle(int row, int column) const;
    CellStyle GetRowStyle(int row) const;
    // Colours and font an unselected cell is painted with.
    ResolvedCellStyle PaintStyle(int row, int column) const;

    // Images shown by index (the main list's thirteen icons, for instance).
    void SetImageList(const QList<QIcon>& icons);
    // Tooltip text of a row; empty for none.
    void SetTooltipProvider(std::function<QString(int row)> provider);

    // Selected rows in ascending order.
    std::vector<int> SelectedRows() const;
    void SelectRow(int row, bool selected = true);
    void ClearSelection();

    // Groups many changes into one repaint (nestable).
    void BeginUpdate();
    void EndUpdate();
    // Announces the pending changes to the view now.
    void FlushChanges();

signals:
    // The operator changed a column's width.
    void columnLayoutChanged();
    // A click on the header of the column at `position`.
    void headerClicked(int position);

protected:
    void changeEvent(QEvent* event) override;

private:
    void OnSectionResized(int logicalIndex, int oldSize, int newSize);
    CellStyle CellStyleAt(int row, int column) const;
    void StoreCellStyle(int row, int column, const CellStyle& style, bool redraw);
    void StoreRowStyle(int row, const CellStyle& style, bool redraw);

    CObjectListModel* model_;
    CCellDelegate* delegate_;
    int programmaticResize_ = 0;
};
