#include "settings/DataPage.h"

#include <QDir>
#include <QFileInfo>

#include "app/Prompt.h"
#include "app/QtText.h"
#include "ui_DataPage.h"

const QString CDataPage::kZoneFileFilter =
    QStringLiteral("Файл с контрольными районами (maps.mrk)|maps.mrk|All Files (*.*)|*.*||");
const QString CDataPage::kAddressBookFilter =
    QStringLiteral("Файл с адресной книгой (AddrBook.txt)|AddrBook.txt|All Files (*.*)|*.*||");

const QString CDataPage::kBaseMapFilter =
    QStringLiteral("Подложка карты (*.mbtiles)|*.mbtiles|All Files (*.*)|*.*||");

CDataPage::CDataPage(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::CDataPage>()) {
    ui_->setupUi(this);
    connect(ui_->inboxFolderButton, &QPushButton::clicked, this, [this] { ChooseInboxFolder(); });
    connect(ui_->zoneFileButton, &QPushButton::clicked, this,
            [this] { ChooseFile(zoneFile_, kZoneFileFilter, QStringLiteral("maps.mrk")); });
    connect(ui_->addressBookButton, &QPushButton::clicked, this, [this] {
        ChooseFile(addressBook_, kAddressBookFilter, QStringLiteral("AddrBook.txt"));
    });
    connect(ui_->baseMapFileButton, &QPushButton::clicked, this, [this] {
        const QString current = ui_->baseMapFileEdit->text();
        const QString start = QFileInfo::exists(current) ? current : QString();
        const QString chosen = Prompt::OpenFile(this, kBaseMapFilter, QString(), start);
        if (!chosen.isEmpty()) {
            ui_->baseMapFileEdit->setText(chosen);
        }
    });
}

CDataPage::~CDataPage() = default;

void CDataPage::SetValues(const Settings& settings) {
    inboxFolder_ = settings.channelOutFolder;
    zoneFile_ = settings.qmxInfoFile;
    addressBook_ = settings.channelObj;
    baseMapFile_ = settings.baseMapFile;
    baseMapUrl_ = settings.baseMapUrl;
    ShowPaths();
    ui_->baseMapFileEdit->setText(FromCp(baseMapFile_));
    ui_->baseMapUrlEdit->setText(FromCp(baseMapUrl_));
    ui_->trackKeepDaysSpin->setValue(settings.trackKeepDays);
}

void CDataPage::TakeValues(Settings& settings) const {
    settings.channelOutFolder = inboxFolder_;
    settings.qmxInfoFile = zoneFile_;
    settings.channelObj = addressBook_;
    settings.baseMapFile = EditedText(ui_->baseMapFileEdit->text(), baseMapFile_);
    settings.baseMapUrl = EditedText(ui_->baseMapUrlEdit->text(), baseMapUrl_);
    settings.trackKeepDays = ui_->trackKeepDaysSpin->value();
}

std::string CDataPage::EditedText(const QString& text, const std::string& original) {
    if (text == FromCp(original)) {
        return original;
    }
    // A line break would split the line of Sentrel.ini; blanks around a path are typos.
    QString value = text.trimmed();
    value.remove('\r');
    value.remove('\n');
    return ToCp(value);
}

void CDataPage::ChooseInboxFolder() {
    const QString current = FromCp(inboxFolder_);
    const QString start = QDir(current).exists() ? current : QString();
    QString folder =
        Prompt::ChooseFolder(this, QStringLiteral("Выберите папку с отчетами..."), start);
    if (folder.isEmpty()) {
        return;
    }
    if (!folder.endsWith('/')) {
        folder += '/';
    }
    inboxFolder_ = ToCp(folder);
    ShowPaths();
}

void CDataPage::ChooseFile(std::string& path, const QString& filter, const QString& defaultName) {
    const QString current = FromCp(path);
    const QString start = QFileInfo::exists(current) ? current : QString();
    const QString chosen = Prompt::OpenFile(this, filter, defaultName, start);
    if (chosen.isEmpty()) {
        return;
    }
    path = ToCp(chosen);
    ShowPaths();
}

void CDataPage::ShowPaths() {
    ui_->inboxFolderEdit->setText(FromCp(inboxFolder_));
    ui_->zoneFileEdit->setText(FromCp(zoneFile_));
    ui_->addressBookEdit->setText(FromCp(addressBook_));
}
