#pragma once

#include <QWidget>
#include <memory>

#include "settings/Settings.h"

namespace Ui {
class CThresholdsPage;
}

// "Пороги": the two global no-message thresholds.
class CThresholdsPage : public QWidget {
    Q_OBJECT

public:
    explicit CThresholdsPage(QWidget* parent = nullptr);
    ~CThresholdsPage() override;

    void SetValues(const Settings& settings);
    // FirstTimeOut and SecondTimeOut.
    void TakeValues(Settings& settings) const;

private:
    std::unique_ptr<Ui::CThresholdsPage> ui_;
};
