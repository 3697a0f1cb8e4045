#include "SdlSoundOutput.h"

#include <SDL.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/ManualResetEvent.h"
#include "platform/Platform.h"

SdlSoundOutput::SdlSoundOutput() {
    // Without this hint SDL installs its own SIGINT/SIGTERM handlers and the outside
    // close request never reaches the window.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    StartAudio();
}

SdlSoundOutput::~SdlSoundOutput() {
    StopAudio();
}

bool SdlSoundOutput::StartAudio() {
    if (!initialised_)
        initialised_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return initialised_;
}

void SdlSoundOutput::StopAudio() {
    if (initialised_)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    initialised_ = false;
}

bool SdlSoundOutput::PlayWav(const std::string& path, const ManualResetEvent* stop) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Audio that could not start (no sound server yet at log-in, say) is tried again at
    // every play rather than given up for the whole run.
    if (!StartAudio())
        return false;
    // The file is read by our own reader, which refuses FIFOs and devices instead of
    // waiting on them: a play must never hang before it can see the stop event.
    std::string bytes;
    if (!FileSystem::ReadWholeFile(path, bytes) || bytes.size() > INT32_MAX)
        return false;
    if (stop != nullptr && stop->IsSet())
        return true;
    SDL_AudioSpec format;
    Uint8* buffer = nullptr;
    Uint32 length = 0;
    SDL_RWops* source = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    if (source == nullptr || SDL_LoadWAV_RW(source, 1, &format, &buffer, &length) == nullptr)
        return false;

    SDL_AudioSpec obtained;
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &format, &obtained, 0);
    if (device == 0) {
        SDL_FreeWAV(buffer);
        // The device may have gone with its driver (a sound server restarted): the next
        // play starts SDL audio afresh.
        StopAudio();
        return false;
    }
    const bool queued = SDL_QueueAudio(device, buffer, length) == 0;
    SDL_FreeWAV(buffer);
    if (!queued) {
        SDL_CloseAudioDevice(device);
        return false;
    }
    SDL_PauseAudioDevice(device, 0);

    // Wait until the queue is drained, then for the device's own buffer to play out.
    const int bytesPerFrame =
        SDL_AUDIO_BITSIZE(format.format) / 8 * (format.channels ? format.channels : 1);
    const double bytesPerMs = format.freq > 0 ? format.freq * bytesPerFrame / 1000.0 : 0.0;
    const auto deadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(bytesPerMs > 0 ? static_cast<long>(length / bytesPerMs) + 5000
                                                 : 5000);
    auto pause = [stop](int ms) {
        if (stop != nullptr)
            return stop->WaitFor(ms);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return false;
    };
    bool stopped = false;
    while (!stopped && SDL_GetQueuedAudioSize(device) > 0 &&
           std::chrono::steady_clock::now() < deadline) {
        stopped = pause(10);
    }
    const int tailMs =
        obtained.freq > 0 ? static_cast<int>(1000.0 * obtained.samples / obtained.freq) : 0;
    if (!stopped)
        pause(tailMs);
    SDL_CloseAudioDevice(device);
    return true;
}
