#pragma once
#include <string>

// Where the widget keeps its settings file and whatever else it writes.
//
// A copy that carries its settings with it (a `<name>.ini` or a file named
// `portable` beside the executable) keeps them there, as every unpacked zip,
// build folder and script has always done. An installed copy lives where a
// user cannot or should not write, so it keeps them in the user's roaming
// application data, under a folder of the program's own.
struct SettingsLocation {
    std::string folder;  // with its trailing backslash
    std::string file;    // folder + the settings file's name
    bool portable = false;
};

// The name of the file that asks for settings beside the executable.
inline constexpr const char* kPortableMarker = "portable";
// The folder under the roaming application data, and the file in it.
inline constexpr const char* kSettingsFolderName = "Quillbrae";
inline constexpr const char* kSettingsFileName = "quillbrae.ini";

// What the lookup found beside the executable and in the environment.
struct SettingsSurroundings {
    std::string programDirectory;  // with its trailing backslash
    std::string programName;       // as started, without directory and extension
    bool settingsBeside = false;   // programDirectory + programName + ".ini" exists
    bool markerBeside = false;     // programDirectory + "portable" exists
    std::string appData;           // the roaming application data folder; empty when unknown
};

// The rule itself, with no file system: beside the executable when asked
// for or when nothing else is known, otherwise the application data folder.
SettingsLocation ChooseSettingsLocation(const SettingsSurroundings& around);

#ifdef _WIN32
// Looks at the disk and asks Windows for the application data folder.
SettingsLocation FindSettingsLocation(const std::string& programDirectory, const std::string& programName);
// Makes the folder when it is not there yet (the application data case on a
// first save); true when it exists afterwards.
bool MakeSettingsFolder(const SettingsLocation& location);
#endif
