#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "settings/Settings.h"

class CColumnsPage;
class CDataPage;
class CGeneralPage;
class CSoundsPage;
class CThresholdsPage;
class SoundOutput;
namespace Ui {
class CSettingsDialog;
}

// "Установки": every global setting and the object list's column set. The dialog works
// on copies; the caller reads the results after "Сохранить" and applies them (stopping
// and restarting the workers, saving the files) itself.
class CSettingsDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMinTimer = 0;
    static constexpr int kMaxTimer = 10000;

    // `columnIds`/`columnWidths` are the layout's; `mainWindowWidth` is the width of the
    // stored main-window rectangle, which the column widths are fitted to. `sound`
    // plays the test sounds of the "Звуки" page.
    CSettingsDialog(const Settings& settings, const std::vector<int32_t>& columnIds,
                    const std::vector<int32_t>& columnWidths, int32_t mainWindowWidth,
                    SoundOutput& sound, QWidget* parent = nullptr);
    ~CSettingsDialog() override;

    // After "Сохранить": the edited settings (selected ids are not part of them).
    const Settings& settings() const { return settings_; }
    // After "Сохранить": whether the column set changed, and the new one.
    bool columnsChanged() const { return columnsChanged_; }
    const std::vector<int32_t>& columnIds() const { return columnIds_; }
    const std::vector<int32_t>& columnWidths() const { return columnWidths_; }

    // The polling-period text read as the dialog frameworks read an integer field:
    // blanks around an optional sign and digits; anything else is no integer.
    static std::optional<long long> ParseInteger(const QString& text);

public slots:
    void accept() override;
    void done(int result) override;

private:
    void OrderTabStops();
    bool ValidateTimer(int32_t& timer);

    std::unique_ptr<Ui::CSettingsDialog> ui_;
    CGeneralPage* general_;
    CDataPage* data_;
    CThresholdsPage* thresholds_;
    CSoundsPage* sounds_;
    CColumnsPage* columns_;
    Settings settings_;
    bool columnsChanged_ = false;
    std::vector<int32_t> columnIds_;
    std::vector<int32_t> columnWidths_;
};
