#pragma once
#include "base/IniText.h"

#include <optional>

// The main window's restored rectangle and maximised state as the settings
// file's "Window" section keeps them, in physical pixels. A figure that is
// missing or holds no number is unknown (the window then takes its first-run
// default); one out of range is pulled to the nearest bound, so that left +
// width can never overflow; a width or height of zero or less is unknown.
struct StoredPlacement {
    // Far beyond any real desktop.
    static constexpr long CoordinateLimit = 1L << 20;
    static constexpr long SizeLimit = 1L << 16;

    std::optional<long> left, top, width, height;
    bool zoomed = false;

    bool operator==(const StoredPlacement& other) const
    {
        return left == other.left && top == other.top && width == other.width && height == other.height &&
               zoomed == other.zoomed;
    }
    bool operator!=(const StoredPlacement& other) const { return !(*this == other); }
};

StoredPlacement ReadPlacement(const IniText& settings);
// Writes the known figures, and "Zoomed" with any of them; unknown ones
// stay as the file has them.
void WritePlacement(IniText& settings, const StoredPlacement& placement);
