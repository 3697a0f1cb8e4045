#pragma once

#include <QColor>
#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The small window in which alert texts appear. The newest text is on top; every earlier
// one since the window opened stays in a history below that the operator can unfold and
// page through, each shown on a background coloured by its kind. Modeless, on the GUI
// thread; it lives until the operator closes it, and its history goes with it.
class CAlertPopupDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAlertPopupDialog(const QString& caption = QStringLiteral("Sentrel - сообщение"),
                               const QString& initialText = QString(), QWidget* parent = nullptr);

    // A new alert text; `kind` is a PopupKind value and chooses the history colour.
    void AddText(const QString& text, int kind);
    // Several at once, oldest first: the same as adding them one by one, with the
    // window's contents written once.
    void AddTexts(const QList<QPair<QString, int>>& texts);

    // The history button and the two paging buttons, as the operator presses them.
    void ToggleHistory();
    void ShowPrevious();
    void ShowNext();

    // What the window shows, for the caller and for tests.
    QString CurrentText() const;
    int CurrentKind() const { return currentKind_; }
    int HistoryCount() const { return static_cast<int>(historyTexts_.size()); }
    int Position() const { return position_; }
    bool PanelOpen() const { return panelOpen_; }
    QString HistoryButtonText() const;
    bool HistoryButtonEnabled() const;
    QString PositionText() const;
    QString HistoryEntryText() const;
    QColor HistoryEntryColour() const;
    // Height the history panel adds to the window.
    int PanelHeight() const;

    // Background of a history entry by kind; invalid for an unknown kind.
    static QColor KindColour(int kind);

signals:
    // The operator closed the window.
    void closed();

private:
    void ShowEntry(int position);
    void UpdatePositionText();
    void SetPanelVisible(bool visible);

    QLabel* icon_;
    QPlainTextEdit* currentBox_;
    QPushButton* historyButton_;
    QPushButton* closeButton_;
    QPlainTextEdit* historyBox_;
    QPushButton* previousButton_;
    QPushButton* nextButton_;
    QLineEdit* positionBox_;

    QString currentText_;
    int currentKind_ = 0;
    QStringList historyTexts_;
    std::vector<int> historyKinds_;
    int position_ = -1;
    bool panelOpen_ = false;
    QColor historyColour_{255, 255, 255};
    bool closedSent_ = false;
};
