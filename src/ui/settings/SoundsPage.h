#pragma once

#include <QWidget>
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "alerts/AlertSettings.h"
#include "platform/ManualResetEvent.h"
#include "settings/Settings.h"

class QLineEdit;
class QPushButton;
class SoundOutput;
namespace Ui {
class CSoundsPage;
}

// "Звуки": the four alert sounds, each with a test player. The test player is a thread
// of its own that replays the file until "Stop" (or the dialog closing) sets the stop
// event; it never touches a widget.
class CSoundsPage : public QWidget {
    Q_OBJECT

public:
    static const QString kSoundFilter;

    CSoundsPage(SoundOutput& sound, QWidget* parent = nullptr);
    ~CSoundsPage() override;

    void SetValues(const Settings& settings);
    // The four sound paths.
    void TakeValues(Settings& settings) const;

    // Ends a running test sound and waits for its thread; the buttons come back.
    void StopPlayer();
    bool IsPlaying() const { return playing_ >= 0; }

private:
    struct Row {
        AlertKind kind;
        QLineEdit* edit;
        QPushButton* browse;
        QPushButton* play;
        std::string path;
    };

    void Browse(Row& row);
    void PlayOrStop(int rowIndex);
    void StartPlayer(int rowIndex);
    void OnPlayFailed(unsigned generation);
    // Queued by a test player that failed: picks up the generation it left behind.
    Q_INVOKABLE void TakePlayFailure();
    void SetButtonsForPlaying(int rowIndex);

    std::unique_ptr<Ui::CSoundsPage> ui_;
    SoundOutput& sound_;
    std::array<Row, 4> rows_;
    ManualResetEvent stopEvent_;
    std::thread player_;
    int playing_ = -1;
    // Counts started players, so that a failure reported late by a player that was
    // stopped in the meantime is not taken for the current one's.
    unsigned generation_ = 0;
    // Generation of the last player that could not play its file (written by that
    // player's thread before it asks the GUI thread to report it).
    std::atomic<unsigned> failedGeneration_{0};
};
