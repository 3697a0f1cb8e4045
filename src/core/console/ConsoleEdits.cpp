#include "console/ConsoleEdits.h"

#include "console/Console.h"

bool CConsoleEdits::LoadSettingsAtStart() {
    auto lock = console_.Lock();
    return console_.LoadSettingsAtStart();
}

bool CConsoleEdits::ClaimProgramFolder() {
    auto lock = console_.Lock();
    return console_.ClaimProgramFolder();
}

bool CConsoleEdits::SaveSettings() {
    auto lock = console_.Lock();
    return console_.SaveSettings();
}

void CConsoleEdits::SetDataFilePath(bool zones, const std::string& path) {
    auto lock = console_.Lock();
    (zones ? console_.settings.qmxInfoFile : console_.settings.channelObj) = path;
}

void CConsoleEdits::ApplySettings(const Settings& edited) {
    auto lock = console_.Lock();
    const std::string inUse = console_.settings.qmxInfoFile;
    console_.settings = edited;
    console_.settings.qmxInfoFile = inUse;
}

void CConsoleEdits::ApplyTimeOffset(std::optional<int> timeZoneBiasMinutes) {
    auto lock = console_.Lock();
    console_.store.SetTimeOffset(console_.settings.timeParam, console_.settings.timeSpan,
                                 timeZoneBiasMinutes);
}

bool CConsoleEdits::ApplyAddressBook(const std::vector<AddressBookEntry>& entries) {
    auto lock = console_.Lock();
    CDataStore& store = console_.store;
    bool thresholdsChanged = false;
    for (const AddressBookEntry& entry : entries) {
        const int i = entry.objectIndex;
        if (i >= 0 && i < store.objectCount && entry.Describes(store.Object(i))) {
            thresholdsChanged |= entry.ApplyTo(store.Object(i));
        }
    }
    store.selectedIdsText = store.BuildSelectedIdsText();
    const bool saved = console_.SaveSettings();
    if (thresholdsChanged) {
        console_.RequestSave(CStateCommitter::kStateFiles);
    }
    return saved;
}

void CConsoleEdits::ApplyObjectSettings(const std::vector<int32_t>& numbers,
                                        const ObjectSettingsEdit& values) {
    auto lock = console_.Lock();
    CDataStore& store = console_.store;
    for (const int32_t number : numbers) {
        const int i = store.FindObjectByNumber(number);
        if (i >= 0) {
            values.ApplyTo(store.Object(i));
        }
    }
    // One write for the whole selection.
    console_.RequestSave(CStateCommitter::kStateFiles);
}

void CConsoleEdits::AssignZones(const std::vector<int32_t>& numbers,
                                const ZoneAssignment& assignment) {
    auto lock = console_.Lock();
    CDataStore& store = console_.store;
    for (const int32_t number : numbers) {
        const int i = store.FindObjectByNumber(number);
        if (i >= 0) {
            store.Object(i).zoneAssignment = assignment;
        }
    }
    console_.RequestSave(CStateCommitter::kStateFiles | CStateCommitter::kAssignmentsFile);
}
