#include "app/TrayIcon.h"

#include <QSystemTrayIcon>

#include "app/Icons.h"

CTrayIcon::CTrayIcon(QMenu* menu, QObject* parent) : QObject(parent), menu_(menu) {}

bool CTrayIcon::Available() const {
    if (availableOverride_.has_value()) {
        return *availableOverride_;
    }
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CTrayIcon::Show() {
    shown_ = true;
    tip_ = QStringLiteral("Sentrel");
    if (icon_ == nullptr) {
        icon_ = new QSystemTrayIcon(Icons::AppIcon(), this);
        icon_->setContextMenu(menu_);
        connect(icon_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::DoubleClick) {
                        emit doubleClicked();
                    }
                });
    }
    icon_->setToolTip(tip_);
    icon_->show();
}

void CTrayIcon::Remove() {
    shown_ = false;
    if (icon_ != nullptr) {
        icon_->hide();
        icon_->deleteLater();
        icon_ = nullptr;
    }
}

void CTrayIcon::SetTip(const QString& text) {
    if (!shown_) {
        return;
    }
    tip_ = text.left(63);
    if (icon_ != nullptr) {
        icon_->setToolTip(tip_);
    }
}
