#pragma once

#include <mutex>

#include "alerts/SoundOutput.h"

// SoundOutput on SDL2 audio: loads the WAV with SDL, queues it on a device opened in the
// file's own format and waits until the device has played it out.
class SdlSoundOutput : public SoundOutput {
public:
    SdlSoundOutput();
    ~SdlSoundOutput() override;
    SdlSoundOutput(const SdlSoundOutput&) = delete;
    SdlSoundOutput& operator=(const SdlSoundOutput&) = delete;

    bool PlayWav(const std::string& path, const ManualResetEvent* stop) override;

private:
    // SDL audio up, starting it when it is not (yet); false when it cannot start.
    bool StartAudio();
    void StopAudio();

    bool initialised_ = false;
    std::mutex mutex_;  // one play at a time through this object
};
