#include "app/SecondaryWindows.h"

#include "alerts/HistoryWindows.h"
#include "replay/ReplayWindows.h"
#include "zones/DistanceWindows.h"
#include "zones/MapWindowKeeper.h"
#include "zones/ZoneDistanceDialog.h"

CSecondaryWindows::CSecondaryWindows(CConsole& console, QWidget* mainWindow)
    : distances_(std::make_unique<CDistanceWindows>(console, mainWindow)),
      histories_(std::make_unique<CHistoryWindows>(console, mainWindow)),
      map_(std::make_unique<CMapWindowKeeper>(console, mainWindow)),
      replays_(std::make_unique<CReplayWindows>()) {}

CSecondaryWindows::~CSecondaryWindows() = default;

void CSecondaryWindows::RestoreAtStart(bool show) {
    distances_->RestoreAtStart(show);
    histories_->RestoreAtStart(show);
    map_->RestoreAtStart(show);
}

void CSecondaryWindows::HideAll() {
    distances_->HideAll();
    histories_->HideAll();
    map_->HideAll();
    replays_->HideAll();
    if (journal_ && journal_->isVisible()) {
        journal_->hide();
        journalHidden_ = true;
    }
}

void CSecondaryWindows::ShowAll() {
    distances_->ShowAll();
    histories_->ShowAll();
    map_->ShowAll();
    replays_->ShowAll();
    if (journal_ && journalHidden_) {
        journal_->show();
    }
    journalHidden_ = false;
}

void CSecondaryWindows::RebuildAll() {
    distances_->RebuildAll();
    map_->RebuildZones();
}

void CSecondaryWindows::Shutdown() {
    distances_->Shutdown();
    histories_->Shutdown();
    map_->Shutdown();
    replays_->CloseAll();
}
