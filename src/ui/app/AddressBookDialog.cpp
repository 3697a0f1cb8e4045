#include "app/AddressBookDialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "alerts/ObjectSettingsDialog.h"
#include "app/Icons.h"
#include "app/ModalScope.h"
#include "app/QtText.h"
#include "model/ObjectSettingsEdit.h"

namespace {

enum Column { kStateColumn = 0, kNumberColumn = 1, kNameColumn = 2, kAlarmColumn = 3 };

// The state column is only 18 pixels wide: the icon is drawn centred in the cell,
// without the margins a standard item keeps around its decoration.
class CenteredIconDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QIcon icon = opt.icon;
        opt.icon = QIcon();
        opt.features &= ~QStyleOptionViewItem::HasDecoration;
        opt.text.clear();
        QStyle* style = opt.widget != nullptr ? opt.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        QRect target(QPoint(0, 0), QSize(16, 16));
        target.moveCenter(option.rect.center());
        icon.paint(painter, target, Qt::AlignCenter);
    }
};

QTableWidgetItem* TextItem(const std::string& cp1251) {
    const QString text = FromCp(cp1251);
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(text);
    return item;
}

}  // namespace

CAddressBookDialog::CAddressBookDialog(std::vector<AddressBookEntry> entries, QWidget* parent)
    : QDialog(parent), entries_(std::move(entries)) {
    setWindowTitle(QStringLiteral("Адресная книга"));
    setWindowIcon(Icons::AppIcon());
    setSizeGripEnabled(true);
    resize(560, 400);

    list_ = new QTableWidget(this);
    list_->setObjectName(QStringLiteral("addressList"));
    list_->setColumnCount(4);
    list_->setHorizontalHeaderLabels({QString(), QStringLiteral("Номер объекта"),
                                      QStringLiteral("Имя объекта"), QStringLiteral("Тревога")});
    list_->verticalHeader()->hide();
    list_->horizontalHeader()->setMinimumSectionSize(18);
    list_->verticalHeader()->setDefaultSectionSize(std::max(18, list_->fontMetrics().height() + 4));
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setIconSize(QSize(16, 16));
    list_->setWordWrap(false);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setItemDelegateForColumn(kStateColumn, new CenteredIconDelegate(list_));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);

    menu_ = new QMenu(this);
    settingsAction_ = menu_->addAction(QStringLiteral("Настройки..."));
    settingsAction_->setObjectName(QStringLiteral("settingsAction"));
    connect(settingsAction_, &QAction::triggered, this,
            &CAddressBookDialog::EditSelectedThresholds);
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        settingsAction_->setEnabled(!SelectedRows().empty());
        menu_->popup(list_->viewport()->mapToGlobal(pos));
    });
    connect(list_, &QTableWidget::cellDoubleClicked, this, [this] { ToggleSelectedRows(); });

    FillList();
}

CAddressBookDialog::~CAddressBookDialog() = default;

void CAddressBookDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!initDone_) {
        // The widths follow the list's width, known only once the layout has run.
        initDone_ = true;
        SetColumnWidths();
    }
}

void CAddressBookDialog::SetColumnWidths() {
    if (QLayout* l = layout()) {
        l->activate();
    }
    const int w = list_->viewport()->width();
    list_->setColumnWidth(kStateColumn, 18);
    list_->setColumnWidth(kNumberColumn, w / 5 + 5);
    list_->setColumnWidth(kNameColumn, 2 * w / 5 + 17);
    list_->setColumnWidth(kAlarmColumn, w / 5 + 5);
}

void CAddressBookDialog::FillList() {
    list_->setRowCount(static_cast<int>(entries_.size()));
    for (int i = 0; i < list_->rowCount(); ++i) {
        const AddressBookEntry& entry = entries_[static_cast<std::size_t>(i)];
        auto* state = new QTableWidgetItem();
        state->setTextAlignment(Qt::AlignCenter);
        list_->setItem(i, kStateColumn, state);
        list_->setItem(i, kNumberColumn, TextItem(entry.id));
        list_->setItem(i, kNameColumn, TextItem(entry.name));
        list_->setItem(i, kAlarmColumn, TextItem(entry.alarmMark));
    }
    ShowStateIcons();
}

void CAddressBookDialog::ShowStateIcons() {
    const QIcon shown = Icons::ObjectShownIcon();
    const QIcon hidden = Icons::ObjectHiddenIcon();
    const int rows = std::min(static_cast<int>(entries_.size()), list_->rowCount());
    for (int i = 0; i < rows; ++i) {
        list_->item(i, kStateColumn)
            ->setIcon(entries_[static_cast<std::size_t>(i)].shown ? shown : hidden);
    }
}

std::vector<int> CAddressBookDialog::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
        if (index.row() < static_cast<int>(entries_.size())) {
            rows.push_back(index.row());
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CAddressBookDialog::ToggleSelectedRows() {
    for (int row : SelectedRows()) {
        AddressBookEntry& entry = entries_[static_cast<std::size_t>(row)];
        entry.shown = !entry.shown;
    }
    ShowStateIcons();
}

void CAddressBookDialog::EditSelectedThresholds() {
    for (int row : SelectedRows()) {
        AddressBookEntry& entry = entries_[static_cast<std::size_t>(row)];
        ObjectSettingsEdit edit;
        edit.firstTimeout = entry.firstTimeout;
        edit.secondTimeout = entry.secondTimeout;
        // Shown for orientation only: the boxes are disabled and nothing but the two
        // thresholds is taken back.
        edit.flags = entry.alertSettings;
        const QString caption =
            QStringLiteral("Настройки - ") + FromCp(entry.id + "-" + entry.name);
        CObjectSettingsDialog dialog(caption, edit, this);
        dialog.SetThresholdsOnly(true);
        if (ExecWindowModal(dialog) == QDialog::Accepted) {
            const ObjectSettingsEdit result = dialog.values();
            entry.firstTimeout = result.firstTimeout;
            entry.secondTimeout = result.secondTimeout;
            entry.thresholdsEdited = true;
            thresholdsChanged_ = true;
        }
    }
}
