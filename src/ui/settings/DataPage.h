#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "settings/Settings.h"

namespace Ui {
class CDataPage;
}

// "Данные": the inbox folder, the zone file, the address book and the map's base layer
// ("Подложка карты": an MBTiles file or a tile server's address; either may be typed or
// cleared), and how many days the track store keeps its points.
class CDataPage : public QWidget {
    Q_OBJECT

public:
    static const QString kZoneFileFilter;
    static const QString kAddressBookFilter;
    static const QString kBaseMapFilter;

    explicit CDataPage(QWidget* parent = nullptr);
    ~CDataPage() override;

    void SetValues(const Settings& settings);
    // ChannelOutFolder, QMXInfoFile, ChannelObj, BaseMapFile, BaseMapUrl and TrackKeepDays.
    void TakeValues(Settings& settings) const;

private:
    void ChooseInboxFolder();
    void ChooseFile(std::string& path, const QString& filter, const QString& defaultName);
    void ShowPaths();
    // The edit's text as bytes: those it was given when the text is still theirs.
    static std::string EditedText(const QString& text, const std::string& original);

    std::unique_ptr<Ui::CDataPage> ui_;
    // Kept as the original bytes: a path the operator did not touch must come back
    // byte for byte, or the zone file would be reloaded for nothing.
    std::string inboxFolder_;
    std::string zoneFile_;
    std::string addressBook_;
    std::string baseMapFile_;
    std::string baseMapUrl_;
};
