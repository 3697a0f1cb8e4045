#include "settings/SoundsPage.h"

#include <QFileInfo>

#include "alerts/SoundOutput.h"
#include "app/FailureReports.h"
#include "app/Prompt.h"
#include "app/QtText.h"
#include "ui_SoundsPage.h"

const QString CSoundsPage::kSoundFilter =
    QStringLiteral("Звуковой файл (*.wav)|*.wav|All Files (*.*)|*.*||");

CSoundsPage::CSoundsPage(SoundOutput& sound, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::CSoundsPage>()), sound_(sound) {
    ui_->setupUi(this);
    rows_ = {Row{AlertKind::Alarm,
                 ui_->alarmSoundEdit,
                 ui_->alarmBrowseButton,
                 ui_->alarmPlayButton,
                 {}},
             Row{AlertKind::PowerOn,
                 ui_->powerOnSoundEdit,
                 ui_->powerOnBrowseButton,
                 ui_->powerOnPlayButton,
                 {}},
             Row{AlertKind::DestinationZone,
                 ui_->destinationSoundEdit,
                 ui_->destinationBrowseButton,
                 ui_->destinationPlayButton,
                 {}},
             Row{AlertKind::ForbiddenZone,
                 ui_->forbiddenSoundEdit,
                 ui_->forbiddenBrowseButton,
                 ui_->forbiddenPlayButton,
                 {}}};
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        Row& row = rows_[static_cast<std::size_t>(i)];
        connect(row.browse, &QPushButton::clicked, this, [this, &row] { Browse(row); });
        connect(row.play, &QPushButton::clicked, this, [this, i] { PlayOrStop(i); });
    }
}

CSoundsPage::~CSoundsPage() {
    StopPlayer();
    // The threads use this page and the sound output: all of them end before the page.
    for (const auto& player : stopping_) {
        player->thread.join();
    }
}

void CSoundsPage::SetValues(const Settings& settings) {
    rows_[0].path = settings.alarmSoundPath;
    rows_[1].path = settings.puSoundPath;
    rows_[2].path = settings.specZoneSoundPath;
    rows_[3].path = settings.badZoneSoundPath;
    for (Row& row : rows_) {
        row.edit->setText(FromCp(row.path));
    }
}

void CSoundsPage::TakeValues(Settings& settings) const {
    settings.alarmSoundPath = rows_[0].path;
    settings.puSoundPath = rows_[1].path;
    settings.specZoneSoundPath = rows_[2].path;
    settings.badZoneSoundPath = rows_[3].path;
}

void CSoundsPage::Browse(Row& row) {
    const QString current = FromCp(row.path);
    const QString start = QFileInfo::exists(current) ? current : QString();
    const QString chosen = Prompt::OpenFile(this, kSoundFilter, QStringLiteral("*.wav"), start);
    if (chosen.isEmpty()) {
        return;
    }
    row.path = ToCp(chosen);
    row.edit->setText(chosen);
}

void CSoundsPage::PlayOrStop(int rowIndex) {
    if (playing_ == rowIndex) {
        StopPlayer();
    } else if (playing_ < 0) {
        StartPlayer(rowIndex);
    }
}

void CSoundsPage::StartPlayer(int rowIndex) {
    JoinEndedPlayers();
    playing_ = rowIndex;
    const unsigned generation = ++generation_;
    SetButtonsForPlaying(rowIndex);
    player_ = std::make_unique<Player>();
    Player* player = player_.get();
    const std::string path = rows_[static_cast<std::size_t>(rowIndex)].path;
    player->thread = std::thread([this, player, path, generation] {
        for (;;) {
            if (!sound_.PlayWav(path, &player->stop)) {
                // Widgets belong to the GUI thread: the failure is only reported there.
                // The generation travels through an atomic rather than inside the queued
                // call, so that the hand-over is one a thread checker can see.
                failedGeneration_.store(generation);
                QMetaObject::invokeMethod(this, "TakePlayFailure", Qt::QueuedConnection);
                break;
            }
            if (player->stop.WaitFor(1000)) {
                break;
            }
        }
        player->ended.store(true);
    });
}

void CSoundsPage::StopPlayer() {
    if (player_) {
        player_->stop.Set();
        stopping_.push_back(std::move(player_));
    }
    JoinEndedPlayers();
    if (playing_ >= 0) {
        ++generation_;
        playing_ = -1;
        SetButtonsForPlaying(-1);
    }
}

void CSoundsPage::JoinEndedPlayers() {
    for (auto it = stopping_.begin(); it != stopping_.end();) {
        if ((*it)->ended.load()) {
            (*it)->thread.join();
            it = stopping_.erase(it);
        } else {
            ++it;
        }
    }
}

void CSoundsPage::TakePlayFailure() {
    OnPlayFailed(failedGeneration_.load());
}

void CSoundsPage::OnPlayFailed(unsigned generation) {
    if (generation != generation_ || playing_ < 0) {
        return;
    }
    const QString path = FromCp(rows_[static_cast<std::size_t>(playing_)].path);
    StopPlayer();
    Prompt::Message(this, CFailureReports::SoundErrorText(path), QStringLiteral("Sentrel"),
                    Prompt::Icon::Stop);
}

void CSoundsPage::SetButtonsForPlaying(int rowIndex) {
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
        Row& row = rows_[static_cast<std::size_t>(i)];
        const bool idle = rowIndex < 0;
        row.browse->setEnabled(idle);
        row.play->setEnabled(idle || i == rowIndex);
        row.play->setText(i == rowIndex ? QStringLiteral("Stop") : QStringLiteral("Play"));
    }
}
