#include "alerts/PasswordDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/ModalScope.h"
#include "app/Prompt.h"
#include "app/QtText.h"

CPasswordDialog::CPasswordDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Введите пароль..."));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("passwordEdit"));
    edit_->setEchoMode(QLineEdit::Password);
    edit_->setMinimumWidth(220);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
    edit_->setFocus();
}

QString CPasswordDialog::Password() const {
    return edit_->text();
}

void CPasswordDialog::SetPassword(const QString& text) {
    edit_->setText(text);
}

bool CheckPassword(QWidget* parent, const std::string& storedPassword, bool& modalOpen) {
    if (storedPassword.empty()) {
        return true;
    }
    CPasswordDialog dialog(parent);
    const bool wasOpen = modalOpen;
    modalOpen = true;
    const int result = ExecWindowModal(dialog);
    if (result != QDialog::Accepted) {
        modalOpen = wasOpen;
        return false;
    }
    if (ToCp(dialog.Password()) == storedPassword) {
        modalOpen = wasOpen;
        return true;
    }
    Prompt::Message(parent, QStringLiteral("Неверный пароль!"), QStringLiteral("Sentrel"),
                    Prompt::Icon::Stop);
    modalOpen = wasOpen;
    return false;
}
