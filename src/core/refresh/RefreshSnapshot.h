#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/WindowLayout.h"

// What one refresh pass decided for one shown row.
struct RowSnapshot {
    int32_t objectIndex = -1;
    int32_t objectNumber = 0;
    // Texts by column id (Windows-1251); ids 0..5 carry no text.
    std::array<std::string, kColumnIdCount> texts;
    // Image indexes of the icon columns 0..5.
    std::array<int8_t, 6> icons{};
    // Row state bits (kRowSilent, kRowStaleStamp, kRowNoZone).
    int32_t state = 0;
    // The object's current position (degrees); meaningful only with `hasPosition`.
    bool hasPosition = false;
    double latitude = 0;
    double longitude = 0;
    // The state differs from the one the row was last coloured with.
    bool recolour = false;
};

// One refresh pass, handed to the window as a whole.
struct RefreshSnapshot {
    // Status-bar texts, parts 0..2 (Windows-1251).
    std::array<std::string, 3> statusTexts;
    // One row per shown object, in list order. Complete unless `stoppedEarly`.
    std::vector<RowSnapshot> rows;
    bool stoppedEarly = false;
    // Rows were rebuilt or reordered since this value: a snapshot of an older generation
    // describes rows that no longer exist in that order and must be dropped.
    uint64_t rowsGeneration = 0;
};
