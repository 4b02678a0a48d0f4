// The widget's own executable and its settings file under Wine: long values
// and sections of others survive a run and a close, and a close on a full
// disk leaves the old file byte for byte. The full disk is a small tmpfs the
// script full-disk-check mounts (QB_FULL_DISK_DIR); without it that case is
// skipped.
#include "base/Names.h"
#include "tests/support/SharedFile.h"
#include "tests/support/TestFolder.h"
#include "tests/support/WidgetProcess.h"
#include "tests/support/WinePath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

const std::string WidgetExe = WinePath(QB_WIDGET_EXE);
const std::string WorkRoot = WinePath(QB_WORK_DIR);

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

// A value as Wine's own profile reader hands it over, however long.
std::string ProfileValue(const std::string& file, const char* section, const char* key)
{
    std::vector<char> text(1 << 16, '\0');
    DWORD length = GetPrivateProfileStringA(section, key, "<missing>", text.data(),
                                            static_cast<DWORD>(text.size()), file.c_str());
    return std::string(text.data(), length);
}

// 64 codes of 16 characters, which the README allows: over 1,024 characters.
std::string LongPairs()
{
    std::string pairs;
    for (int i = 0; i < 64; ++i) {
        std::string code = "PAIR" + std::to_string(i);
        code.resize(16, 'X');
        pairs += (i ? "," : "") + code;
    }
    return pairs;
}

// 63 alert lines, as in the file a full disk once cut.
std::string AlertSection()
{
    std::string section = "[Alerts]\r\n";
    for (int i = 0; i < 63; ++i)
        section += "PAIR" + std::to_string(i) + "=above 1.2345; below 1.0123\r\n";
    return section;
}

// Nothing listens on port 9 of loopback: every download fails at once.
std::string Nowhere()
{
    return std::string("http://127.0.0.1:9") + names::kDefaultRatePath;
}

TEST(SettingsUnderWine, LongValuesAndSectionsOfOthersSurviveARunAndAClose)
{
    WidgetProcess widget(WidgetExe, TestFolder(WorkRoot));
    const std::string pairs = LongPairs();
    const std::string longUrl = Nowhere() + "?" + std::string(2100, 'q');
    const std::string before =
        "; kept by hand\r\n"
        "[Window]\r\nMainLeft=700\r\nMainTop=500\r\nMainWidth=540\r\nMainHeight=420\r\n\r\n"
        "[Quillbrae]\r\nUpdateTimer=11000\r\nRateUrl=" +
        longUrl + "\r\nPairs=" + pairs + "\r\nTheme=dark\r\n\r\n" + AlertSection() +
        "\r\n[Other]\r\nKey=\"quoted value\"\r\n";
    WriteBytes(widget.ini, before);
    ASSERT_TRUE(widget.Start());
    // Another program adds a section while the widget runs.
    WriteBytes(widget.ini, ReadBytes(widget.ini) + "\r\n[AddedWhileRunning]\r\nX=1\r\n");
    ASSERT_TRUE(widget.ExitCleanly());

    const std::string after = ReadBytes(widget.ini);
    EXPECT_EQ(ProfileValue(widget.ini, "Quillbrae", "Pairs"), pairs) << "read whole, written back whole";
    EXPECT_EQ(ProfileValue(widget.ini, "Quillbrae", "RateUrl"), longUrl)
        << "too long to use, so left as it is";
    EXPECT_EQ(ProfileValue(widget.ini, "Quillbrae", "UpdateTimer"), "10000")
        << "owned keys still written back";
    EXPECT_EQ(ProfileValue(widget.ini, "Quillbrae", "RateFormat"), "auto");
    EXPECT_EQ(ProfileValue(widget.ini, "Quillbrae", "Theme"), "dark");
    EXPECT_EQ(ProfileValue(widget.ini, "Other", "Key"), "quoted value");
    EXPECT_EQ(ProfileValue(widget.ini, "AddedWhileRunning", "X"), "1");
    EXPECT_NE(after.find(AlertSection()), std::string::npos) << "the alerts stay byte for byte";
    EXPECT_EQ(after.rfind("; kept by hand\r\n", 0), 0u);
    EXPECT_NE(after.find("Key=\"quoted value\"\r\n"), std::string::npos);

    // And again: a file written by the widget reads the same the next time.
    ASSERT_TRUE(widget.Start());
    ASSERT_TRUE(widget.ExitCleanly());
    EXPECT_EQ(ReadBytes(widget.ini), after);
}

// Fills the disk that holds `folder` to the last byte; returns the filler.
std::string FillDisk(const std::string& folder)
{
    const std::string filler = folder + "\\filler";
    HANDLE file =
        CreateFileA(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    const std::string block(1 << 16, 'f');
    for (DWORD size = static_cast<DWORD>(block.size()); size > 0; size /= 2) {
        DWORD written = 0;
        while (WriteFile(file, block.data(), size, &written, nullptr) && written == size) {
        }
    }
    CloseHandle(file);
    return filler;
}

TEST(SettingsOnAFullDisk, ACloseKeepsTheOldFileByteForByte)
{
    const char* mounted = std::getenv("QB_FULL_DISK_DIR");
    if (mounted == nullptr)
        GTEST_SKIP() << "no small disk mounted (tests/app/full-disk-check mounts one)";
    const std::string folder = WinePath(mounted) + "\\widget";
    CreateDirectoryA(folder.c_str(), nullptr);
    WidgetProcess widget(WidgetExe, folder);
    // UpdateTimer=11000 is written back as 10000: the close has a save to make.
    const std::string before =
        "[Window]\r\nMainLeft=700\r\nMainTop=500\r\nMainWidth=540\r\nMainHeight=420\r\n\r\n"
        "[Quillbrae]\r\nUpdateTimer=11000\r\nRateUrl=" +
        Nowhere() + "\r\n\r\n" + AlertSection();
    WriteBytes(widget.ini, before);
    ASSERT_TRUE(widget.Start());
    const std::string filler = FillDisk(folder);
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExA(folder.c_str(), &free, nullptr, nullptr));
    EXPECT_LT(free.QuadPart, 4096u) << "the disk is not full";

    ASSERT_TRUE(widget.ExitCleanly());
    EXPECT_TRUE(ReadBytes(widget.ini) == before) << "the old file changed";
    const std::set<std::string> found = FileNamesIn(folder);
    std::vector<std::string> names(found.begin(), found.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"filler", "portable", "quillbrae.exe", "quillbrae.ini"}))
        << "a temporary file was left behind";

    // With room again, the same close writes the file.
    ASSERT_TRUE(DeleteFileA(filler.c_str()));
    ASSERT_TRUE(widget.Start());
    ASSERT_TRUE(widget.ExitCleanly());
    const std::string after = ReadBytes(widget.ini);
    EXPECT_EQ(ProfileValue(widget.ini, "Quillbrae", "UpdateTimer"), "10000");
    EXPECT_NE(after.find(AlertSection()), std::string::npos);
}

}  // namespace
