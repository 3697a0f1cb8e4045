#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "settings/Settings.h"

namespace Ui {
class CDataPage;
}

// "Данные": the inbox folder, the zone file and the address book.
class CDataPage : public QWidget {
    Q_OBJECT

public:
    static const QString kZoneFileFilter;
    static const QString kAddressBookFilter;

    explicit CDataPage(QWidget* parent = nullptr);
    ~CDataPage() override;

    void SetValues(const Settings& settings);
    // ChannelOutFolder, QMXInfoFile and ChannelObj.
    void TakeValues(Settings& settings) const;

private:
    void ChooseInboxFolder();
    void ChooseFile(std::string& path, const QString& filter, const QString& defaultName);
    void ShowPaths();

    std::unique_ptr<Ui::CDataPage> ui_;
    // Kept as the original bytes: a path the operator did not touch must come back
    // byte for byte, or the zone file would be reloaded for nothing.
    std::string inboxFolder_;
    std::string zoneFile_;
    std::string addressBook_;
};
