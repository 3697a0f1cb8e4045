#include "alerts/AlertPopupDialog.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

#include "alerts/AlertSettings.h"

namespace {

// The window is laid out on a fixed grid, like the dialog template it mirrors, so that
// unfolding the history grows it by exactly the panel's height.
constexpr int kWidth = 380;
constexpr int kMargin = 12;
constexpr int kTextLeft = 60;
constexpr int kTextHeight = 88;
constexpr int kButtonHeight = 24;
constexpr int kButtonsTop = kMargin + kTextHeight + 8;
constexpr int kHistoryTop = kButtonsTop + kButtonHeight + 14;
constexpr int kHistoryHeight = 88;
constexpr int kPagingTop = kHistoryTop + kHistoryHeight + 6;
constexpr int kFullHeight = kPagingTop + kButtonHeight + 14;

// Alert texts come with Windows line ends.
QString Displayable(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace('\r', '\n');
    return shown;
}

}  // namespace

CAlertPopupDialog::CAlertPopupDialog(const QString& caption, const QString& initialText,
                                     QWidget* parent)
    : QDialog(parent) {
    setModal(false);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setAttribute(Qt::WA_DeleteOnClose, false);

    icon_ = new QLabel(this);
    const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this);
    icon_->setPixmap(warning.pixmap(32, 32));
    icon_->setGeometry(17, 12, 32, 32);

    currentBox_ = new QPlainTextEdit(this);
    currentBox_->setObjectName(QStringLiteral("currentText"));
    currentBox_->setReadOnly(true);
    currentBox_->setGeometry(kTextLeft, kMargin, kWidth - kTextLeft - kMargin, kTextHeight);

    historyButton_ = new QPushButton(QStringLiteral("Показать историю (0)..."), this);
    historyButton_->setObjectName(QStringLiteral("historyButton"));
    historyButton_->setGeometry(kTextLeft, kButtonsTop, 200, kButtonHeight);
    historyButton_->setAutoDefault(false);

    closeButton_ = new QPushButton(QStringLiteral("Закрыть"), this);
    closeButton_->setObjectName(QStringLiteral("closeButton"));
    closeButton_->setGeometry(kWidth - kMargin - 90, kButtonsTop, 90, kButtonHeight);
    // Not the default button: an Enter meant for another window, typed as the pop-up
    // comes up, must not close the alert unread.
    closeButton_->setAutoDefault(false);
    closeButton_->setDefault(false);

    historyBox_ = new QPlainTextEdit(this);
    historyBox_->setObjectName(QStringLiteral("historyText"));
    historyBox_->setReadOnly(true);
    historyBox_->setGeometry(kMargin, kHistoryTop, kWidth - 2 * kMargin, kHistoryHeight);
    historyBox_->setAutoFillBackground(true);

    previousButton_ = new QPushButton(QStringLiteral("<"), this);
    previousButton_->setObjectName(QStringLiteral("previousButton"));
    previousButton_->setGeometry(kMargin, kPagingTop, 32, kButtonHeight);
    previousButton_->setAutoDefault(false);

    nextButton_ = new QPushButton(QStringLiteral(">"), this);
    nextButton_->setObjectName(QStringLiteral("nextButton"));
    nextButton_->setGeometry(kMargin + 38, kPagingTop, 32, kButtonHeight);
    nextButton_->setAutoDefault(false);

    positionBox_ = new QLineEdit(this);
    positionBox_->setObjectName(QStringLiteral("positionText"));
    positionBox_->setReadOnly(true);
    positionBox_->setAlignment(Qt::AlignCenter);
    positionBox_->setGeometry(kMargin + 80, kPagingTop, 70, kButtonHeight);

    connect(closeButton_, &QPushButton::clicked, this, &QDialog::close);
    connect(historyButton_, &QPushButton::clicked, this, &CAlertPopupDialog::ToggleHistory);
    connect(previousButton_, &QPushButton::clicked, this, &CAlertPopupDialog::ShowPrevious);
    connect(nextButton_, &QPushButton::clicked, this, &CAlertPopupDialog::ShowNext);
    // Every way of closing (button, close box, Escape) ends in finished().
    connect(this, &QDialog::finished, this, [this] {
        if (!closedSent_) {
            closedSent_ = true;
            emit closed();
        }
    });

    // Starts folded: the panel is hidden and the window is shorter by its height.
    SetPanelVisible(false);
    setFixedSize(kWidth, kFullHeight - PanelHeight());
    historyButton_->setEnabled(false);

    setWindowTitle(caption);
    currentText_ = initialText;
    currentBox_->setPlainText(Displayable(initialText));
}

int CAlertPopupDialog::PanelHeight() const {
    return historyBox_->height() + nextButton_->height() + 14;
}

QColor CAlertPopupDialog::KindColour(int kind) {
    switch (static_cast<PopupKind>(kind)) {
        case PopupKind::DestinationZone:
            return QColor(150, 200, 150);
        case PopupKind::ForbiddenZone:
            return QColor(200, 200, 150);
        case PopupKind::PowerOn:
            return QColor(200, 200, 200);
        case PopupKind::Alarm:
            return QColor(200, 150, 150);
    }
    return QColor();
}

void CAlertPopupDialog::AddText(const QString& text, int kind) {
    if (!currentText_.isEmpty()) {
        historyButton_->setEnabled(true);
        historyTexts_.append(currentText_);
        historyKinds_.push_back(currentKind_);
        if (!panelOpen_) {
            historyButton_->setText(
                QStringLiteral("Показать историю (%1)...").arg(historyTexts_.size()));
        }
        if (position_ == -1) {
            ShowEntry(0);
        }
        UpdatePositionText();
    }
    currentKind_ = kind;
    currentText_ = text;
    currentBox_->setPlainText(Displayable(text));
}

void CAlertPopupDialog::AddTexts(const QList<QPair<QString, int>>& texts) {
    if (texts.isEmpty()) {
        return;
    }
    // All but the newest go straight into the history; the newest is added as one text,
    // which writes the window's contents.
    for (qsizetype k = 0; k + 1 < texts.size(); ++k) {
        if (!currentText_.isEmpty()) {
            historyTexts_.append(currentText_);
            historyKinds_.push_back(currentKind_);
        }
        currentText_ = texts[k].first;
        currentKind_ = texts[k].second;
    }
    AddText(texts.last().first, texts.last().second);
}

void CAlertPopupDialog::ShowEntry(int position) {
    position_ = position;
    const QColor colour = KindColour(historyKinds_[static_cast<size_t>(position)]);
    if (colour.isValid()) {
        historyColour_ = colour;
    }
    QPalette pal = historyBox_->palette();
    pal.setColor(QPalette::Base, historyColour_);
    pal.setColor(QPalette::Window, historyColour_);
    historyBox_->setPalette(pal);
    historyBox_->setPlainText(Displayable(historyTexts_[position]));
}

void CAlertPopupDialog::UpdatePositionText() {
    positionBox_->setText(QStringLiteral("%1/%2").arg(position_ + 1).arg(historyTexts_.size()));
}

void CAlertPopupDialog::SetPanelVisible(bool visible) {
    historyBox_->setVisible(visible);
    previousButton_->setVisible(visible);
    nextButton_->setVisible(visible);
    positionBox_->setVisible(visible);
}

void CAlertPopupDialog::ToggleHistory() {
    if (panelOpen_) {
        setFixedSize(width(), height() - PanelHeight());
        SetPanelVisible(false);
        historyButton_->setText(
            QStringLiteral("Показать историю (%1)...").arg(historyTexts_.size()));
        panelOpen_ = false;
    } else {
        setFixedSize(width(), height() + PanelHeight());
        SetPanelVisible(true);
        historyButton_->setText(QStringLiteral("Убрать историю..."));
        panelOpen_ = true;
    }
}

void CAlertPopupDialog::ShowPrevious() {
    if (position_ > 0) {
        ShowEntry(position_ - 1);
        UpdatePositionText();
    }
}

void CAlertPopupDialog::ShowNext() {
    if (position_ + 1 < historyTexts_.size()) {
        ShowEntry(position_ + 1);
        UpdatePositionText();
    }
}

QString CAlertPopupDialog::CurrentText() const {
    return currentText_;
}
QString CAlertPopupDialog::HistoryButtonText() const {
    return historyButton_->text();
}
bool CAlertPopupDialog::HistoryButtonEnabled() const {
    return historyButton_->isEnabled();
}
QString CAlertPopupDialog::PositionText() const {
    return positionBox_->text();
}
QString CAlertPopupDialog::HistoryEntryText() const {
    return historyBox_->toPlainText();
}
QColor CAlertPopupDialog::HistoryEntryColour() const {
    return historyBox_->palette().color(QPalette::Base);
}
