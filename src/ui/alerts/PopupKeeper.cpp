#include "alerts/PopupKeeper.h"

#include <QApplication>
#include <QWindow>

#include "alerts/AlertPopupDialog.h"

CPopupKeeper::CPopupKeeper(QObject* parent) : QObject(parent) {
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &CPopupKeeper::OnFocusWindowChanged);
}

CPopupKeeper::~CPopupKeeper() {
    if (popup_ != nullptr) {
        popup_->disconnect(this);
        delete popup_.data();
    }
}

void CPopupKeeper::Show(const QList<QPair<QString, int>>& texts, bool activate) {
    if (popup_ == nullptr) {
        auto* popup = new CAlertPopupDialog(QStringLiteral("Sentrel - сообщение"), QString());
        popup->setObjectName(QStringLiteral("alertPopup"));
        popup->setAttribute(Qt::WA_DeleteOnClose, false);
        connect(popup, &CAlertPopupDialog::closed, this, &CPopupKeeper::OnClosed);
        popup_ = popup;
        popup->setAttribute(Qt::WA_ShowWithoutActivating, !activate);
        if (!activate) {
            GiveFocusBackTo(QApplication::activeWindow());
        }
        popup->show();
    }
    popup_->AddTexts(texts);
    popup_->raise();
    if (activate) {
        popup_->activateWindow();
    }
}

void CPopupKeeper::GiveFocusBackTo(QWidget* window) {
    // Not every window system leaves the keyboard where it is when a window is shown:
    // should the new pop-up get it all the same, it goes straight back.
    giveBackTo_ = window;
    sinceShown_.start();
}

void CPopupKeeper::OnFocusWindowChanged(QWindow* focused) {
    if (giveBackTo_ == nullptr || popup_ == nullptr || focused == nullptr) {
        return;
    }
    if (sinceShown_.elapsed() > kGiveBackMs) {
        giveBackTo_ = nullptr;
        return;
    }
    if (focused == popup_->windowHandle()) {
        QWidget* window = giveBackTo_;
        giveBackTo_ = nullptr;
        window->activateWindow();
    }
}

void CPopupKeeper::OnClosed() {
    CAlertPopupDialog* popup = popup_.data();
    popup_ = nullptr;
    if (popup != nullptr) {
        popup->deleteLater();
    }
    emit closed();
}
