// Arbitrary bytes as a settings file a person may have typed (or a disk may
// have mangled). Whatever comes in, what the widget takes stays within its
// bounds, what it writes back reads back as the same values and is written
// the same way again, and the sections it does not own stay as they were.
// A section "Prices" of "CODE=price text" entries feeds the alerts.
#include "app/Settings.h"
#include "base/IniText.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string file(reinterpret_cast<const char*>(data), size);
    Settings settings;
    settings.LoadText(file);
    const Settings::Values& values = settings.Current();
    Require(values.updateInterval >= Settings::ShortestUpdateInterval &&
                values.updateInterval <= Settings::LongestUpdateInterval,
            "interval within bounds");
    Require(values.opacity >= Settings::LowestOpacity && values.opacity <= Settings::HighestOpacity,
            "opacity within bounds");
    Require(!settings.RateAddress().empty() && settings.RateAddress().size() <= Settings::LongestRateUrl,
            "an address");

    PairFilter filter = settings.Pairs();
    Require(filter.Codes().size() <= PairFilter::MostCodes, "code count");
    for (const std::string& code : filter.Codes())
        Require(!code.empty() && code.size() <= PairFilter::LongestCode, "code length");
    Require(PairFilter::Parse(filter.Text()).Codes() == filter.Codes(), "pairs written back read the same");

    // Written back, the file reads as the same values, and writing it again
    // changes nothing.
    const std::string merged = settings.Merge(file);
    Settings again;
    again.LoadText(merged);
    Require(again.Current() == values, "written back reads the same");
    Require(again.Merge(merged) == merged, "a second save writes the same");
    const IniText before(file), after(merged);
    for (const char* section : {"Alerts", "Prices", "Other"})
        Require(before.Section(section) == after.Section(section), "other sections kept");

    PriceAlerts alerts = settings.Alerts();
    Require(alerts.LevelCount() <= PriceAlerts::MostPairs * PriceAlerts::MostLevelsPerPair, "level count");
    std::vector<std::string> prices = before.Section("Prices").value_or(std::vector<std::string>());
    if (prices.size() > 100)
        prices.resize(100);
    for (const std::string& entry : prices) {
        size_t equals = entry.find('=');
        std::string code = entry.substr(0, equals);
        std::string price = equals == std::string::npos ? std::string() : entry.substr(equals + 1);
        for (const std::string& message : alerts.Check(code, price)) {
            Require(message.compare(0, code.size(), code) == 0, "message names the pair");
            Require(message.find(" above ") != std::string::npos ||
                        message.find(" below ") != std::string::npos,
                    "message names the side");
        }
    }
    return 0;
}
