#include "base/SettingsLocation.h"

#ifdef _WIN32
#include <windows.h>

#include <shlobj.h>
#endif

namespace {

std::string WithTrailingSeparator(std::string folder)
{
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    return folder;
}

}  // namespace

SettingsLocation ChooseSettingsLocation(const SettingsSurroundings& around)
{
    SettingsLocation location;
    // Without an application data folder there is nowhere else to go, and
    // beside the executable is what every older copy did.
    if (around.settingsBeside || around.markerBeside || around.appData.empty()) {
        location.folder = around.programDirectory;
        location.file = location.folder + around.programName + ".ini";
        location.portable = true;
        return location;
    }
    location.folder = WithTrailingSeparator(around.appData) + kSettingsFolderName + "\\";
    location.file = location.folder + kSettingsFileName;
    return location;
}

#ifdef _WIN32
namespace {

bool IsFile(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string RoamingAppData()
{
    char path[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
        return path;
    return std::string();
}

}  // namespace

SettingsLocation FindSettingsLocation(const std::string& programDirectory, const std::string& programName)
{
    SettingsSurroundings around;
    around.programDirectory = programDirectory;
    around.programName = programName;
    // A folder where the file would be still counts as settings beside the
    // executable: the widget then carries on without saving, as it always did.
    around.settingsBeside =
        GetFileAttributesA((programDirectory + programName + ".ini").c_str()) != INVALID_FILE_ATTRIBUTES;
    around.markerBeside = IsFile(programDirectory + kPortableMarker);
    if (!around.settingsBeside && !around.markerBeside)
        around.appData = RoamingAppData();
    return ChooseSettingsLocation(around);
}

bool MakeSettingsFolder(const SettingsLocation& location)
{
    if (location.folder.empty())
        return false;
    std::string folder = location.folder;
    while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // The application data folder itself exists on every profile: one level is enough.
    return CreateDirectoryA(folder.c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS;
}
#endif
