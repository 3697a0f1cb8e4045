// The alert sound player: repeats, switches, stops, and its failure and re-arming rules,
// with a recording output and with the real SDL output on the dummy driver.
#include <stdlib.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "ConsoleTestSupport.h"
#ifdef SENTREL_WITH_AUDIO
#include "SdlSoundOutput.h"
#endif
#include "alerts/SoundPlayer.h"

using namespace consoletest;

namespace {

const std::array<std::string, 4> kPaths = {kAlarmWav, kPowerOnWav, kForbiddenWav, kDestinationWav};

struct PlayerRig {
    explicit PlayerRig(SoundOutput& output)
        : player(output, stop, [this](const std::string& path) {
              std::lock_guard<std::mutex> lock(mutex);
              ++errors;
              failedPaths.push_back(path);
          }) {}
    int Errors() {
        std::lock_guard<std::mutex> lock(mutex);
        return errors;
    }
    ManualResetEvent stop;
    std::mutex mutex;
    int errors = 0;
    std::vector<std::string> failedPaths;
    CSoundPlayer player;
};

#ifdef SENTREL_WITH_AUDIO
// A mono 16-bit PCM WAV of `ms` milliseconds of a quiet tone, written from the RIFF
// layout. A high rate keeps SDL's device buffer (4096 frames) short, and with it the
// time the dummy driver takes to close a device.
std::string ToneWav(int ms) {
    const int rate = 44100;
    const int samples = rate * ms / 1000;
    auto u32 = [](uint32_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    };
    auto u16 = [](uint16_t v) {
        return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    };
    std::string data;
    for (int k = 0; k < samples; ++k)
        data += u16(static_cast<uint16_t>((k / 8) % 2 == 0 ? 1000 : -1000));
    std::string fmt = u16(1) + u16(1) + u32(rate) + u32(rate * 2) + u16(2) + u16(16);
    std::string body = "WAVE" + std::string("fmt ") + u32(16) + fmt + "data" +
                       u32(static_cast<uint32_t>(data.size())) + data;
    return "RIFF" + u32(static_cast<uint32_t>(body.size())) + body;
}
#endif

// Forwards to the real output and records what was asked and what it answered.
class RecordingOutput : public SoundOutput {
public:
    explicit RecordingOutput(SoundOutput& inner) : inner_(inner) {}
    bool PlayWav(const std::string& path, const ManualResetEvent* stop) override {
        const bool ok = inner_.PlayWav(path, stop);
        std::lock_guard<std::mutex> lock(mutex_);
        plays_.emplace_back(path, ok);
        return ok;
    }
    std::vector<std::pair<std::string, bool>> plays() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return plays_;
    }

private:
    SoundOutput& inner_;
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, bool>> plays_;
};

}  // namespace

TEST(SoundPlayerTest, RepeatsWithAPauseAndSwitchesAtTheNextCycle) {
    FakeSound sound;
    PlayerRig rig(sound);
    rig.player.SetPaths(kPaths);
    EXPECT_EQ(rig.player.soundKind(), -1);

    rig.player.StartSound(AlertKind::ForbiddenZone);
    std::this_thread::sleep_for(std::chrono::milliseconds(550));
    // About one play per 105 ms (5 ms of sound, 100 ms of pause).
    const std::size_t plays = sound.playCount();
    EXPECT_GE(plays, 2u);
    EXPECT_LE(plays, 7u);

    rig.player.StartSound(AlertKind::DestinationZone);
    EXPECT_TRUE(WaitUntil([&] { return sound.lastPlay() == kDestinationWav; }));
    EXPECT_EQ(rig.player.soundKind(), 3);
    EXPECT_EQ(sound.maxConcurrent(), 1);

    rig.player.Acknowledge();
    EXPECT_EQ(rig.player.soundKind(), -1);
    EXPECT_TRUE(WaitUntil([&] { return !rig.player.IsRunning(); }));
    const std::size_t after = sound.playCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(sound.playCount(), after);
    EXPECT_EQ(rig.Errors(), 0);
}

TEST(SoundPlayerTest, BrokenFileIsReportedOnceAndSilencesNoOtherKind) {
    FakeSound sound;
    sound.SetFailing(kPowerOnWav);
    PlayerRig rig(sound);
    rig.player.SetPaths(kPaths);

    rig.player.StartSound(AlertKind::DestinationZone);
    EXPECT_TRUE(WaitUntil([&] { return sound.CountOf(kDestinationWav) >= 1; }));
    // The power-on file fails: reported, and the destination sound goes on.
    rig.player.StartSound(AlertKind::PowerOn);
    EXPECT_TRUE(WaitUntil([&] { return rig.Errors() == 1; }));
    {
        // The report names the file that failed.
        std::lock_guard<std::mutex> lock(rig.mutex);
        EXPECT_EQ(rig.failedPaths, std::vector<std::string>{kPowerOnWav});
    }
    const std::size_t before = sound.CountOf(kDestinationWav);
    EXPECT_TRUE(WaitUntil([&] { return sound.CountOf(kDestinationWav) > before; }));
    EXPECT_EQ(rig.player.soundKind(), 3);
    // Tried again at the next such alert, without a second report.
    rig.player.StartSound(AlertKind::PowerOn);
    EXPECT_TRUE(WaitUntil([&] { return sound.CountOf(kPowerOnWav) == 2; }));
    EXPECT_TRUE(WaitUntil([&] { return rig.player.soundKind() == 3; }));
    EXPECT_TRUE(rig.player.IsRunning());
    EXPECT_EQ(rig.Errors(), 1);

    // Nothing to fall back on: the run ends, the kind stays, a new report after the
    // acknowledgement; the next alert tries again and plays once the output can.
    rig.player.Acknowledge();
    rig.player.StartSound(AlertKind::PowerOn);
    EXPECT_TRUE(WaitUntil([&] { return rig.Errors() == 2; }));
    EXPECT_TRUE(WaitUntil([&] { return !rig.player.IsRunning(); }));
    EXPECT_EQ(rig.player.soundKind(), 1);
    sound.SetFailing(kPowerOnWav, false);
    rig.player.StartSound(AlertKind::PowerOn);
    EXPECT_TRUE(WaitUntil([&] { return sound.CountOf(kPowerOnWav) >= 5; }));
    EXPECT_EQ(rig.Errors(), 2);
    EXPECT_EQ(sound.maxConcurrent(), 1);
}

TEST(SoundPlayerTest, PendingAlarmKeepsItsSoundUntilAcknowledged) {
    FakeSound sound;
    PlayerRig rig(sound);
    rig.player.SetPaths(kPaths);
    rig.player.StartSound(AlertKind::Alarm);
    EXPECT_TRUE(WaitUntil([&] { return sound.playCount() >= 1; }));
    rig.player.StartSound(AlertKind::PowerOn);
    rig.player.StartSound(AlertKind::DestinationZone);
    rig.player.StartSound(AlertKind::ForbiddenZone);
    const std::size_t before = sound.playCount();
    EXPECT_TRUE(WaitUntil([&] { return sound.playCount() >= before + 3; }));
    EXPECT_EQ(rig.player.soundKind(), 0);
    EXPECT_EQ(sound.CountOf(kAlarmWav), sound.playCount());

    rig.player.Acknowledge();
    rig.player.StartSound(AlertKind::PowerOn);
    EXPECT_TRUE(WaitUntil([&] { return sound.lastPlay() == kPowerOnWav; }));

    // An alarm whose file cannot be played does not keep the others silent.
    rig.player.Acknowledge();
    EXPECT_TRUE(WaitUntil([&] { return !rig.player.IsRunning(); }));
    sound.SetFailing(kAlarmWav);
    rig.player.StartSound(AlertKind::Alarm);
    EXPECT_TRUE(WaitUntil([&] { return rig.Errors() == 1; }));
    rig.player.StartSound(AlertKind::ForbiddenZone);
    EXPECT_TRUE(WaitUntil([&] { return sound.lastPlay() == kForbiddenWav; }));
    EXPECT_EQ(rig.player.soundKind(), 2);
}

TEST(SoundPlayerTest, SoundStoppedWithoutAcknowledgementReturnsWithTheNextAlert) {
    FakeSound sound;
    PlayerRig rig(sound);
    rig.player.SetPaths(kPaths);
    rig.player.StartSound(AlertKind::DestinationZone);
    EXPECT_TRUE(WaitUntil([&] { return sound.playCount() >= 1; }));

    // What the settings dialog does: the event alone, the kind stays.
    rig.stop.Set();
    EXPECT_TRUE(WaitUntil([&] { return !rig.player.IsRunning(); }));
    EXPECT_EQ(rig.player.soundKind(), 3);
    const std::size_t silent = sound.playCount();

    rig.player.StartSound(AlertKind::PowerOn);
    EXPECT_TRUE(WaitUntil([&] { return sound.playCount() > silent; }));
    EXPECT_EQ(sound.lastPlay(), kPowerOnWav);
    EXPECT_FALSE(rig.stop.IsSet());
    EXPECT_EQ(sound.maxConcurrent(), 1);
}

TEST(SoundPlayerTest, DestructionInterruptsALongSound) {
    FakeSound sound;
    sound.SetPlayMs(60000);
    const auto started = std::chrono::steady_clock::now();
    {
        PlayerRig rig(sound);
        rig.player.SetPaths(kPaths);
        rig.player.StartSound(AlertKind::Alarm);
        EXPECT_TRUE(WaitUntil([&] { return sound.playCount() == 1; }));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

#ifdef SENTREL_WITH_AUDIO
TEST(SoundPlayerTest, RealOutputPlaysRepeatsSwitchesAndStops) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    TempFolder dir;
    const std::string alarm = dir.path() + "/alarm.wav";
    const std::string powerOn = dir.path() + "/pu.wav";
    WriteFile(alarm, ToneWav(50));
    WriteFile(powerOn, ToneWav(30));

    SdlSoundOutput sdl;
    RecordingOutput output(sdl);
    PlayerRig rig(output);
    rig.player.SetPaths({alarm, powerOn, alarm, alarm});

    rig.player.StartSound(AlertKind::ForbiddenZone);
    EXPECT_TRUE(WaitUntil([&] { return output.plays().size() >= 2; }, 10000));
    rig.player.StartSound(AlertKind::PowerOn);
    EXPECT_TRUE(WaitUntil(
        [&] {
            const auto plays = output.plays();
            return !plays.empty() && plays.back().first == powerOn;
        },
        10000));
    rig.player.Acknowledge();
    EXPECT_TRUE(WaitUntil([&] { return !rig.player.IsRunning(); }, 10000));
    const auto plays = output.plays();
    for (const auto& [path, ok] : plays)
        EXPECT_TRUE(ok) << path;
    EXPECT_EQ(plays.front().first, alarm);
    EXPECT_EQ(plays[1].first, alarm);
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(output.plays().size(), plays.size());
    EXPECT_EQ(rig.Errors(), 0);

    // A missing file: one error report, no retries.
    rig.player.SetPaths({dir.path() + "/missing.wav", powerOn, alarm, alarm});
    rig.player.StartSound(AlertKind::Alarm);
    EXPECT_TRUE(WaitUntil([&] { return rig.Errors() == 1; }, 10000));
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(rig.Errors(), 1);
    EXPECT_EQ(output.plays().size(), plays.size() + 1);
    EXPECT_FALSE(output.plays().back().second);
}

TEST(SoundPlayerTest, RealOutputTriesAudioAgainAndRefusesAFifo) {
    TempFolder dir;
    const std::string wav = dir.path() + "/tone.wav";
    WriteFile(wav, ToneWav(20));
    const char* saved = std::getenv("SDL_AUDIODRIVER");
    const std::string savedValue = saved ? saved : "dummy";

    // Audio that cannot start now (no such driver) ...
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SdlSoundOutput sdl;
    EXPECT_FALSE(sdl.PlayWav(wav, nullptr));
    // ... plays once it can.
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    EXPECT_TRUE(sdl.PlayWav(wav, nullptr));

    // A FIFO in place of the file fails at once instead of hanging the player.
    const std::string fifo = dir.path() + "/fifo.wav";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_FALSE(sdl.PlayWav(fifo, nullptr));
    ::setenv("SDL_AUDIODRIVER", savedValue.c_str(), 1);
}
#endif  // SENTREL_WITH_AUDIO
