// sentrel-wavgen: writes the four alert sounds of the demo (Alarm.wav, PowerOn.wav,
// Destination.wav, Forbidden.wav) into a folder.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "WavSynth.h"
#include "platform/FileSystem.h"

namespace {

void PrintUsage(std::FILE* to) {
    std::fputs(
        "Usage: sentrel-wavgen --out DIR [--rate HZ]\n"
        "Writes Alarm.wav (two-tone siren), PowerOn.wav (rising chirp), Destination.wav\n"
        "(two chimes) and Forbidden.wav (low buzz) into DIR: PCM, 16-bit, mono.\n"
        "\n"
        "  --out DIR    folder to write into (created if missing)\n"
        "  --rate HZ    sample rate, 8000..48000 (default 22050)\n",
        to);
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    int rate = WavSynth::kSampleRate;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "--help" || arg == "-h") {
            PrintUsage(stdout);
            return 0;
        }
        if (k + 1 >= argc) {
            PrintUsage(stderr);
            return 2;
        }
        const std::string value = argv[++k];
        if (arg == "--out") {
            folder = value;
        } else if (arg == "--rate") {
            rate = std::atoi(value.c_str());
            if (rate < 8000 || rate > 48000) {
                std::fprintf(stderr, "sentrel-wavgen: bad rate %s\n", value.c_str());
                return 2;
            }
        } else {
            PrintUsage(stderr);
            return 2;
        }
    }
    if (folder.empty()) {
        PrintUsage(stderr);
        return 2;
    }
    if (!FileSystem::MakeDirectories(folder)) {
        std::fprintf(stderr, "sentrel-wavgen: cannot create %s\n", folder.c_str());
        return 1;
    }
    for (const WavSynth::NamedSound& sound : WavSynth::kSounds) {
        const std::string path = folder + "/" + sound.fileName;
        if (!FileSystem::WriteFileAtomically(path, WavSynth::EncodeWav(sound.make(rate), rate))) {
            std::fprintf(stderr, "sentrel-wavgen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
