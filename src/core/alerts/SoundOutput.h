#pragma once

#include <string>

// Plays a WAV file synchronously. The core's sound player only needs this; the real
// implementation lives outside the core (SDL2), tests give a recording fake.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Plays the file from start to end; false when it could not be played (missing or
    // unreadable file, no sound device).
    virtual bool PlayWav(const std::string& path) = 0;
};
