#pragma once
#include "base/Names.h"
#include "rates/PairFilter.h"
#include "rates/PriceAlerts.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What the settings dialog holds, as its controls hold it: texts as typed,
// check boxes as ticked. Portable, so that every rule is tested natively.
struct SettingsForm {
    std::string ratePages;  // addresses, one a line or separated by blanks
    std::string interval;   // whole seconds
    std::string pairs;      // codes separated by commas; empty for all
    std::string alerts;     // "CODE=above X; below X", one a line
    bool startWithWindows = false;
    bool alwaysOnTop = true;
    std::string opacity;  // percent
};

// The fields a check can refuse.
enum class SettingsField { None, RatePages, Interval, Pairs, Alerts, Opacity };

// The form's values, typed, as the widget takes them.
struct SettingsValues {
    std::vector<std::string> rateUrls;  // in order, the preferred first
    uint32_t intervalMs = 0;
    PairFilter pairs;
    // "CODE=value" a line, blanks around both dropped: the alerts section as written.
    std::vector<std::string> alertEntries;
    PriceAlerts alerts;
    bool startWithWindows = false;
    bool alwaysOnTop = true;
    int opacityPercent = 100;
    uint8_t alpha = 255;  // the layered window's, for opacityPercent
};

// The outcome of a check: the values, or the first field that cannot be
// used, why (a short sentence for beside the field), and the characters of
// the field's text to select, [problemBegin, problemEnd).
struct SettingsCheck {
    SettingsField field = SettingsField::None;
    std::string problem;
    size_t problemBegin = 0;
    size_t problemEnd = 0;
    SettingsValues values;  // meaningful when field is None

    bool Ok() const { return field == SettingsField::None; }
};

namespace settings_limits {
// The update interval, in seconds: not faster than sources allow, and
// beyond a day the widget would look dead.
inline constexpr uint32_t ShortestIntervalSeconds = 10;
inline constexpr uint32_t LongestIntervalSeconds = 24u * 60u * 60u;
inline constexpr int LeastOpacity = 40;
inline constexpr int MostOpacity = 100;
// The sources, written as one settings value separated by blanks.
inline constexpr size_t LongestRateUrlValue = 2048;
inline constexpr size_t MostRateUrls = 16;
// What an alert section may hold before the widget's reader cuts it.
inline constexpr size_t LongestAlertsText = 16000;
}  // namespace settings_limits

// The public sources the widget reads when none is chosen, in order.
inline constexpr const char* kPublicRateUrls[] = {names::kEcbRateUrl, names::kFrankfurterRateUrl};

SettingsCheck CheckSettings(const SettingsForm& form);

// 255 * percent / 100, rounded: the alpha of a layered window.
uint8_t OpacityAlpha(int percent);

// The sources as the "RateUrl" value holds them: separated by one blank.
std::string RateUrlValue(const std::vector<std::string>& urls);
// A "RateUrl" value (addresses separated by blanks) as the dialog shows
// it: one address a line.
std::string RatePagesText(std::string_view rateUrlValue);
// The public sources, one a line.
std::string PublicRatePagesText();
// The codes as the dialog shows them: "EURUSD, USDJPY".
std::string PairsText(const PairFilter& pairs);
// The alert section as the profile reader hands it over (NUL-ended
// "CODE=value" lines) as the dialog shows it, one a line.
std::string AlertsText(std::string_view sectionBlock);
// Alert entries as a section for the profile writer: each NUL-ended, and
// one more NUL at the end.
std::string AlertsSection(const std::vector<std::string>& entries);

// The pair chooser's list: each code, ticked or not, in showing order.
struct PairChoice {
    std::string code;
    bool chosen;
};
// From the Pairs text and the codes the source offers now: the chosen codes
// first, in their order (offered now or not), then the other offered ones.
std::vector<PairChoice> PairChoices(std::string_view pairsText, const std::vector<std::string>& offered);
// The ticked codes, in order, as the Pairs field shows them.
std::string ChosenPairsText(const std::vector<PairChoice>& choices);
