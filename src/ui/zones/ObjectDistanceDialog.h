#pragma once

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/ConsoleQueries.h"

class CConsole;
class CObjectListCtrl;
class QComboBox;
class QPushButton;

// "Расстояния до объектов": the distance from the object chosen in the combo box to
// every zone. Modal; while it is open it re-reads the object once a second, so the list
// follows the object as its messages arrive.
class CObjectDistanceDialog : public QDialog {
    Q_OBJECT
public:
    // Sort modes: 0 none, 1 / -1 distance ascending / descending, 2 / -2 name.
    enum SortMode : int {
        kUnsorted = 0,
        kDistanceAscending = 1,
        kDistanceDescending = -1,
        kNameAscending = 2,
        kNameDescending = -2
    };

    explicit CObjectDistanceDialog(CConsole& console, QWidget* parent = nullptr);

    QComboBox* ObjectCombo() const { return combo_; }
    CObjectListCtrl* List() const { return list_; }
    int Mode() const { return mode_; }
    // Distances in kilometres and zone names in display order (after the last refresh).
    const std::vector<float>& Distances() const { return distances_; }
    const std::vector<std::string>& Names() const { return names_; }
    bool RefreshRunning() const { return timer_.isActive(); }
    // How often the distances were computed and sorted: only when the object moved (or
    // another object, sort mode or zone map came up), not on every tick.
    int SortCount() const { return sortCount_; }

    // One empty row per zone for the chosen object, then Refresh().
    void Fill();
    // Distances of the chosen object, sorted by the mode, into the rows; nothing to do
    // when neither the object's position nor anything else the rows depend on changed.
    void Refresh();
    // A click on the header of `column` (0 "Район", 1 "Расстояние").
    void ColumnClicked(int column);

public slots:
    void done(int result) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Number of the chosen object; nullopt when none is chosen.
    std::optional<int32_t> ChosenNumber() const;
    void LayOut(int cx, int cy);

    CConsole& console_;
    QComboBox* combo_;
    CObjectListCtrl* list_;
    QPushButton* closeButton_;
    std::vector<std::string> entries_;  // combo texts, Windows-1251
    std::vector<float> distances_;
    std::vector<std::string> names_;
    int mode_ = kUnsorted;
    int sortCount_ = 0;
    // What the rows were last built from.
    struct Shown {
        bool valid = false;
        CConsoleQueries::PositionKey key;
        int mode = kUnsorted;
    };
    Shown shown_;
    QTimer timer_;
    bool initialised_ = false;
};
