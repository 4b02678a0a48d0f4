#include "app/SettingsChecks.h"

#include "base/Text.h"
#include "http/Url.h"

#include <algorithm>
#include <iterator>
#include <optional>

namespace {

using namespace settings_limits;

// One piece of a field's text, with where it stands in the field.
struct Piece {
    std::string_view text;
    size_t begin;
};

// The pieces of `text` between any of `separators`, blanks around each
// dropped, empty ones left out.
std::vector<Piece> Pieces(std::string_view text, std::string_view separators)
{
    std::vector<Piece> pieces;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find_first_of(separators, at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view raw = text.substr(at, end - at);
        std::string_view trimmed = TrimSpace(raw);
        if (!trimmed.empty())
            pieces.push_back(Piece{trimmed, at + static_cast<size_t>(trimmed.data() - raw.data())});
        at = end + 1;
    }
    return pieces;
}

SettingsCheck Refuse(SettingsField field, std::string problem, size_t begin, size_t end)
{
    SettingsCheck check;
    check.field = field;
    check.problem = std::move(problem);
    check.problemBegin = begin;
    check.problemEnd = end;
    return check;
}

SettingsCheck RefuseAll(SettingsField field, std::string problem, std::string_view text)
{
    return Refuse(field, std::move(problem), 0, text.size());
}

// A whole decimal number of at most nine digits, blanks around it allowed.
bool ReadWholeNumber(std::string_view text, uint32_t& value)
{
    text = TrimSpace(text);
    if (text.empty() || text.size() > 9)
        return false;
    uint32_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + static_cast<uint32_t>(c - '0');
    }
    value = number;
    return true;
}

// What a code may hold: it is written as a settings key and value, so no
// blanks, separators or brackets.
bool IsCodeText(std::string_view code)
{
    return !code.empty() && std::all_of(code.begin(), code.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
               c == '_' || c == '-' || c == '/';
    });
}

std::optional<SettingsCheck> CheckRatePages(std::string_view text, SettingsValues& values)
{
    std::vector<Piece> pages = Pieces(text, " \t\r\n");
    if (pages.empty())
        return RefuseAll(SettingsField::RatePages, "Give at least one address, or press Defaults.", text);
    if (pages.size() > MostRateUrls)
        return Refuse(SettingsField::RatePages, "At most " + std::to_string(MostRateUrls) + " addresses.",
                      pages[MostRateUrls].begin, text.size());
    for (const Piece& page : pages) {
        Url url;
        UrlError error = ParseUrl(std::string(page.text), url);
        const char* why = error == UrlError::Scheme   ? "Not an http or https address."
                          : error == UrlError::NoHost ? "No host in this address."
                          : error == UrlError::Port   ? "The port must be a number from 1 to 65535."
                                                      : nullptr;
        if (why != nullptr)
            return Refuse(SettingsField::RatePages, why, page.begin, page.begin + page.text.size());
        values.rateUrls.emplace_back(page.text);
    }
    if (RateUrlValue(values.rateUrls).size() > LongestRateUrlValue)
        return RefuseAll(SettingsField::RatePages,
                         "Too long: at most " + std::to_string(LongestRateUrlValue) + " characters in all.",
                         text);
    return std::nullopt;
}

std::optional<SettingsCheck> CheckInterval(std::string_view text, SettingsValues& values)
{
    uint32_t seconds = 0;
    if (!ReadWholeNumber(text, seconds))
        return RefuseAll(SettingsField::Interval, "A whole number of seconds, please.", text);
    if (seconds < ShortestIntervalSeconds)
        return RefuseAll(SettingsField::Interval,
                         "At least " + std::to_string(ShortestIntervalSeconds) + " seconds.", text);
    if (seconds > LongestIntervalSeconds)
        return RefuseAll(SettingsField::Interval,
                         "At most " + std::to_string(LongestIntervalSeconds) + " seconds (a day).", text);
    values.intervalMs = seconds * 1000u;
    return std::nullopt;
}

std::optional<SettingsCheck> CheckPairs(std::string_view text, SettingsValues& values)
{
    for (const Piece& code : Pieces(text, ",")) {
        size_t end = code.begin + code.text.size();
        if (code.text.size() > PairFilter::LongestCode)
            return Refuse(SettingsField::Pairs,
                          "A code has at most " + std::to_string(PairFilter::LongestCode) + " characters.",
                          code.begin, end);
        if (!IsCodeText(code.text))
            return Refuse(SettingsField::Pairs, "Codes are letters and digits, separated by commas.",
                          code.begin, end);
    }
    values.pairs = PairFilter::Parse(text);
    // The parser stops at its limit; a code past it would silently go.
    std::vector<Piece> codes = Pieces(text, ",");
    std::vector<std::string> distinct;
    for (const Piece& code : codes) {
        if (std::none_of(distinct.begin(), distinct.end(),
                         [&](const std::string& seen) { return EqualsNoCase(seen, code.text); }))
            distinct.emplace_back(code.text);
    }
    if (distinct.size() > PairFilter::MostCodes)
        return RefuseAll(SettingsField::Pairs, "At most " + std::to_string(PairFilter::MostCodes) + " pairs.",
                         text);
    return std::nullopt;
}

std::optional<SettingsCheck> CheckAlerts(std::string_view text, SettingsValues& values)
{
    if (text.size() > LongestAlertsText)
        return RefuseAll(SettingsField::Alerts, "Too long for the settings file.", text);
    for (const Piece& line : Pieces(text, "\r\n")) {
        size_t end = line.begin + line.text.size();
        const std::string usage = "Write CODE=above X; below X, one a line.";
        size_t equals = line.text.find('=');
        if (equals == std::string_view::npos)
            return Refuse(SettingsField::Alerts, usage, line.begin, end);
        std::string_view code = TrimSpace(line.text.substr(0, equals));
        std::string_view value = TrimSpace(line.text.substr(equals + 1));
        if (!IsCodeText(code) || code.size() > PriceAlerts::LongestCode)
            return Refuse(SettingsField::Alerts, "Not a pair code: " + std::string(code), line.begin, end);
        // Every part must be a level the alerts take: one they would drop is
        // a typo the person would never hear about.
        size_t parts = Pieces(value, ";").size();
        size_t levels = values.alerts.Add(code, value);
        if (parts == 0 || levels != parts) {
            bool full = parts > 0 && PriceAlerts::ParseLevels(value).size() == parts;
            return Refuse(SettingsField::Alerts,
                          full
                              ? "Too many alerts: at most " + std::to_string(PriceAlerts::MostLevelsPerPair) +
                                    " a pair, " + std::to_string(PriceAlerts::MostPairs) + " pairs."
                              : usage,
                          line.begin, end);
        }
        values.alertEntries.push_back(std::string(code) + "=" + std::string(value));
    }
    return std::nullopt;
}

std::optional<SettingsCheck> CheckOpacity(std::string_view text, SettingsValues& values)
{
    uint32_t percent = 0;
    if (!ReadWholeNumber(text, percent) || percent < static_cast<uint32_t>(LeastOpacity) ||
        percent > static_cast<uint32_t>(MostOpacity))
        return RefuseAll(SettingsField::Opacity,
                         "A whole number from " + std::to_string(LeastOpacity) + " to " +
                             std::to_string(MostOpacity) + ".",
                         text);
    values.opacityPercent = static_cast<int>(percent);
    values.alpha = OpacityAlpha(values.opacityPercent);
    return std::nullopt;
}

}  // namespace

SettingsCheck CheckSettings(const SettingsForm& form)
{
    SettingsValues values;
    // In the dialog's order, so that the first field refused is the first one met.
    if (auto refused = CheckRatePages(form.ratePages, values))
        return *refused;
    if (auto refused = CheckInterval(form.interval, values))
        return *refused;
    if (auto refused = CheckPairs(form.pairs, values))
        return *refused;
    if (auto refused = CheckAlerts(form.alerts, values))
        return *refused;
    if (auto refused = CheckOpacity(form.opacity, values))
        return *refused;
    values.startWithWindows = form.startWithWindows;
    values.alwaysOnTop = form.alwaysOnTop;
    SettingsCheck check;
    check.values = std::move(values);
    return check;
}

uint8_t OpacityAlpha(int percent)
{
    percent = std::clamp(percent, 0, 100);
    return static_cast<uint8_t>((percent * 255 + 50) / 100);
}

std::string RateUrlValue(const std::vector<std::string>& urls)
{
    std::string value;
    for (const std::string& url : urls)
        value += (value.empty() ? "" : " ") + url;
    return value;
}

std::string RatePagesText(std::string_view rateUrlValue)
{
    std::string text;
    for (const Piece& page : Pieces(rateUrlValue, " \t\r\n"))
        text += (text.empty() ? "" : "\r\n") + std::string(page.text);
    return text;
}

std::string PublicRatePagesText()
{
    return RatePagesText(
        RateUrlValue(std::vector<std::string>(std::begin(kPublicRateUrls), std::end(kPublicRateUrls))));
}

std::string PairsText(const PairFilter& pairs)
{
    std::string text;
    for (const std::string& code : pairs.Codes())
        text += (text.empty() ? "" : ", ") + code;
    return text;
}

std::string AlertsText(std::string_view sectionBlock)
{
    std::string text;
    for (const Piece& line : Pieces(sectionBlock, std::string_view("\0", 1)))
        text += (text.empty() ? "" : "\r\n") + std::string(line.text);
    return text;
}

std::string AlertsSection(const std::vector<std::string>& entries)
{
    std::string block;
    for (const std::string& entry : entries) {
        block += entry;
        block += '\0';
    }
    block += '\0';
    return block;
}

std::vector<PairChoice> PairChoices(std::string_view pairsText, const std::vector<std::string>& offered)
{
    std::vector<PairChoice> choices;
    auto present = [&](std::string_view code) {
        return std::any_of(choices.begin(), choices.end(),
                           [&](const PairChoice& choice) { return EqualsNoCase(choice.code, code); });
    };
    const PairFilter listed = PairFilter::Parse(pairsText);
    for (const std::string& code : listed.Codes())
        choices.push_back(PairChoice{code, true});
    for (const std::string& code : offered) {
        if (!code.empty() && choices.size() < PairFilter::MostCodes * 4 && !present(code))
            choices.push_back(PairChoice{code, false});
    }
    return choices;
}

std::string ChosenPairsText(const std::vector<PairChoice>& choices)
{
    std::string text;
    for (const PairChoice& choice : choices) {
        if (choice.chosen)
            text += (text.empty() ? "" : ", ") + choice.code;
    }
    return text;
}
