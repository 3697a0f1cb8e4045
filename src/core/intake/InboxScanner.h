#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One listing of the inbox per pass, in the order the records must be applied.
//
// Every message file of a shown object is found by the object's number in its
// extension (object 7: "*.007", object 1234: "*.1234"). The files of one object are
// taken in name order, which is the order of their time stamps (DDHHMMSS), so a
// backlog is applied as it happened whatever order the folder lists it in; the objects
// come in store order. Folders, FIFOs, devices and names that are no message file are
// left alone.
class CInboxScanner {
public:
    struct Entry {
        std::string path;
        int32_t objectNumber = 0;
    };

    // `inboxFolder` as the settings hold it: the pattern is the folder text followed by
    // "*", so a folder without its trailing separator searches its parent for names
    // that begin with the folder's own name (and finds no message file there).
    // `shownNumbers` are the numbers of the shown objects in store order.
    static std::vector<Entry> List(const std::string& inboxFolder,
                                   const std::vector<int32_t>& shownNumbers);
    // The folder that List reads, for the change watch.
    static std::string ListedFolder(const std::string& inboxFolder);
};
