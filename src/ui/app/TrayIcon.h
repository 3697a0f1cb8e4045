#pragma once

#include <QObject>
#include <QString>
#include <optional>

class QMenu;
class QSystemTrayIcon;

// The program's icon in the notification area while the window is minimised to it: its
// menu, its tooltip (at most 63 characters) and the double-click that brings the window
// back. The window decides when to go to the tray; this is the icon only.
class CTrayIcon : public QObject {
    Q_OBJECT
public:
    // `menu` is the icon's context menu; it must outlive the icon.
    CTrayIcon(QMenu* menu, QObject* parent);

    // Whether the desktop has a notification area; tests decide it themselves.
    bool Available() const;
    void SetAvailableOverride(std::optional<bool> available) { availableOverride_ = available; }

    // Shows the icon with the tooltip "Sentrel".
    void Show();
    void Remove();
    bool Shown() const { return shown_; }

    // Only while the icon is shown.
    void SetTip(const QString& text);
    QString Tip() const { return tip_; }

signals:
    void doubleClicked();

private:
    QMenu* menu_;
    QSystemTrayIcon* icon_ = nullptr;
    bool shown_ = false;
    QString tip_;
    std::optional<bool> availableOverride_;
};
