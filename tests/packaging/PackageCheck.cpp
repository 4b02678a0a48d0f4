// What a Windows user gets from scripts/package, checked in a Wine prefix of
// its own that nothing else has touched (package-check runs the phases):
//   Installed.*    the silent installer, the installed widget, an install over it
//   Uninstalled.*  after the silent uninstaller and the Wine server's end
//   Reinstalled.*, UninstalledAgain.*
//                  the same with "Start with Windows" held by another copy
//   Unzipped.*     the portable zip, unpacked
// QB_INSTALLER is the installer, QB_ZIP_DIR the unpacked zip (Unix or
// Windows paths).
#include "base/Names.h"
#include "tests/support/LocalFeed.h"
#include "tests/support/ProcessWindow.h"
#include "tests/support/SettingsFile.h"
#include "tests/support/SharedFile.h"
#include "tests/support/Wait.h"
#include "tests/support/WidgetProcess.h"
#include "tests/support/WinePath.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? WinePath(value) : std::string();
}

std::string KnownFolder(int csidl)
{
    char path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : "";
}

std::string InstallFolder()
{
    return KnownFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Quillbrae";
}
std::string InstalledExe()
{
    return InstallFolder() + "\\quillbrae.exe";
}
std::string Shortcut()
{
    return KnownFolder(CSIDL_PROGRAMS) + "\\Quillbrae.lnk";
}
std::string SettingsFolder()
{
    return KnownFolder(CSIDL_APPDATA) + "\\Quillbrae";
}
std::string SettingsFile()
{
    return SettingsFolder() + "\\quillbrae.ini";
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Contents(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool SameNoCase(std::string a, std::string b)
{
    auto lower = [](std::string& s) { std::transform(s.begin(), s.end(), s.begin(), ::tolower); };
    lower(a);
    lower(b);
    return a == b;
}

// A value under HKEY_CURRENT_USER: text, or the number as text for a DWORD;
// "<missing>" when it is not there.
std::string RegistryValue(const char* key, const char* name)
{
    DWORD type = 0;
    char text[4096] = {};
    DWORD size = sizeof(text) - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, text, &size) !=
        ERROR_SUCCESS)
        return "<missing>";
    if (type == REG_DWORD)
        return "dword:" + std::to_string(*reinterpret_cast<DWORD*>(text));
    return text;
}

bool KeyExists(const char* key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

std::string Uninstall(const char* name)
{
    return RegistryValue(names::kUninstallKeyPath, name);
}
std::string RunValue()
{
    return RegistryValue(names::kRunKeyPath, names::kRunValueName);
}

// The executable's own version resource: the string table's FileVersion
// and ProductVersion, and the fixed part as "a.b.c.d".
struct VersionResource {
    std::string file, product, fixed;
};

VersionResource VersionOf(const std::string& exe)
{
    VersionResource version;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
    if (size == 0)
        return version;
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(exe.c_str(), 0, size, data.data()))
        return version;
    auto text = [&](const char* name) {
        char* value = nullptr;
        UINT length = 0;
        std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
        return VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) &&
                       length > 0
                   ? std::string(value)
                   : std::string();
    };
    version.file = text("FileVersion");
    version.product = text("ProductVersion");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed != nullptr)
        version.fixed = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                        std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                        std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                        std::to_string(LOWORD(fixed->dwFileVersionLS));
    return version;
}

// A program started with nothing inherited: no pipes for a process it
// starts in turn (Wine's desktop, started by the first window of a new
// server) to hold open. Killed when the object goes, unless it has ended.
class Started {
public:
    // `switches` go on the command line as given: an installer reads "/S"
    // only unquoted.
    bool Start(const std::string& program, const std::string& switches = std::string())
    {
        std::string line = "\"" + program + "\"" + (switches.empty() ? "" : " " + switches);
        std::string folder = program.substr(0, program.find_last_of('\\'));
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started{};
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                            &started))
            return false;
        CloseHandle(started.hThread);
        process = started.hProcess;
        id = started.dwProcessId;
        return true;
    }
    ~Started()
    {
        if (process != nullptr) {
            if (Running())
                TerminateProcess(process, 1);
            CloseHandle(process);
        }
    }
    Started() = default;
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;

    bool Running() const { return process != nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }
    bool WaitExit(std::chrono::milliseconds limit) const
    {
        return process != nullptr &&
               WaitForSingleObject(process, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
    }
    // -1 until it has ended.
    int ExitCode() const
    {
        DWORD code = STILL_ACTIVE;
        if (process == nullptr || !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE)
            return -1;
        return static_cast<int>(code);
    }
    DWORD Id() const { return id; }

private:
    HANDLE process = nullptr;
    DWORD id = 0;
};

// Runs an installer or uninstaller to its end: its exit code, or -1 when it
// did not start or end within two minutes.
int RunToEnd(const std::string& program, const std::string& switches)
{
    Started run;
    if (!run.Start(program, switches) || !run.WaitExit(120s))
        return -1;
    return run.ExitCode();
}

// A widget started from `exe`, in its own folder, with its window found.
struct RunningWidget {
    Started process;
    HWND window = nullptr;

    bool Start(const std::string& exe)
    {
        return process.Start(exe) &&
               WaitUntil(
                   [&] { return (window = FindProcessWindow(process.Id(), names::kMainWindowClass, true)); },
                   30s);
    }

    // WM_CLOSE, as the system and the installer send it, then the process
    // must end by itself within the deadline: true when it did with code 0.
    bool Close()
    {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return process.WaitExit(30s) && process.ExitCode() == 0;
    }
};

// The settings an installed widget reads: the local feed, and a place away
// from the middle of the screen.
void WriteInstalledSettings(const std::string& rateUrl)
{
    CreateDirectoryA(SettingsFolder().c_str(), nullptr);
    WriteSetting(SettingsFile(), names::kWidgetSection, names::kRateUrlKey, rateUrl.c_str());
    WriteSetting(SettingsFile(), names::kWidgetSection, names::kUpdateTimerKey, "10000");
    WriteSetting(SettingsFile(), names::kPlacementSection, names::kMainLeftKey, "600");
    WriteSetting(SettingsFile(), names::kPlacementSection, names::kMainTopKey, "500");
    WriteSetting(SettingsFile(), names::kPlacementSection, names::kMainWidthKey, "520");
    WriteSetting(SettingsFile(), names::kPlacementSection, names::kMainHeightKey, "300");
}

const std::set<std::string> InstalledFiles = {"quillbrae.exe", "README.txt", "uninstall.exe"};

}  // namespace

TEST(Installed, TheSilentInstallerPutsTheWidgetItsShortcutAndItsEntryInPlace)
{
    const std::string installer = Environment("QB_INSTALLER");
    ASSERT_FALSE(installer.empty()) << "QB_INSTALLER is not set";
    ASSERT_FALSE(Exists(InstallFolder())) << "the prefix is not fresh";

    ASSERT_EQ(RunToEnd(installer, "/S"), 0);

    EXPECT_EQ(FileNamesIn(InstallFolder()), InstalledFiles);
    EXPECT_TRUE(Exists(Shortcut())) << Shortcut();

    VersionResource version = VersionOf(InstalledExe());
    EXPECT_FALSE(version.product.empty());
    EXPECT_EQ(Uninstall("DisplayVersion"), version.product);
    EXPECT_EQ(Uninstall("DisplayVersion"), version.file);
    EXPECT_EQ(version.fixed, version.product + ".0");

    EXPECT_EQ(Uninstall("DisplayName"), "Quillbrae");
    EXPECT_EQ(Uninstall("Publisher"), "Quillbrae developers");
    EXPECT_TRUE(SameNoCase(Uninstall("DisplayIcon"), InstalledExe() + ",0")) << Uninstall("DisplayIcon");
    EXPECT_TRUE(SameNoCase(Uninstall("InstallLocation"), InstallFolder())) << Uninstall("InstallLocation");
    const std::string uninstaller = "\"" + InstallFolder() + "\\uninstall.exe\"";
    EXPECT_TRUE(SameNoCase(Uninstall("UninstallString"), uninstaller)) << Uninstall("UninstallString");
    EXPECT_TRUE(SameNoCase(Uninstall("QuietUninstallString"), uninstaller + " /S"))
        << Uninstall("QuietUninstallString");
    EXPECT_EQ(Uninstall("NoModify"), "dword:1");
    EXPECT_EQ(Uninstall("NoRepair"), "dword:1");
    // In KiB: the widget alone is more than a hundred.
    std::string size = Uninstall("EstimatedSize");
    ASSERT_EQ(size.rfind("dword:", 0), 0u) << size;
    EXPECT_GT(std::stoul(size.substr(6)), 100u);
    EXPECT_LT(std::stoul(size.substr(6)), 100000u);

    // The installer leaves the settings to the widget.
    EXPECT_FALSE(Exists(SettingsFolder()));
}

TEST(Installed, TheFirstCloseMakesTheSettingsFolderInTheApplicationData)
{
    ASSERT_TRUE(Exists(InstalledExe()));
    ASSERT_FALSE(Exists(SettingsFolder()));
    RunningWidget widget;
    ASSERT_TRUE(widget.Start(InstalledExe()));
    ASSERT_TRUE(widget.Close()) << "the widget did not end cleanly on WM_CLOSE";
    EXPECT_NE(ReadSetting(SettingsFile(), names::kPlacementSection, names::kMainWidthKey), "<missing>");
    EXPECT_EQ(FileNamesIn(InstallFolder()), InstalledFiles);
}

TEST(Installed, TheInstalledWidgetKeepsItsSettingsInTheApplicationDataAndRunsOnce)
{
    ASSERT_TRUE(Exists(InstalledExe()));
    LocalFeed feed({"--port", "0", "--seed", "7"});
    ASSERT_NE(feed.WaitListening(60s), 0) << feed.Errors();
    WriteInstalledSettings(feed.Url());

    RunningWidget widget;
    ASSERT_TRUE(widget.Start(InstalledExe()));
    EXPECT_TRUE(WaitUntil([&] { return WidgetShowsRates(widget.window); }, 30s)) << "no rates on the screen";

    // A second start on the same settings ends at once; one window stays.
    Started second;
    ASSERT_TRUE(second.Start(InstalledExe()));
    EXPECT_TRUE(second.WaitExit(10s)) << "the second start is still running";
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_EQ(VisibleWidgetWindows(), 1);
    EXPECT_TRUE(widget.process.Running());

    // "Start with Windows" points at the installed executable.
    PostMessageA(widget.window, WM_COMMAND, names::kStartWithWindowsCommand, 0);
    EXPECT_TRUE(WaitUntil([&] { return SameNoCase(RunValue(), "\"" + InstalledExe() + "\""); }, 10s))
        << RunValue();

    ASSERT_TRUE(widget.Close()) << "the widget did not end cleanly on WM_CLOSE";
    // It saved where it read, and nothing beside itself.
    EXPECT_EQ(ReadSetting(SettingsFile(), names::kPlacementSection, names::kMainLeftKey), "600");
    EXPECT_EQ(ReadSetting(SettingsFile(), names::kWidgetSection, names::kRateUrlKey), feed.Url());
    EXPECT_NE(ReadSetting(SettingsFile(), names::kPlacementSection, names::kZoomedKey), "<missing>");
    EXPECT_EQ(FileNamesIn(InstallFolder()), InstalledFiles);
    EXPECT_EQ(FileNamesIn(SettingsFolder()).count("quillbrae.ini"), 1u);
}

TEST(Installed, InstallingAgainClosesTheRunningWidgetSoItSavesAndKeepsItsSettings)
{
    const std::string installer = Environment("QB_INSTALLER");
    LocalFeed feed({"--port", "0", "--seed", "7"});
    ASSERT_NE(feed.WaitListening(60s), 0) << feed.Errors();
    WriteInstalledSettings(feed.Url());

    RunningWidget widget;
    ASSERT_TRUE(widget.Start(InstalledExe()));
    // Moved since it started: only a save at close puts this in the file.
    SetWindowPos(widget.window, nullptr, 480, 420, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(WaitUntil(
        [&] {
            RECT r{};
            return GetWindowRect(widget.window, &r) && r.left == 480;
        },
        10s));

    ASSERT_EQ(RunToEnd(installer, "/S"), 0);
    EXPECT_TRUE(widget.process.WaitExit(30s)) << "the installer left the widget running";
    EXPECT_EQ(widget.process.ExitCode(), 0);
    EXPECT_EQ(ReadSetting(SettingsFile(), names::kPlacementSection, names::kMainLeftKey), "480");
    EXPECT_EQ(ReadSetting(SettingsFile(), names::kWidgetSection, names::kRateUrlKey), feed.Url());
    EXPECT_EQ(FileNamesIn(InstallFolder()), InstalledFiles);
    EXPECT_TRUE(SameNoCase(RunValue(), "\"" + InstalledExe() + "\"")) << RunValue();
}

TEST(Uninstalled, TheSilentUninstallerRemovedAllButTheSettings)
{
    EXPECT_FALSE(Exists(InstalledExe()));
    EXPECT_FALSE(Exists(InstallFolder()));
    EXPECT_FALSE(Exists(Shortcut()));
    EXPECT_FALSE(KeyExists(names::kUninstallKeyPath));
    EXPECT_EQ(RunValue(), "<missing>");
    EXPECT_EQ(ReadSetting(SettingsFile(), names::kPlacementSection, names::kMainLeftKey), "480");
    EXPECT_NE(ReadSetting(SettingsFile(), names::kWidgetSection, names::kRateUrlKey), "<missing>");
}

TEST(Unzipped, ThePortableCopyKeepsItsSettingsBesideItself)
{
    const std::string folder = Environment("QB_ZIP_DIR");
    ASSERT_FALSE(folder.empty()) << "QB_ZIP_DIR is not set";
    EXPECT_EQ(FileNamesIn(folder), (std::set<std::string>{"quillbrae.exe", "README.txt", "portable"}));
    EXPECT_EQ(Contents(folder + "\\portable"), "");
    EXPECT_NE(Contents(folder + "\\README.txt").find("Quillbrae"), std::string::npos);
    const std::string before = Contents(SettingsFile());

    RunningWidget widget;
    ASSERT_TRUE(widget.Start(folder + "\\quillbrae.exe"));
    ASSERT_TRUE(widget.Close());

    const std::string beside = folder + "\\quillbrae.ini";
    EXPECT_NE(ReadSetting(beside, names::kPlacementSection, names::kMainWidthKey), "<missing>");
    EXPECT_EQ(Contents(SettingsFile()), before) << "the installed copy's settings were touched";
}

// Installed once more, with "Start with Windows" held by a copy elsewhere:
// the uninstaller must leave that value alone.
const char* const ElsewhereCommand = "\"C:\\Portable\\Quillbrae\\quillbrae.exe\"";

TEST(Reinstalled, StartWithWindowsOfAnotherCopyIsSetBeforeUninstalling)
{
    ASSERT_EQ(RunToEnd(Environment("QB_INSTALLER"), "/S"), 0);
    ASSERT_TRUE(Exists(InstalledExe()));
    HKEY run = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, names::kRunKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &run, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(run, names::kRunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(ElsewhereCommand),
                   static_cast<DWORD>(std::strlen(ElsewhereCommand) + 1));
    RegCloseKey(run);
    ASSERT_EQ(RunValue(), ElsewhereCommand);
}

TEST(UninstalledAgain, StartWithWindowsOfAnotherCopyStays)
{
    EXPECT_FALSE(Exists(InstalledExe()));
    EXPECT_FALSE(KeyExists(names::kUninstallKeyPath));
    EXPECT_EQ(RunValue(), ElsewhereCommand);
}
