#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>

class CAlertPopupDialog;
class QWidget;
class QWindow;

// The alert pop-up of the main window: opened on the first alert, every later text
// added to it, and gone when the dispatcher closes it. A window of its own, not the main
// window's child: it stays usable beside the main window and survives its trips to the
// tray.
class CPopupKeeper : public QObject {
    Q_OBJECT
public:
    explicit CPopupKeeper(QObject* parent = nullptr);
    ~CPopupKeeper() override;

    // Adds the texts (oldest first) to the pop-up, opening it when needed, and brings the pop-up to
    // the front. With `activate` false it comes to the front without taking the keyboard: a dialog
    // in use keeps its focus and every keystroke.
    void Show(const QList<QPair<QString, int>>& texts, bool activate);
    // The pop-up while it is open, else null.
    CAlertPopupDialog* Popup() const { return popup_.data(); }

signals:
    // The dispatcher closed the pop-up.
    void closed();

private:
    // The keyboard stays with `window` (the active window) when the pop-up opens.
    void GiveFocusBackTo(QWidget* window);
    void OnFocusWindowChanged(QWindow* focused);
    void OnClosed();

    // How long after the pop-up opened the keyboard is given back.
    static constexpr int kGiveBackMs = 2000;

    QPointer<CAlertPopupDialog> popup_;
    QPointer<QWidget> giveBackTo_;
    QElapsedTimer sinceShown_;
};
