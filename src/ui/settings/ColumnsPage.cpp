#include "settings/ColumnsPage.h"

#include "app/Prompt.h"
#include "settings/WindowLayout.h"
#include "ui_ColumnsPage.h"

namespace {

QString NameOf(int id) {
    return QString::fromUtf8(WindowLayout::ColumnName(id));
}

// Column id of a name shown in the lists, -1 for a name that is none of the twelve.
int IdOfName(const QString& name) {
    for (int id = 0; id < kColumnIdCount; ++id) {
        if (name == NameOf(id)) {
            return id;
        }
    }
    return -1;
}

bool IsColumnId(int32_t id) {
    return id >= 0 && id < kColumnIdCount;
}

}  // namespace

CColumnsPage::CColumnsPage(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::CColumnsPage>()) {
    ui_->setupUi(this);
    hidden_ = {ui_->hiddenList, ui_->showButton, ui_->hiddenUpButton, ui_->hiddenDownButton};
    shown_ = {ui_->shownList, ui_->hideButton, ui_->shownUpButton, ui_->shownDownButton};
    for (const ListButtons* side : {&hidden_, &shown_}) {
        side->list->setSelectionMode(QAbstractItemView::SingleSelection);
        connect(side->list, &QListWidget::itemSelectionChanged, this,
                [this, side] { UpdateButtons(*side); });
        connect(side->up, &QPushButton::clicked, this, [this, side] { Shift(*side, -1); });
        connect(side->down, &QPushButton::clicked, this, [this, side] { Shift(*side, +1); });
    }
    connect(ui_->showButton, &QPushButton::clicked, this, [this] { Move(hidden_, shown_); });
    connect(ui_->hideButton, &QPushButton::clicked, this, [this] { Move(shown_, hidden_); });
    connect(ui_->defaultsButton, &QPushButton::clicked, this, [this] { ResetToDefault(); });
}

CColumnsPage::~CColumnsPage() = default;

void CColumnsPage::SetColumns(const std::vector<int32_t>& ids, const std::vector<int32_t>& widths,
                              int32_t windowWidth) {
    windowWidth_ = windowWidth;
    originalIds_ = ids;
    originalWidths_ = widths;
    ids_ = ids;
    widths_ = widths;
    FillLists();
}

void CColumnsPage::FillLists() {
    const QSignalBlocker blockHidden(ui_->hiddenList);
    const QSignalBlocker blockShown(ui_->shownList);
    ui_->hiddenList->clear();
    ui_->shownList->clear();
    std::vector<bool> isShown(kColumnIdCount, false);
    for (int32_t id : ids_) {
        if (IsColumnId(id)) {
            ui_->shownList->addItem(NameOf(id));
            isShown[static_cast<std::size_t>(id)] = true;
        }
    }
    for (int id = 0; id < kColumnIdCount; ++id) {
        if (!isShown[static_cast<std::size_t>(id)]) {
            ui_->hiddenList->addItem(NameOf(id));
        }
    }
    for (const ListButtons* side : {&hidden_, &shown_}) {
        side->move->setEnabled(false);
        side->up->setEnabled(false);
        side->down->setEnabled(false);
    }
}

void CColumnsPage::Move(const ListButtons& from, const ListButtons& to) {
    int row = from.list->currentRow();
    if (from.list->selectedItems().isEmpty()) {
        // The move button of a list holding a single name stays enabled without a
        // selection; it then means that name.
        if (from.list->count() != 1) {
            return;
        }
        row = 0;
    }
    if (row < 0 || row >= from.list->count()) {
        return;
    }
    if (&from == &shown_ && IdOfName(from.list->item(row)->text()) == kColObject) {
        Prompt::Message(this, QStringLiteral("Вы не можете не отображать информацию об объекте!"),
                        QStringLiteral("Sentrel"), Prompt::Icon::Stop);
        return;
    }
    QListWidgetItem* item = from.list->takeItem(row);
    to.list->addItem(item);
    from.list->clearSelection();
    to.list->clearSelection();
    UpdateButtons(hidden_);
    UpdateButtons(shown_);
}

void CColumnsPage::Shift(const ListButtons& side, int step) {
    if (side.list->selectedItems().isEmpty()) {
        return;
    }
    const int row = side.list->currentRow();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= side.list->count()) {
        return;
    }
    QListWidgetItem* item = side.list->takeItem(row);
    side.list->insertItem(target, item);
    side.list->setCurrentRow(target);
    UpdateButtons(side);
}

void CColumnsPage::UpdateButtons(const ListButtons& side) {
    const int count = side.list->count();
    const int row = side.list->selectedItems().isEmpty() ? -1 : side.list->currentRow();
    if (row < 0) {
        side.move->setEnabled(count == 1);
        side.up->setEnabled(false);
        side.down->setEnabled(false);
        return;
    }
    side.move->setEnabled(true);
    side.up->setEnabled(row > 0);
    side.down->setEnabled(row < count - 1);
}

void CColumnsPage::ResetToDefault() {
    ids_.clear();
    widths_.clear();
    for (int id = 0; id < kColumnIdCount; ++id) {
        ids_.push_back(id);
        widths_.push_back(WindowLayout::DefaultColumnWidth(id, windowWidth_));
    }
    FillLists();
}

bool CColumnsPage::TakeColumns(std::vector<int32_t>& ids, std::vector<int32_t>& widths) const {
    const QListWidget* list = ui_->shownList;
    bool same = static_cast<std::size_t>(list->count()) == ids_.size();
    for (int i = 0; same && i < list->count(); ++i) {
        same = IdOfName(list->item(i)->text()) == ids_[static_cast<std::size_t>(i)];
    }
    if (same) {
        // The lists still show the page's copy: that copy stands, and it is a change
        // only when "По умолчанию" made it differ from what the page was given.
        ids = ids_;
        widths = widths_;
        return ids_ != originalIds_ || widths_ != originalWidths_;
    }
    ids.clear();
    for (int i = 0; i < list->count(); ++i) {
        const int id = IdOfName(list->item(i)->text());
        if (id >= 0) {
            ids.push_back(id);
        }
    }
    widths = WindowLayout::FitWidths(ids, windowWidth_);
    return true;
}
