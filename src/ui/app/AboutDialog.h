#pragma once

#include <QDialog>

// "О программе": the program's picture, name and version.
class CAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};
