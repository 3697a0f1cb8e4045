#pragma once

#include <QDialog>
#include <QString>
#include <string>

class QLineEdit;

// Asks for the settings password; the characters typed stay hidden.
class CPasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit CPasswordDialog(QWidget* parent = nullptr);

    QString Password() const;
    void SetPassword(const QString& text);

private:
    QLineEdit* edit_;
};

// The guard of the protected commands: true when no password is stored or the operator
// types it exactly (byte for byte in Windows-1251); a wrong one is reported with
// "Неверный пароль!", Cancel gives false silently. `modalOpen` is set while the prompt
// is on screen so that the main window refuses to close under it.
bool CheckPassword(QWidget* parent, const std::string& storedPassword, bool& modalOpen);
