#pragma once

// The four alert sounds of the demo, computed rather than recorded, and the RIFF/WAVE
// container they are written in (PCM, 16-bit, mono). Header-only so that the tests can
// check the very bytes the generator writes.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace WavSynth {

constexpr int kSampleRate = 22050;
constexpr double kPi = 3.14159265358979323846;

using Samples = std::vector<double>;  // -1..1

// Short linear fades at both ends: a sound that starts or stops mid-wave clicks.
inline void FadeEdges(Samples& s, int sampleRate, double seconds = 0.01) {
    const std::size_t n = std::min(s.size() / 2, static_cast<std::size_t>(seconds * sampleRate));
    for (std::size_t k = 0; k < n; ++k) {
        const double g = static_cast<double>(k) / static_cast<double>(n);
        s[k] *= g;
        s[s.size() - 1 - k] *= g;
    }
}

// Fast two-tone siren: 960 and 770 Hz alternating every 125 ms, with a few odd
// harmonics so that it cuts through a busy room.
inline Samples Alarm(int sampleRate = kSampleRate) {
    const double seconds = 1.25;
    Samples s(static_cast<std::size_t>(seconds * sampleRate));
    double phase = 0;
    for (std::size_t k = 0; k < s.size(); ++k) {
        const double t = static_cast<double>(k) / sampleRate;
        // Glide over 8 ms between the tones instead of jumping.
        const double cycle = std::fmod(t, 0.25);
        double mix = cycle < 0.125 ? 0.0 : 1.0;
        const double edge = cycle < 0.125 ? cycle : cycle - 0.125;
        if (edge < 0.008)
            mix = cycle < 0.125 ? 1.0 - edge / 0.008 : edge / 0.008;
        const double f = 960.0 + (770.0 - 960.0) * mix;
        phase += 2 * kPi * f / sampleRate;
        s[k] = 0.55 * (std::sin(phase) + std::sin(3 * phase) / 3 + std::sin(5 * phase) / 5);
    }
    FadeEdges(s, sampleRate);
    return s;
}

// Rising chirp 350 -> 1600 Hz (exponential sweep), then a short held top note.
inline Samples PowerOn(int sampleRate = kSampleRate) {
    const double sweep = 0.9;
    const double hold = 0.25;
    Samples s(static_cast<std::size_t>((sweep + hold) * sampleRate));
    double phase = 0;
    for (std::size_t k = 0; k < s.size(); ++k) {
        const double t = static_cast<double>(k) / sampleRate;
        const double f = t < sweep ? 350.0 * std::pow(1600.0 / 350.0, t / sweep) : 1600.0;
        phase += 2 * kPi * f / sampleRate;
        s[k] = 0.6 * std::sin(phase) + 0.15 * std::sin(2 * phase);
    }
    FadeEdges(s, sampleRate, 0.03);
    return s;
}

// Two soft chimes, a falling major third (E6, C6): bell-like partials with an
// exponential decay.
inline Samples Destination(int sampleRate = kSampleRate) {
    const double seconds = 1.4;
    Samples s(static_cast<std::size_t>(seconds * sampleRate), 0.0);
    const double starts[2] = {0.0, 0.5};
    const double pitches[2] = {1318.5, 1046.5};
    for (int c = 0; c < 2; ++c) {
        const auto first = static_cast<std::size_t>(starts[c] * sampleRate);
        for (std::size_t k = first; k < s.size(); ++k) {
            const double t = static_cast<double>(k - first) / sampleRate;
            const double attack = std::min(1.0, t / 0.004);
            const double f = pitches[c];
            s[k] += attack * 0.45 *
                    (std::exp(-t * 4.0) * std::sin(2 * kPi * f * t) +
                     0.35 * std::exp(-t * 7.0) * std::sin(2 * kPi * 2.76 * f * t) +
                     0.15 * std::exp(-t * 10.0) * std::sin(2 * kPi * 5.4 * f * t));
        }
    }
    FadeEdges(s, sampleRate, 0.05);
    return s;
}

// Low buzz: a 110 Hz band-limited sawtooth, three pulses.
inline Samples Forbidden(int sampleRate = kSampleRate) {
    const double seconds = 1.2;
    Samples s(static_cast<std::size_t>(seconds * sampleRate));
    for (std::size_t k = 0; k < s.size(); ++k) {
        const double t = static_cast<double>(k) / sampleRate;
        double v = 0;
        for (int h = 1; h <= 24; ++h)
            v += std::sin(2 * kPi * 110.0 * h * t) / h;
        // 300 ms on, 100 ms off, with 10 ms ramps.
        const double cycle = std::fmod(t, 0.4);
        double gate = cycle < 0.3 ? 1.0 : 0.0;
        if (cycle < 0.01)
            gate = cycle / 0.01;
        else if (cycle >= 0.29 && cycle < 0.3)
            gate = (0.3 - cycle) / 0.01;
        s[k] = 0.38 * gate * v;
    }
    FadeEdges(s, sampleRate);
    return s;
}

inline void PutU16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void PutU32(std::string& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// A complete WAV file: RIFF header, "fmt " chunk (PCM, mono, 16 bits), "data" chunk.
inline std::string EncodeWav(const Samples& samples, int sampleRate = kSampleRate) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    PutU32(out, 36 + dataBytes);
    out += "WAVE";
    out += "fmt ";
    PutU32(out, 16);  // size of the fmt chunk
    PutU16(out, 1);   // PCM
    PutU16(out, 1);   // mono
    PutU32(out, static_cast<uint32_t>(sampleRate));
    PutU32(out, static_cast<uint32_t>(sampleRate) * 2);  // bytes per second
    PutU16(out, 2);                                      // bytes per frame
    PutU16(out, 16);                                     // bits per sample
    out += "data";
    PutU32(out, dataBytes);
    for (const double x : samples) {
        const double clipped = std::clamp(x, -1.0, 1.0);
        const auto v = static_cast<int16_t>(std::lround(clipped * 32767.0));
        PutU16(out, static_cast<uint16_t>(v));
    }
    return out;
}

struct NamedSound {
    const char* fileName;
    Samples (*make)(int sampleRate);
};

// The files the demo's Sentrel.ini names, one per alert kind.
inline const NamedSound kSounds[4] = {
    {"Alarm.wav", Alarm},
    {"PowerOn.wav", PowerOn},
    {"Destination.wav", Destination},
    {"Forbidden.wav", Forbidden},
};

}  // namespace WavSynth
