#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/AddressBookEntry.h"
#include "model/ObjectSettingsEdit.h"
#include "settings/Settings.h"
#include "zones/ZoneAssignment.h"

class CConsole;

// The window's changes to the settings and to the objects, handed in as values and made
// under the store lock (window thread; the workers may run unless said otherwise).
class CConsoleEdits {
public:
    explicit CConsoleEdits(CConsole& console) : console_(console) {}

    // CConsole::LoadSettingsAtStart, ClaimProgramFolder and SaveSettings under the lock.
    bool LoadSettingsAtStart();
    bool ClaimProgramFolder();
    bool SaveSettings();

    // Names the zone file (`zones`) or the address book to be loaded next.
    void SetDataFilePath(bool zones, const std::string& path);
    // The settings edited by the dialog take the place of those in use, except the zone
    // file, which changes only with the map it names (SetDataFilePath).
    void ApplySettings(const Settings& edited);
    // The store's time offset from the settings in use.
    void ApplyTimeOffset(std::optional<int> timeZoneBiasMinutes);
    // The address book dialog's entries to the objects they were taken from (an entry
    // whose object is no longer at its place is left out); then the selection is written
    // into the settings, which are saved, and new thresholds also save the state. The
    // caller keeps the workers stopped from the copy to here, so that the list's rows
    // are rebuilt for the new selection when they start. False when the settings could
    // not be saved.
    bool ApplyAddressBook(const std::vector<AddressBookEntry>& entries);

    // The values of the per-object settings panel to every object of `numbers` that is
    // still there; one save for all of them.
    void ApplyObjectSettings(const std::vector<int32_t>& numbers, const ObjectSettingsEdit& values);
    // The zone assignment to every object of `numbers` that is still there.
    void AssignZones(const std::vector<int32_t>& numbers, const ZoneAssignment& assignment);

private:
    CConsole& console_;
};
