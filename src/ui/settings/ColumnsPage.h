#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

class QListWidget;
class QPushButton;
namespace Ui {
class CColumnsPage;
}

// "Вид": which columns the object list shows, and in which order. Left: the columns not
// shown; right: the shown ones in their order.
class CColumnsPage : public QWidget {
    Q_OBJECT

public:
    explicit CColumnsPage(QWidget* parent = nullptr);
    ~CColumnsPage() override;

    // The layout's columns and the stored main-window width (for the widths).
    void SetColumns(const std::vector<int32_t>& ids, const std::vector<int32_t>& widths,
                    int32_t windowWidth);
    // The column set chosen; false when it is the one the page was given.
    bool TakeColumns(std::vector<int32_t>& ids, std::vector<int32_t>& widths) const;

private:
    struct ListButtons {
        QListWidget* list;
        QPushButton* move;
        QPushButton* up;
        QPushButton* down;
    };

    void FillLists();
    void Move(const ListButtons& from, const ListButtons& to);
    void Shift(const ListButtons& side, int step);
    void UpdateButtons(const ListButtons& side);
    void ResetToDefault();

    std::unique_ptr<Ui::CColumnsPage> ui_;
    ListButtons hidden_{};
    ListButtons shown_{};
    int32_t windowWidth_ = 700;
    std::vector<int32_t> originalIds_;
    std::vector<int32_t> originalWidths_;
    // The page's copy of the column set; "По умолчанию" replaces it.
    std::vector<int32_t> ids_;
    std::vector<int32_t> widths_;
};
