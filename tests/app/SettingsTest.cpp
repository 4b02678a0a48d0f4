// The widget's settings file on the real file system: what is read, what
// is written back at close, and what is left as the file has it.
#include "app/Settings.h"
#include "base/IniText.h"
#include "base/Names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace std::string_literals;

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() / ("qb-settings-" + std::string(info->name()));
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        fs::create_directories(folder);
        path = (folder / "quillbrae.ini").string();
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    void Put(const std::string& bytes) const
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string Get() const
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::optional<std::string> Value(const char* section, const char* key) const
    {
        return IniText(Get()).Value(section, key);
    }
    // Loads the file, saves it back unchanged, and hands the settings over.
    Settings LoadAndClose() const
    {
        Settings settings;
        EXPECT_TRUE(settings.Load(path));
        EXPECT_TRUE(settings.Save().Ok());
        return settings;
    }

    fs::path folder;
    std::string path;
};

// 64 codes of 16 characters: what the README allows, over 1,024 characters.
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

TEST_F(SettingsFile, AMissingFileGivesTheDefaultsAndTheFirstSaveWritesTheOwnedKeys)
{
    Settings settings;
    EXPECT_TRUE(settings.Load((folder / "new" / "folder" / "quillbrae.ini").string()));
    EXPECT_TRUE(settings.LoadFailure().empty());
    const Settings::Values& values = settings.Current();
    // No sources named: the public ones, at their own interval.
    EXPECT_EQ(values.updateInterval, Settings::PublicUpdateInterval);
    EXPECT_EQ(values.rateUrl, "");
    EXPECT_EQ(settings.RateAddress(), names::kDefaultRateUrl);
    EXPECT_EQ(values.rateFormat, RateFormat::Auto);
    EXPECT_TRUE(values.pairs.empty());
    EXPECT_TRUE(values.alerts.empty());
    EXPECT_TRUE(values.alwaysOnTop);
    EXPECT_EQ(values.opacity, 100);

    ASSERT_TRUE(settings.Save().Ok());
    std::ifstream in(folder / "new" / "folder" / "quillbrae.ini", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const IniText written(bytes);
    EXPECT_EQ(written.Value("Quillbrae", "RateFormat"), "auto");
    // Unset and at their defaults: not written. The default sources and
    // their interval stay the program's, which a later version may move.
    for (const char* key : {"UpdateTimer", "RateUrl", "Pairs", "TrustedCertificate", "AlwaysOnTop", "Opacity"})
        EXPECT_EQ(written.Value("Quillbrae", key), std::nullopt) << key;
    EXPECT_EQ(written.Section("Alerts"), std::nullopt);
}

TEST_F(SettingsFile, ValuesAreReadWithTheirBoundsAndWrittenBackSo)
{
    struct Case {
        const char* key;
        const char* stored;
        const char* written;  // nullptr: not written
    } const cases[] = {
        {"UpdateTimer", "11000", "10000"},
        {"UpdateTimer", "60000", "60000"},
        {"UpdateTimer", "text", "10000"},
        {"UpdateTimer", "-5", "10000"},
        {"UpdateTimer", "99999999999999", "86400000"},
        {"UpdateTimer", "", nullptr},  // no RateUrl either: the public sources' own, not written
        {"RateFormat", "ECB", "ecb"},
        {"RateFormat", "xml", "auto"},
        {"RateUrl", "", nullptr},  // the default sources, which stay the program's
        {"Pairs", "USDJPY , eurusd,USDJPY", "USDJPY,eurusd"},
        {"Pairs", " , ", ","},  // empty after reading: left as it is
        {"AlwaysOnTop", "0", "0"},
        {"AlwaysOnTop", "yes", "yes"},  // no number: the default, which is not written
        {"Opacity", "10", "40"},
        {"Opacity", "250", nullptr},  // 100, the default, is not written: left as it is
        {"Opacity", "70", "70"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.stored);
        Put(std::string("[Quillbrae]\r\n") + c.key + "=" + c.stored + "\r\n");
        LoadAndClose();
        EXPECT_EQ(Value("Quillbrae", c.key), std::string(c.written ? c.written : c.stored));
    }
}

TEST_F(SettingsFile, LongValuesTheReadmeAllowsAreReadWholeAndWrittenBackWhole)
{
    const std::string pairs = LongPairs();
    ASSERT_GT(pairs.size(), 1024u);
    const std::string longUrl = "http://127.0.0.1:9/" + std::string(Settings::LongestRateUrl, 'x');
    std::string alerts = "[Alerts]\r\n";
    for (int i = 0; i < 64; ++i) {
        std::string code = "CODE" + std::to_string(i);
        code.resize(16, 'X');
        alerts += code + "=";
        for (int level = 0; level < 8; ++level)
            alerts += std::string(level ? "; " : "") + (level % 2 ? "below " : "above ") +
                      "1.000000000000000000" + std::to_string(10 + level);
        alerts += "\r\n";
    }
    ASSERT_GT(alerts.size(), 16384u);
    const std::string file = "[Quillbrae]\r\nPairs=" + pairs + "\r\nRateUrl=" + longUrl + "\r\n\r\n" + alerts;
    Put(file);

    Settings settings = LoadAndClose();
    EXPECT_EQ(settings.Current().pairs, pairs);
    EXPECT_EQ(settings.Pairs().Codes().size(), 64u);
    EXPECT_EQ(settings.Current().rateUrl, longUrl);
    EXPECT_EQ(settings.RateAddress(), names::kDefaultRateUrl) << "too long to be an address";
    EXPECT_EQ(settings.Alerts().LevelCount(), 64u * 8u);

    const IniText written(Get());
    EXPECT_EQ(written.Value("Quillbrae", "Pairs"), pairs);
    EXPECT_EQ(written.Value("Quillbrae", "RateUrl"), longUrl);
    EXPECT_NE(Get().find(alerts), std::string::npos) << "the alerts stay byte for byte";
}

TEST_F(SettingsFile, WhatTheWidgetDoesNotOwnStaysAsTheFileHasIt)
{
    Put("; written by hand\r\n"
        "[Quillbrae]\r\n"
        "UpdateTimer=60000\r\n"
        "Theme=dark ; not ours\r\n"
        "\r\n"
        "[Alerts]\r\n"
        "EURUSD=above 1.09\r\n"
        "\r\n"
        "[Other]\r\n"
        "Key=\"quoted\"\r\n");
    Settings settings;
    ASSERT_TRUE(settings.Load(path));
    // Meanwhile another program adds a section and changes an alert.
    std::string now = Get();
    now.replace(now.find("above 1.09"), 10, "above 1.10");
    Put(now + "\r\n[AddedWhileRunning]\r\nX=1\r\n");

    Settings::Values values = settings.Current();
    values.updateInterval = 30000;
    values.pairs = "GBPUSD";
    settings.Change(values);
    ASSERT_TRUE(settings.Save().Ok());

    EXPECT_EQ(Get(), "; written by hand\r\n"
                     "[Quillbrae]\r\n"
                     "UpdateTimer=30000\r\n"
                     "Theme=dark ; not ours\r\n"
                     "RateFormat=auto\r\n"
                         "Pairs=GBPUSD\r\n"
                         "\r\n"
                         "[Alerts]\r\n"
                         "EURUSD=above 1.10\r\n"
                         "\r\n"
                         "[Other]\r\n"
                         "Key=\"quoted\"\r\n"
                         "\r\n"
                         "[AddedWhileRunning]\r\n"
                         "X=1\r\n");
}

TEST_F(SettingsFile, ChangesAreWrittenAndReadBackAsGiven)
{
    Put("[Quillbrae]\r\nPairs=EURUSD\r\nTrustedCertificate=ca.pem\r\n[Alerts]\r\n; mine\r\nEURUSD=above "
        "1\r\n");
    Settings settings;
    ASSERT_TRUE(settings.Load(path));
    Settings::Values values = settings.Current();
    values.pairs = "";               // cleared: all pairs again
    values.trustedCertificate = "";  // cleared
    values.rateUrl = "http://a.example/1\r\nhttp://b.example/2";
    values.alerts = {"USDJPY=below 140", "; a comment is no entry", "[Header]", "GBPUSD=above 1.3"};
    values.alwaysOnTop = false;
    values.opacity = 5;
    values.updateInterval = 1000;
    values.placement = StoredPlacement{100, 120, 500, 400, true};
    settings.Change(values);
    EXPECT_EQ(settings.Current().rateUrl, "http://a.example/1  http://b.example/2");
    EXPECT_EQ(settings.Current().opacity, Settings::LowestOpacity);
    EXPECT_EQ(settings.Current().updateInterval, Settings::ShortestUpdateInterval);
    EXPECT_EQ(settings.Current().alerts, (std::vector<std::string>{"USDJPY=below 140", "GBPUSD=above 1.3"}));
    ASSERT_TRUE(settings.Save().Ok());

    Settings again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_TRUE(again.Current() == settings.Current());
    EXPECT_EQ(Value("Quillbrae", "Pairs"), "");
    EXPECT_EQ(Value("Quillbrae", "TrustedCertificate"), "");
    EXPECT_EQ(Value("Window", "Zoomed"), "1");
}

TEST_F(SettingsFile, AValueCutByANulIsNotWrittenBackUnlessChanged)
{
    const std::string file = "[Quillbrae]\r\nRateUrl=http://a/\0tail\r\nPairs=EURUSD\0,X\r\n"s;
    Put(file);
    Settings settings;
    ASSERT_TRUE(settings.Load(path));
    EXPECT_EQ(settings.Current().rateUrl, "http://a/");
    ASSERT_TRUE(settings.Save().Ok());
    EXPECT_NE(Get().find("RateUrl=http://a/\0tail\r\n"s), std::string::npos);
    EXPECT_NE(Get().find("Pairs=EURUSD\0,X\r\n"s), std::string::npos);

    Settings::Values values = settings.Current();
    values.rateUrl = "http://b/";
    settings.Change(values);
    ASSERT_TRUE(settings.Save().Ok());
    EXPECT_EQ(Value("Quillbrae", "RateUrl"), "http://b/");
    EXPECT_NE(Get().find("Pairs=EURUSD\0,X\r\n"s), std::string::npos);
}

TEST_F(SettingsFile, AFileThatCannotBeReadIsNeitherTakenNorReplaced)
{
    fs::create_directories(path);  // a folder where the file would be
    fs::create_directories(fs::path(path) / "inside");
    Settings settings;
    EXPECT_FALSE(settings.Load(path));
    EXPECT_NE(settings.LoadFailure().find("quillbrae.ini"), std::string::npos) << settings.LoadFailure();
    EXPECT_EQ(settings.Current().updateInterval, Settings::PublicUpdateInterval);
    WholeFileReplace saved = settings.Save();
    EXPECT_FALSE(saved.Ok());
    EXPECT_TRUE(fs::is_directory(fs::path(path) / "inside"));

    // Saved as UTF-16: the profile functions' business, not ours.
    fs::remove_all(path);
    const std::string unicode = "\xFF\xFE[\0Q\0u\0i\0l\0l\0b\0r\0a\0e\0]\0\r\0\n\0"s;
    Put(unicode);
    EXPECT_FALSE(settings.Load(path));
    EXPECT_NE(settings.LoadFailure().find("UTF-16"), std::string::npos) << settings.LoadFailure();
    EXPECT_FALSE(settings.Save().Ok());
    EXPECT_TRUE(Get() == unicode);

    // Too large to be a settings file: read as nothing, never replaced.
    fs::remove_all(path);
    const std::string huge(Settings::LargestFile + 1, ';');
    Put(huge);
    EXPECT_FALSE(settings.Load(path));
    EXPECT_FALSE(settings.Save().Ok());
    EXPECT_TRUE(Get() == huge);
}

}  // namespace
