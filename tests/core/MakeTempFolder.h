#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

// Makes a new, empty folder "<temp>/<stem>-XXXXXX" and returns its path with '/'
// separators (which Windows takes too); an empty string, and a test failure, when it
// cannot. The caller removes it.
inline std::string MakeTempFolder(const std::string& stem) {
#ifdef _WIN32
    const std::string base = std::filesystem::temp_directory_path().generic_string();
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = base;
        if (!path.empty() && path.back() != '/')
            path += '/';
        path += stem + "-" + std::to_string(random() % 1000000000u);
        std::error_code error;
        if (std::filesystem::create_directory(path, error))
            return path;
    }
#else
    std::string base = testing::TempDir();
    if (base.empty() || base.front() != '/')
        base = "/tmp/";
    if (base.back() != '/')
        base += '/';
    std::string pattern = base + stem + "-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr)
        return pattern;
#endif
    ADD_FAILURE() << "cannot make a temporary folder for " << stem;
    return std::string();
}
