#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "settings/Settings.h"

class QButtonGroup;
namespace Ui {
class CGeneralPage;
}

// "Общие": the settings password, the tray option and how times are shown.
class CGeneralPage : public QWidget {
    Q_OBJECT

public:
    // Indexes of the time-display buttons; TimeParam is (index + 1) with the sign.
    enum TimeMode { kLocal = 0, kAsWindows = 1, kUniversal = 2 };

    explicit CGeneralPage(QWidget* parent = nullptr);
    ~CGeneralPage() override;

    void SetValues(const Settings& settings);
    // Password, MinimyzeTray, TimeParam and TimeSpan.
    void TakeValues(Settings& settings) const;

    // The password that TakeValues would store (empty when the box is not ticked).
    std::string Password() const;
    void FocusPassword();
    // Chosen time-display button, -1 when none is chosen.
    int TimeModeIndex() const;
    int Sign() const { return sign_; }

private:
    void UpdatePasswordField();
    void UpdateLocalOffsetControls();
    void ShowSign();

    std::unique_ptr<Ui::CGeneralPage> ui_;
    QButtonGroup* timeButtons_;
    int sign_ = -1;
};
