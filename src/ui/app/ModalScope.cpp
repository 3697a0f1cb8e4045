#include "app/ModalScope.h"

#include <QDialog>

#include "app/MainDialog.h"

int ExecWindowModal(QDialog& dialog) {
    if (dialog.parentWidget() != nullptr) {
        dialog.setWindowModality(Qt::WindowModal);
    }
    return dialog.exec();
}

ModalScope::ModalScope(CMainDialog& dialog) : dialog_(dialog) {
    ++dialog_.modalDepth_;
    dialog_.modalOpen = true;
}

ModalScope::~ModalScope() {
    --dialog_.modalDepth_;
    dialog_.UpdateModalFlag();
}
