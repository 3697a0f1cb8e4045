#pragma once

#include "app/WindowFrame.h"

class CConsole;
class QWidget;

// Where the main window stands and how it was left: placed over the stored rectangle at
// start, shown in the recorded state, and every move, resize or change between normal,
// maximised and minimised written into the layout.
class CMainPlacement {
public:
    enum class ShowState { Normal, Maximised, Minimised };

    // What the window must do after a change was recorded.
    struct Follow {
        // The secondary windows come back with the main window.
        bool secondaryWindows = false;
        // Minimised with "minimise to tray" set: the window goes to the tray.
        bool toTray = false;
    };

    CMainPlacement(QWidget& window, CConsole& console);

    // Moves and sizes the window over the layout's rectangle (before it is shown).
    void PlaceAtStart();
    // The state to show at start, from the layout and the settings; `toTray` tells
    // whether a minimised start goes to the tray.
    ShowState StartState(bool* toTray) const;
    void SetStartState(ShowState state) { startState_ = state; }
    // Shows the window in the state set.
    void ShowAtStart();
    // Back from the tray or the task bar: maximised again when it was maximised before.
    void ShowUnminimised();

    ShowState Current() const;
    // Records a move, resize or state change in the layout.
    Follow Record(ShowState state, bool sizeChanged, bool inTray);
    // From the window's showEvent: once the frame is known, the first placement is
    // corrected so that the outer rectangle is the stored one.
    void Shown();

private:
    QWidget& window_;
    CConsole& console_;
    ShowState startState_ = ShowState::Normal;
    WindowFrame::Placed placed_;
    bool frameCorrected_ = false;
};
