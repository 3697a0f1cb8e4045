#pragma once

#include <QColor>
#include <QStyledItemDelegate>

// Paints the object list's cells. A selected row is drawn in the list's own selection
// colours (white on navy by default) instead of the style's highlight, so that the
// choice does not depend on the desktop theme; every cell keeps its font.
class CCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit CCellDelegate(QObject* parent = nullptr);

    void SetSelectionColours(const QColor& text, const QColor& back);
    QColor SelectionTextColour() const { return selectionText_; }
    QColor SelectionBackColour() const { return selectionBack_; }

    // The option a cell is painted with: the model's colours and font, or for a
    // selected cell the selection colours with the model's font.
    QStyleOptionViewItem PaintOption(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QColor selectionText_{255, 255, 255};
    QColor selectionBack_{0, 0, 128};
};
