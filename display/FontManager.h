#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

// Every font description the system reported for one script, in the order
// of enumeration (one face may appear under several scripts).
struct FontData {
    std::vector<LOGFONTA> logFonts;
};

// The catalogue of installed fonts, keyed by script name in byte order.
// Built once, on first use, and kept for the life of the process: building
// a Font never enumerates the system's fonts again.
class FontManager {
public:
    // The process's catalogue; the first call enumerates the fonts. Safe to
    // call from any thread (the first caller builds, the others wait).
    static FontManager& GetInstance();

    // The first description whose face name equals `face` exactly (case
    // matters), visiting the scripts in key order; null when there is none.
    const LOGFONTA* Find(const std::string& face) const;

    std::map<std::string, FontData> fonts;

private:
    FontManager();
};
