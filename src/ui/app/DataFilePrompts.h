#pragma once

#include <QString>

// The texts about the two data files, maps.mrk and AddrBook.txt: the start-up loads ask
// for a missing one, and the menu commands open another.
struct DataFilePrompts {
    QString missing;
    QString filter;
    QString defaultName;
    QString cancelled;
    QString wrongFile;

    static const DataFilePrompts& For(bool zones);
};
