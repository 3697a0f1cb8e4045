#pragma once

// The command line of a benchmark ("--name value" and "--flag") and its stopwatch.

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace bench {

using Steady = std::chrono::steady_clock;

inline double Ms(Steady::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The value after `name`, or null when it is not given.
inline const char* TextArg(int argc, char** argv, const char* name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return argv[i + 1];
    }
    return nullptr;
}

inline int Arg(int argc, char** argv, const char* name, int fallback) {
    const char* text = TextArg(argc, argv, name);
    return text != nullptr ? std::atoi(text) : fallback;
}

inline bool Flag(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return true;
    }
    return false;
}

}  // namespace bench
