#include "objectlist/CellDelegate.h"

#include <QApplication>
#include <QPainter>

CCellDelegate::CCellDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void CCellDelegate::SetSelectionColours(const QColor& text, const QColor& back) {
    selectionText_ = text;
    selectionBack_ = back;
}

QStyleOptionViewItem CCellDelegate::PaintOption(const QStyleOptionViewItem& option,
                                                const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    // A full-row selection needs no per-cell focus frame.
    opt.state &= ~QStyle::State_HasFocus;
    if (opt.state & QStyle::State_Selected) {
        // Painted as an ordinary cell in the selection colours: the style's own highlight
        // would ignore them.
        opt.state &= ~QStyle::State_Selected;
        opt.backgroundBrush = QBrush(selectionBack_);
        opt.palette.setColor(QPalette::Text, selectionText_);
        opt.palette.setColor(QPalette::WindowText, selectionText_);
    }
    return opt;
}

void CCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    const QStyleOptionViewItem opt = PaintOption(option, index);
    const QWidget* widget = opt.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}
