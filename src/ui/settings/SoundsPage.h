#pragma once

#include <QWidget>
#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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
// of its own that replays the file until "Stop" (or the dialog closing) sets its stop
// event; it never touches a widget. "Stop" never waits for it: a sound output that is
// slow to give up (a device that hangs) must not freeze the window. A stopped player
// is joined once it has ended, at the latest when the page goes.
class CSoundsPage : public QWidget {
    Q_OBJECT

public:
    static const QString kSoundFilter;

    CSoundsPage(SoundOutput& sound, QWidget* parent = nullptr);
    ~CSoundsPage() override;

    void SetValues(const Settings& settings);
    // The four sound paths.
    void TakeValues(Settings& settings) const;

    // Ends a running test sound; the buttons come back at once.
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
    // One test player: its thread and its own stop event, so that a player that is still
    // ending never takes the stop meant for a newer one.
    struct Player {
        ManualResetEvent stop;
        std::atomic<bool> ended{false};
        std::thread thread;
    };
    // Joins the stopped players whose threads have ended.
    void JoinEndedPlayers();

    std::array<Row, 4> rows_;
    std::unique_ptr<Player> player_;
    std::vector<std::unique_ptr<Player>> stopping_;
    int playing_ = -1;
    // Counts started players, so that a failure reported late by a player that was
    // stopped in the meantime is not taken for the current one's.
    unsigned generation_ = 0;
    // Generation of the last player that could not play its file (written by that
    // player's thread before it asks the GUI thread to report it).
    std::atomic<unsigned> failedGeneration_{0};
};
