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

CDataPage::CDataPage(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::CDataPage>()) {
    ui_->setupUi(this);
    connect(ui_->inboxFolderButton, &QPushButton::clicked, this, [this] { ChooseInboxFolder(); });
    connect(ui_->zoneFileButton, &QPushButton::clicked, this,
            [this] { ChooseFile(zoneFile_, kZoneFileFilter, QStringLiteral("maps.mrk")); });
    connect(ui_->addressBookButton, &QPushButton::clicked, this, [this] {
        ChooseFile(addressBook_, kAddressBookFilter, QStringLiteral("AddrBook.txt"));
    });
}

CDataPage::~CDataPage() = default;

void CDataPage::SetValues(const Settings& settings) {
    inboxFolder_ = settings.channelOutFolder;
    zoneFile_ = settings.qmxInfoFile;
    addressBook_ = settings.channelObj;
    ShowPaths();
}

void CDataPage::TakeValues(Settings& settings) const {
    settings.channelOutFolder = inboxFolder_;
    settings.qmxInfoFile = zoneFile_;
    settings.channelObj = addressBook_;
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
