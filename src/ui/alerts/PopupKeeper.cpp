#include "alerts/PopupKeeper.h"

#include "alerts/AlertPopupDialog.h"

CPopupKeeper::CPopupKeeper(QObject* parent) : QObject(parent) {}

CPopupKeeper::~CPopupKeeper() {
    if (popup_ != nullptr) {
        popup_->disconnect(this);
        delete popup_.data();
    }
}

void CPopupKeeper::Show(const QString& text, int kind, bool activate) {
    if (popup_ == nullptr) {
        auto* popup = new CAlertPopupDialog(QStringLiteral("Sentrel - сообщение"), QString());
        popup->setObjectName(QStringLiteral("alertPopup"));
        popup->setAttribute(Qt::WA_DeleteOnClose, false);
        connect(popup, &CAlertPopupDialog::closed, this, &CPopupKeeper::OnClosed);
        popup_ = popup;
        popup->setAttribute(Qt::WA_ShowWithoutActivating, !activate);
        popup->show();
    }
    popup_->AddText(text, kind);
    popup_->raise();
    if (activate) {
        popup_->activateWindow();
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
