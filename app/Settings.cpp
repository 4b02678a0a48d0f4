#include "app/Settings.h"

#include "base/Names.h"
#include "base/Text.h"

#include <algorithm>
#include <optional>

namespace {

const char* const Section = names::kWidgetSection;

uint32_t BoundedInterval(long long value)
{
    if (value < static_cast<long long>(Settings::DefaultUpdateInterval))
        return Settings::ShortestUpdateInterval;
    if (value > static_cast<long long>(Settings::LongestUpdateInterval))
        return Settings::LongestUpdateInterval;
    return static_cast<uint32_t>(value);
}

int BoundedOpacity(long long value)
{
    return static_cast<int>(std::clamp<long long>(value, Settings::LowestOpacity, Settings::HighestOpacity));
}

// A file saved as UTF-16 ("Unicode" in Notepad): the profile functions read
// it, but its text is not the bytes this reader and writer work on, so it
// is neither taken nor written over.
bool IsUtf16(std::string_view bytes)
{
    return bytes.size() >= 2 &&
           ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
}

// Read, or missing, and in a form this reader takes.
bool Usable(const WholeFileRead& read)
{
    return read.status == WholeFileRead::Status::Missing ||
           (read.status == WholeFileRead::Status::Read && !IsUtf16(read.bytes));
}

std::string Unusable(const WholeFileRead& read, const std::string& path)
{
    if (read.status == WholeFileRead::Status::Read)
        return "the settings file " + path + " is in UTF-16, which is not read";
    return read.failure;
}

}  // namespace

bool Settings::Values::operator==(const Values& other) const
{
    return updateInterval == other.updateInterval && rateUrl == other.rateUrl &&
           rateFormat == other.rateFormat && pairs == other.pairs &&
           trustedCertificate == other.trustedCertificate && proxy == other.proxy &&
           historyUrl == other.historyUrl && alerts == other.alerts && placement == other.placement &&
           alwaysOnTop == other.alwaysOnTop && opacity == other.opacity;
}

Settings::Settings()
{
    values.updateInterval = PublicUpdateInterval;
    loaded = values;
}

void Settings::LoadText(std::string_view fileText)
{
    loadFailure.clear();
    untaken.clear();
    Read(IniText(fileText));
    loaded = values;
}

bool Settings::Load(const std::string& file)
{
    path = file;
    loadFailure.clear();
    untaken.clear();
    WholeFileRead read = ReadWholeFile(path, LargestFile);
    const bool readable = Usable(read);
    Read(IniText(readable ? read.bytes : std::string()));
    if (!readable) {
        // Nothing was taken from it, so nothing may be written over it but
        // what the owner changes.
        loadFailure = Unusable(read, path);
        untaken = {"*"};
    }
    loaded = values;
    return readable;
}

void Settings::Read(const IniText& settings)
{
    // A NUL in a value ends it for the profile functions too; what follows
    // it is kept in the file, not read.
    auto text = [&](const char* section, const char* key) -> std::optional<std::string> {
        std::optional<std::string> value = settings.Value(section, key);
        if (value && value->find('\0') != std::string::npos) {
            untaken.push_back(key);
            value->resize(value->find('\0'));
        }
        return value;
    };
    values = Values();

    std::optional<std::string> rateUrl = text(Section, names::kRateUrlKey);
    values.rateUrl = rateUrl ? *rateUrl : std::string();

    std::optional<std::string> interval = text(Section, names::kUpdateTimerKey);
    if (interval && !interval->empty())
        values.updateInterval = BoundedInterval(IniInteger(*interval).value_or(0));
    else if (values.rateUrl.empty())
        values.updateInterval = PublicUpdateInterval;

    std::optional<std::string> format = text(Section, names::kRateFormatKey);
    if (format)
        ParseRateFormat(*format, values.rateFormat);  // anything else reads as the default

    values.pairs = PairFilter::Parse(text(Section, names::kPairsKey).value_or(std::string())).Text();
    values.trustedCertificate = text(Section, names::kTrustedCertificateKey).value_or(std::string());
    values.proxy = std::string(TrimSpace(text(Section, names::kProxyKey).value_or(std::string())));
    values.historyUrl = text(Section, names::kHistoryUrlKey).value_or(std::string());
    // Read only, never written: the default is the program's.
    if (std::optional<std::string> save = text(Section, names::kHistorySaveTimerKey)) {
        const int64_t ms = IniInteger(*save).value_or(0);
        if (ms > 0)
            values.historySaveMs =
                static_cast<uint32_t>(std::clamp<int64_t>(ms, ShortestHistorySaveMs, DefaultHistorySaveMs));
    }

    for (std::string& entry : settings.Section(names::kAlertsSection).value_or(std::vector<std::string>())) {
        if (entry.find('\0') != std::string::npos) {
            untaken.push_back(names::kAlertsSection);
            continue;
        }
        values.alerts.push_back(std::move(entry));
    }

    values.placement = ReadPlacement(settings);

    std::optional<std::string> onTop = text(Section, names::kAlwaysOnTopKey);
    if (std::optional<long long> number = onTop ? IniInteger(*onTop) : std::nullopt)
        values.alwaysOnTop = *number != 0;
    std::optional<std::string> opacity = text(Section, names::kOpacityKey);
    if (std::optional<long long> number = opacity ? IniInteger(*opacity) : std::nullopt)
        values.opacity = BoundedOpacity(*number);
}

namespace {

// A line break would end the value inside the file, and a NUL ends it for
// the profile functions: both become blanks.
std::string OneLine(std::string text)
{
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; }, ' ');
    return text;
}

}  // namespace

void Settings::Change(const Values& changed)
{
    values = changed;
    values.rateUrl = std::string(TrimSpace(OneLine(values.rateUrl)));
    values.trustedCertificate = std::string(TrimSpace(OneLine(values.trustedCertificate)));
    values.proxy = std::string(TrimSpace(OneLine(values.proxy)));
    values.historyUrl = std::string(TrimSpace(OneLine(values.historyUrl)));
    // Too long to be an address: none, as for "RateUrl".
    if (values.historyUrl.size() > LongestRateUrl)
        values.historyUrl.clear();
    values.alerts.clear();
    for (const std::string& entry : changed.alerts) {
        // An entry that would read back as a comment or a section header is none.
        std::string line(TrimSpace(OneLine(entry)));
        if (!line.empty() && line.front() != ';' && line.front() != '[')
            values.alerts.push_back(std::move(line));
    }
    values.updateInterval = std::clamp(values.updateInterval, ShortestUpdateInterval, LongestUpdateInterval);
    values.pairs = PairFilter::Parse(OneLine(values.pairs)).Text();
    values.opacity = BoundedOpacity(values.opacity);
}

std::string Settings::Merge(std::string_view fileNow) const
{
    IniText settings(fileNow);
    auto taken = [&](const char* key) {
        return std::find(untaken.begin(), untaken.end(), "*") == untaken.end() &&
               std::find(untaken.begin(), untaken.end(), key) == untaken.end();
    };
    // Written when the owner changed it; otherwise when it was taken whole
    // and is always written back (`always`) or differs from the default.
    auto write = [&](const char* key, bool changed, bool always, bool isDefault, const std::string& value) {
        if (changed || (taken(key) && (always || !isDefault)))
            settings.Set(Section, key, value);
    };
    const Values defaults;
    // With the default sources, their interval is the program's too.
    const bool publicSources = values.rateUrl.empty();
    write(names::kUpdateTimerKey, values.updateInterval != loaded.updateInterval, !publicSources,
          values.updateInterval == PublicUpdateInterval, std::to_string(values.updateInterval));
    write(names::kRateUrlKey, values.rateUrl != loaded.rateUrl, !publicSources, publicSources,
          values.rateUrl);
    write(names::kRateFormatKey, values.rateFormat != loaded.rateFormat, true, false,
          RateFormatName(values.rateFormat));
    write(names::kPairsKey, values.pairs != loaded.pairs, false, values.pairs.empty(), values.pairs);
    write(names::kTrustedCertificateKey, values.trustedCertificate != loaded.trustedCertificate, false,
          values.trustedCertificate.empty(), values.trustedCertificate);
    write(names::kProxyKey, values.proxy != loaded.proxy, false, values.proxy.empty(), values.proxy);
    write(names::kHistoryUrlKey, values.historyUrl != loaded.historyUrl, false, values.historyUrl.empty(),
          values.historyUrl);
    write(names::kAlwaysOnTopKey, values.alwaysOnTop != loaded.alwaysOnTop, false,
          values.alwaysOnTop == defaults.alwaysOnTop, values.alwaysOnTop ? "1" : "0");
    write(names::kOpacityKey, values.opacity != loaded.opacity, false, values.opacity == defaults.opacity,
          std::to_string(values.opacity));
    // Only read, unless the owner changed them.
    if (values.alerts != loaded.alerts)
        settings.SetSection(names::kAlertsSection, values.alerts);
    if (values.placement != loaded.placement || taken(names::kPlacementSection))
        WritePlacement(settings, values.placement);
    return settings.Bytes();
}

WholeFileReplace Settings::Save()
{
    WholeFileReplace result;
    if (path.empty()) {
        result.failure = "no settings file";
        return result;
    }
    WholeFileRead now = ReadWholeFile(path, LargestFile);
    if (!Usable(now)) {
        // What cannot be read cannot be merged into: leave it be.
        result.failure = Unusable(now, path);
        return result;
    }
    std::string merged = Merge(now.bytes);
    if (now.status != WholeFileRead::Status::Read || merged != now.bytes)
        result = ReplaceWholeFile(path, merged);
    if (result.Ok())
        loaded = values;  // what the file now holds; untaken keys are still as they were
    return result;
}

std::string Settings::RateAddress(const std::string& fallback) const
{
    if (values.rateUrl.empty() || values.rateUrl.size() > LongestRateUrl)
        return fallback;
    return values.rateUrl;
}

PriceAlerts Settings::Alerts() const
{
    std::string block;
    for (const std::string& entry : values.alerts)
        block += entry + '\0';
    return PriceAlerts::ParseSection(block);
}
