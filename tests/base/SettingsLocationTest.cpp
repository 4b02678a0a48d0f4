#include "base/SettingsLocation.h"
#include "base/InstanceName.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(SettingsLocation, BesideTheExecutableWhenAskedForOtherwiseApplicationData)
{
    const std::string exeDir = "C:\\Tools\\Quillbrae\\";
    const std::string appData = "C:\\Users\\ada\\AppData\\Roaming";
    struct Case {
        const char* name;
        bool settingsBeside;
        bool markerBeside;
        std::string appData;
        std::string folder;
        std::string file;
        bool portable;
    };
    const Case cases[] = {
        {"settings file beside", true, false, appData, exeDir, exeDir + "quillbrae.ini", true},
        {"marker beside", false, true, appData, exeDir, exeDir + "quillbrae.ini", true},
        {"both beside", true, true, appData, exeDir, exeDir + "quillbrae.ini", true},
        {"nothing beside", false, false, appData, appData + "\\Quillbrae\\",
         appData + "\\Quillbrae\\quillbrae.ini", false},
        {"nothing beside, trailing slash", false, false, appData + "\\", appData + "\\Quillbrae\\",
         appData + "\\Quillbrae\\quillbrae.ini", false},
        {"nothing beside, no application data", false, false, "", exeDir, exeDir + "quillbrae.ini", true},
    };
    for (const Case& c : cases) {
        SettingsSurroundings around;
        around.programDirectory = exeDir;
        around.programName = "quillbrae";
        around.settingsBeside = c.settingsBeside;
        around.markerBeside = c.markerBeside;
        around.appData = c.appData;
        SettingsLocation location = ChooseSettingsLocation(around);
        EXPECT_EQ(location.folder, c.folder) << c.name;
        EXPECT_EQ(location.file, c.file) << c.name;
        EXPECT_EQ(location.portable, c.portable) << c.name;
        // Whatever else is written goes where the settings are.
        EXPECT_EQ(location.file.compare(0, location.folder.size(), location.folder), 0) << c.name;
    }
}

TEST(SettingsLocation, ARenamedPortableCopyKeepsItsOwnFileButAnInstalledOneTheCommonName)
{
    SettingsSurroundings around;
    around.programDirectory = "D:\\usb\\";
    around.programName = "fx";
    around.markerBeside = true;
    around.appData = "C:\\Roaming";
    EXPECT_EQ(ChooseSettingsLocation(around).file, "D:\\usb\\fx.ini");

    around.markerBeside = false;
    EXPECT_EQ(ChooseSettingsLocation(around).file, "C:\\Roaming\\Quillbrae\\quillbrae.ini");
}

TEST(InstanceName, OneNamePerSettingsFileWhateverTheSpelling)
{
    const std::string name = InstanceName("C:\\Users\\ada\\AppData\\Roaming\\Quillbrae\\quillbrae.ini");
    EXPECT_EQ(name, InstanceName("c:\\users\\ADA\\appdata\\roaming\\quillbrae\\QUILLBRAE.INI"));
    EXPECT_EQ(name, InstanceName("C:/Users/ada/AppData/Roaming/Quillbrae/quillbrae.ini"));
    EXPECT_EQ(name.rfind("Quillbrae-", 0), 0u);
    EXPECT_EQ(name.size(), 26u);
    EXPECT_EQ(name.find_first_not_of("0123456789abcdef", 10), std::string::npos);
}

TEST(InstanceName, DifferentFilesGetDifferentNames)
{
    const char* paths[] = {
        "C:\\Users\\ada\\AppData\\Roaming\\Quillbrae\\quillbrae.ini",
        "D:\\usb\\quillbrae.ini",
        "D:\\usb2\\quillbrae.ini",
        "D:\\usb\\quillbrae.in",
        "D:\\usb\\fx.ini",
        "",
    };
    std::set<std::string> names;
    for (const char* path : paths)
        names.insert(InstanceName(path));
    EXPECT_EQ(names.size(), std::size(paths));
    // A path far beyond MAX_PATH still gives a short name.
    EXPECT_EQ(InstanceName(std::string(40000, 'x')).size(), 26u);
}
