#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/DateTime.h"

// One listing of the inbox per pass, in the order the records must be applied.
//
// Every message file of a shown object is found by the object's number in its
// extension (object 7: "*.007", object 1234: "*.1234"). The files of one object are
// taken in the order of the time stamps their names carry (DDHHMMSS), so a backlog is
// applied as it happened whatever order the folder lists it in; the objects come in
// store order. Folders, FIFOs, devices and names that are no message file are left
// alone.
//
// A name holds only the day of the month, so a backlog over a month end would put the
// 1st before the 31st. A name whose day is more than one day ahead of today's (UTC)
// belongs to the previous month and comes first; the one day of slack is for a terminal
// whose clock or time zone runs ahead of ours, whose files may carry tomorrow's day.
// Names of the same instant (hour 24 of one day is 00 of the next, a blank reads like
// a leading zero) are taken by modification time, then by name.
class CInboxScanner {
public:
    struct Entry {
        std::string path;
        int32_t objectNumber = 0;
    };

    // `inboxFolder` as the settings hold it: the pattern is the folder text followed by
    // "*", so a folder without its trailing separator searches its parent for names
    // that begin with the folder's own name (and finds no message file there).
    // `shownNumbers` are the numbers of the shown objects in store order; `utcNow` gives
    // today's day of the month.
    static std::vector<Entry> List(const std::string& inboxFolder,
                                   const std::vector<int32_t>& shownNumbers, DateTime utcNow);
    // The folder that List reads, for the change watch.
    static std::string ListedFolder(const std::string& inboxFolder);
};
