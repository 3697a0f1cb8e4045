#pragma once

#include <string>

class ManualResetEvent;

// Plays a WAV file synchronously. The core's sound player only needs this; the real
// implementation lives outside the core (SDL2), tests give a recording fake.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Plays the file from start to end; false when it could not be played (missing or
    // unreadable file, no sound device). When `stop` is given and becomes set, playing
    // ends early (an acknowledged alert falls silent at once); that is not a failure.
    virtual bool PlayWav(const std::string& path, const ManualResetEvent* stop) = 0;
};
