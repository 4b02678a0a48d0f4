// The settings dialog's checks: each field refused for what cannot be used,
// with the right part of the text to select, and taken as typed values
// otherwise.
#include "app/SettingsChecks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SettingsForm GoodForm()
{
    SettingsForm form;
    form.ratePages = "http://127.0.0.1:8080/rate/neo/rate.asp";
    form.interval = "12";
    form.pairs = "";
    form.alerts = "";
    form.opacity = "100";
    return form;
}

struct FieldCase {
    const char* name;
    SettingsField field;
    std::string text;
    bool ok;
    std::string selected;  // the part of the text selected when refused
};

void Put(SettingsForm& form, SettingsField field, const std::string& text)
{
    switch (field) {
    case SettingsField::RatePages:
        form.ratePages = text;
        break;
    case SettingsField::Interval:
        form.interval = text;
        break;
    case SettingsField::Pairs:
        form.pairs = text;
        break;
    case SettingsField::Alerts:
        form.alerts = text;
        break;
    case SettingsField::Opacity:
        form.opacity = text;
        break;
    case SettingsField::None:
        break;
    }
}

const std::string TwoAlerts = "EURUSD=above 1.09; below 1.05\r\nUSDJPY = below 140";

const FieldCase FieldCases[] = {
    {"one address", SettingsField::RatePages, "https://www.ecb.europa.eu/x.xml", true, ""},
    {"addresses a line", SettingsField::RatePages, "http://a/\r\n\r\n  https://b:8443/c  \r\n", true, ""},
    {"addresses on one line", SettingsField::RatePages, "http://a/ https://b/", true, ""},
    {"scheme in capitals", SettingsField::RatePages, "HTTPS://a/", true, ""},
    {"empty", SettingsField::RatePages, "  \r\n ", false, "  \r\n "},
    {"ftp", SettingsField::RatePages, "http://a/\r\nftp://b/c", false, "ftp://b/c"},
    {"no scheme", SettingsField::RatePages, "www.ecb.europa.eu/x.xml", false, "www.ecb.europa.eu/x.xml"},
    {"file", SettingsField::RatePages, "file:///c:/rates.txt", false, "file:///c:/rates.txt"},
    {"no host", SettingsField::RatePages, "http:///rates", false, "http:///rates"},
    {"bad port", SettingsField::RatePages, "http://a/ http://b:70000/", false, "http://b:70000/"},
    {"seventeen addresses", SettingsField::RatePages,
     [] {
         std::string text;
         for (int i = 0; i < 17; ++i)
             text += "http://h" + std::to_string(i) + "/\n";
         return text;
     }(),
     false, "http://h16/\n"},
    {"too long in all", SettingsField::RatePages, "http://a/" + std::string(2100, 'x'), false,
     "http://a/" + std::string(2100, 'x')},

    {"ten seconds", SettingsField::Interval, "10", true, ""},
    {"a day", SettingsField::Interval, " 86400 ", true, ""},
    {"letters", SettingsField::Interval, "abc", false, "abc"},
    {"five", SettingsField::Interval, "5", false, "5"},
    {"nine", SettingsField::Interval, "9", false, "9"},
    {"a day and a second", SettingsField::Interval, "86401", false, "86401"},
    {"fraction", SettingsField::Interval, "12.5", false, "12.5"},
    {"negative", SettingsField::Interval, "-20", false, "-20"},
    {"empty interval", SettingsField::Interval, "", false, ""},
    {"huge", SettingsField::Interval, "99999999999999999999", false, "99999999999999999999"},
    {"trailing letters", SettingsField::Interval, "12s", false, "12s"},

    {"no pairs", SettingsField::Pairs, "", true, ""},
    {"two pairs", SettingsField::Pairs, " GBPUSD,USDJPY ", true, ""},
    {"repeat and empties", SettingsField::Pairs, "EURUSD,,eurusd, ", true, ""},
    {"blank inside", SettingsField::Pairs, "EURUSD, GBP USD", false, "GBP USD"},
    {"semicolons", SettingsField::Pairs, "EURUSD;GBPUSD", false, "EURUSD;GBPUSD"},
    {"overlong code", SettingsField::Pairs, "EURUSD, ABCDEFGHIJKLMNOPQ", false, "ABCDEFGHIJKLMNOPQ"},
    {"sixty-five pairs", SettingsField::Pairs,
     [] {
         std::string text;
         for (int i = 0; i < 65; ++i)
             text += "P" + std::to_string(i) + ",";
         return text;
     }(),
     false, ""},

    {"no alerts", SettingsField::Alerts, "\r\n", true, ""},
    {"two alerts", SettingsField::Alerts, TwoAlerts, true, ""},
    {"no equals", SettingsField::Alerts, "EURUSD=above 1\r\nUSDJPY below 140", false, "USDJPY below 140"},
    {"unknown word", SettingsField::Alerts, "EURUSD=sideways 3", false, "EURUSD=sideways 3"},
    {"one part of two bad", SettingsField::Alerts, "EURUSD=above 1.09; beneath 1.05", false,
     "EURUSD=above 1.09; beneath 1.05"},
    {"figure with letters", SettingsField::Alerts, "EURUSD=above 1.09x", false, "EURUSD=above 1.09x"},
    {"figure in exponent form", SettingsField::Alerts, "EURUSD=above 1e-3", false, "EURUSD=above 1e-3"},
    {"zero level", SettingsField::Alerts, "EURUSD=below 0", false, "EURUSD=below 0"},
    {"no levels", SettingsField::Alerts, "EURUSD=", false, "EURUSD="},
    {"no code", SettingsField::Alerts, " =above 1", false, "=above 1"},
    {"comment-like code", SettingsField::Alerts, ";EURUSD=above 1", false, ";EURUSD=above 1"},
    {"nine levels", SettingsField::Alerts,
     "A=above 1;above 2;above 3;above 4;above 5;above 6;above 7;above 8;above 9", false,
     "A=above 1;above 2;above 3;above 4;above 5;above 6;above 7;above 8;above 9"},

    {"forty", SettingsField::Opacity, "40", true, ""},
    {"hundred", SettingsField::Opacity, "100", true, ""},
    {"thirty-nine", SettingsField::Opacity, "39", false, "39"},
    {"hundred and one", SettingsField::Opacity, "101", false, "101"},
    {"percent sign", SettingsField::Opacity, "70%", false, "70%"},
    {"empty opacity", SettingsField::Opacity, "", false, ""},
};

TEST(SettingsChecks, EachFieldIsTakenOrRefusedWithItsPartSelected)
{
    for (const FieldCase& c : FieldCases) {
        SettingsForm form = GoodForm();
        Put(form, c.field, c.text);
        SettingsCheck check = CheckSettings(form);
        EXPECT_EQ(check.Ok(), c.ok) << c.name << ": " << check.problem;
        if (c.ok || check.Ok())
            continue;
        EXPECT_EQ(check.field, c.field) << c.name;
        EXPECT_FALSE(check.problem.empty()) << c.name;
        ASSERT_LE(check.problemBegin, check.problemEnd) << c.name;
        ASSERT_LE(check.problemEnd, c.text.size()) << c.name;
        if (!c.selected.empty() || c.text.empty())
            EXPECT_EQ(c.text.substr(check.problemBegin, check.problemEnd - check.problemBegin), c.selected)
                << c.name;
        else
            EXPECT_LT(check.problemBegin, check.problemEnd) << c.name;
    }
}

TEST(SettingsChecks, WordsSayWhatIsWrong)
{
    struct Case {
        SettingsField field;
        const char* text;
        const char* words;
    } cases[] = {
        {SettingsField::RatePages, "ftp://a/", "http or https"},
        {SettingsField::Interval, "abc", "whole number"},
        {SettingsField::Interval, "5", "At least 10 seconds"},
        {SettingsField::Alerts, "EURUSD=sideways 3", "CODE=above X; below X"},
        {SettingsField::Opacity, "20", "from 40 to 100"},
    };
    for (const Case& c : cases) {
        SettingsForm form = GoodForm();
        Put(form, c.field, c.text);
        SettingsCheck check = CheckSettings(form);
        EXPECT_NE(check.problem.find(c.words), std::string::npos) << c.text << ": " << check.problem;
    }
}

TEST(SettingsChecks, TheFirstFieldInTheDialogsOrderIsTheOneRefused)
{
    SettingsForm form = GoodForm();
    form.opacity = "5";
    form.interval = "5";
    EXPECT_EQ(CheckSettings(form).field, SettingsField::Interval);
    form.ratePages = "gopher://a/";
    EXPECT_EQ(CheckSettings(form).field, SettingsField::RatePages);
}

TEST(SettingsChecks, AGoodFormGivesTypedValues)
{
    SettingsForm form;
    form.ratePages = "https://www.ecb.europa.eu/stats/eurofxref/eurofxref-daily.xml\r\n"
                     "https://api.frankfurter.dev/v1/latest\r\n";
    form.interval = " 30 ";
    form.pairs = "GBPUSD, usdjpy, GBPUSD";
    form.alerts = TwoAlerts + "\r\n\r\n";
    form.startWithWindows = true;
    form.alwaysOnTop = false;
    form.opacity = "70";
    SettingsCheck check = CheckSettings(form);
    ASSERT_TRUE(check.Ok()) << check.problem;
    const SettingsValues& v = check.values;
    EXPECT_EQ(v.rateUrls,
              (std::vector<std::string>{"https://www.ecb.europa.eu/stats/eurofxref/eurofxref-daily.xml",
                                        "https://api.frankfurter.dev/v1/latest"}));
    EXPECT_EQ(v.intervalMs, 30000u);
    EXPECT_EQ(v.pairs.Text(), "GBPUSD,usdjpy");
    EXPECT_EQ(v.alertEntries,
              (std::vector<std::string>{"EURUSD=above 1.09; below 1.05", "USDJPY=below 140"}));
    EXPECT_EQ(v.alerts.LevelCount(), 3u);
    EXPECT_TRUE(v.alerts.Watches("usdjpy"));
    EXPECT_TRUE(v.startWithWindows);
    EXPECT_FALSE(v.alwaysOnTop);
    EXPECT_EQ(v.opacityPercent, 70);
    EXPECT_EQ(v.alpha, 179);
}

TEST(SettingsChecks, OpacityBecomesAlphaRounded)
{
    const std::pair<int, int> table[] = {{40, 102}, {50, 128}, {70, 179}, {99, 252}, {100, 255}};
    for (const auto& row : table)
        EXPECT_EQ(OpacityAlpha(row.first), row.second) << row.first;
}

TEST(SettingsChecks, SettingsValuesAndDialogTextsGoBothWays)
{
    // What the dialog shows of the settings file checks again to the same values.
    const std::string rateUrl = "http://a/x  https://b/y";
    EXPECT_EQ(RatePagesText(rateUrl), "http://a/x\r\nhttps://b/y");
    EXPECT_EQ(RatePagesText(""), "");

    const std::string block("EURUSD=above 1.09; below 1.05\0USDJPY=below 140\0\0", 48);
    EXPECT_EQ(AlertsText(block), "EURUSD=above 1.09; below 1.05\r\nUSDJPY=below 140");

    SettingsForm form = GoodForm();
    form.ratePages = RatePagesText(rateUrl);
    form.pairs = PairsText(PairFilter::Parse("GBPUSD,USDJPY"));
    EXPECT_EQ(form.pairs, "GBPUSD, USDJPY");
    form.alerts = AlertsText(block);
    SettingsCheck check = CheckSettings(form);
    ASSERT_TRUE(check.Ok()) << check.problem;
    EXPECT_EQ(RateUrlValue(check.values.rateUrls), "http://a/x https://b/y");
    EXPECT_EQ(check.values.pairs.Text(), "GBPUSD,USDJPY");
    EXPECT_EQ(AlertsSection(check.values.alertEntries), block);
    EXPECT_EQ(AlertsSection({}), std::string(1, '\0'));
}

TEST(SettingsChecks, ThePublicDefaultsPassTheirOwnCheck)
{
    SettingsForm form = GoodForm();
    form.ratePages = PublicRatePagesText();
    SettingsCheck check = CheckSettings(form);
    ASSERT_TRUE(check.Ok()) << check.problem;
    ASSERT_EQ(check.values.rateUrls.size(), 2u);
    EXPECT_EQ(check.values.rateUrls[0], kPublicRateUrls[0]);
    EXPECT_EQ(check.values.rateUrls[1], kPublicRateUrls[1]);
}

TEST(SettingsChecks, ThePairChooserListsTheChosenFirstThenTheOffered)
{
    std::vector<PairChoice> choices = PairChoices(" usdjpy, NZDUSD", {"EURUSD", "USDJPY", "GBPUSD", ""});
    ASSERT_EQ(choices.size(), 4u);
    const char* const codes[] = {"usdjpy", "NZDUSD", "EURUSD", "GBPUSD"};
    const bool chosen[] = {true, true, false, false};
    for (size_t i = 0; i < choices.size(); ++i) {
        EXPECT_EQ(choices[i].code, codes[i]);
        EXPECT_EQ(choices[i].chosen, chosen[i]) << i;
    }
    // Untick one, tick another and move it first: the field follows.
    choices[1].chosen = false;
    choices[3].chosen = true;
    std::swap(choices[0], choices[3]);
    EXPECT_EQ(ChosenPairsText(choices), "GBPUSD, usdjpy");
    EXPECT_EQ(ChosenPairsText(PairChoices("", {"EURUSD"})), "");
}

}  // namespace
