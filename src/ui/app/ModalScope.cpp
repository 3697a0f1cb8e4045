#include "app/ModalScope.h"

#include "app/MainDialog.h"

ModalScope::ModalScope(CMainDialog& dialog) : dialog_(dialog) {
    ++dialog_.modalDepth_;
    dialog_.modalOpen = true;
}

ModalScope::~ModalScope() {
    --dialog_.modalDepth_;
    dialog_.UpdateModalFlag();
}
