#pragma once
#include "base/IniText.h"
#include "base/Names.h"
#include "base/StoredPlacement.h"
#include "base/WholeFile.h"
#include "rates/PairFilter.h"
#include "rates/PriceAlerts.h"
#include "rates/RateFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The widget's settings file: read at start, written back at close (and
// whenever the owner asks). Where the file lives is the caller's choice.
//
// The widget owns the keys of Values. Saving rereads the file and changes
// only those keys, so that other sections, other keys, comments and a
// section added while the widget runs stay as the file has them; the file
// is then replaced whole, so that a failed save (a full disk) keeps the old
// one byte for byte. A value the widget could not take whole is never
// written back unless the owner changed it.
//
// Not thread-safe: one thread (the window's) owns it.
class Settings {
public:
    static constexpr uint32_t DefaultUpdateInterval = 12000;
    // Without "UpdateTimer" and without "RateUrl": the public sources change
    // once a working day, and are asked no more often than this.
    static constexpr uint32_t PublicUpdateInterval = 10u * 60u * 1000u;
    // Anything below the default means "as fast as allowed".
    static constexpr uint32_t ShortestUpdateInterval = 10000;
    // Beyond a day the widget would look dead; a larger value is a typo.
    static constexpr uint32_t LongestUpdateInterval = 24u * 60u * 60u * 1000u;
    // A rate page address longer than this is not one: the default is used
    // meanwhile, and the file keeps what it has.
    static constexpr size_t LongestRateUrl = 2048;
    static constexpr uint32_t DefaultHistorySaveMs = 5 * 60 * 1000;
    static constexpr uint32_t ShortestHistorySaveMs = 20;
    static constexpr int LowestOpacity = 40;
    static constexpr int HighestOpacity = 100;
    // A larger file is no settings file: it is neither read nor replaced.
    static constexpr size_t LargestFile = 1u << 20;

    struct Values {
        // Milliseconds between updates, within the bounds above.
        uint32_t updateInterval = DefaultUpdateInterval;
        // "RateUrl" as the file has it; empty when missing, and then not
        // written back, so that the default sources stay the program's (a
        // later version may move them). RateAddress() says what is fetched.
        std::string rateUrl;
        RateFormat rateFormat = RateFormat::Auto;
        // "Pairs": the codes kept, joined by "," (empty: all pairs).
        std::string pairs;
        // "TrustedCertificate" as written (a file relative to the
        // executable's folder, or absolute); empty for none.
        std::string trustedCertificate;
        // "Proxy" as written: "host:port", "none", or empty for the
        // system's settings.
        std::string proxy;
        // "HistoryUrl": where a source other than the ECB's or
        // Frankfurter's keeps its history (either shape); empty for none.
        std::string historyUrl;
        // "HistorySaveTimer": milliseconds between saves of the histories,
        // ShortestHistorySaveMs to DefaultHistorySaveMs; for tests that
        // kill the widget while it saves. Never written.
        uint32_t historySaveMs = DefaultHistorySaveMs;
        // The "Alerts" section's entries, "CODE=above X; below X".
        std::vector<std::string> alerts;
        StoredPlacement placement;
        bool alwaysOnTop = true;
        // The window's opacity in percent, LowestOpacity..HighestOpacity.
        int opacity = HighestOpacity;

        bool operator==(const Values& other) const;
        bool operator!=(const Values& other) const { return !(*this == other); }
    };

    Settings();

    // Reads the file at `path`, which later saves write. A missing file
    // gives the defaults quietly; one that cannot be read gives the defaults
    // and false, with the reason in LoadFailure().
    bool Load(const std::string& path);
    // As Load, from a file's text, with no file to save to.
    void LoadText(std::string_view fileText);
    const std::string& LoadFailure() const { return loadFailure; }
    const std::string& Path() const { return path; }

    const Values& Current() const { return values; }
    // Takes new values, bounded as reading bounds them (line breaks in a
    // text become blanks; alert entries that would read back as comments or
    // section headers are dropped); Save writes them.
    void Change(const Values& changed);

    // Merges the owned keys into the file as it is now and replaces it whole.
    // On failure the file is as it was and the reason is returned.
    WholeFileReplace Save();

    // Derived from Current(): what the widget fetches, shows and watches.
    // `fallback` when "RateUrl" names none or is too long to be addresses.
    std::string RateAddress(const std::string& fallback = names::kDefaultRateUrl) const;
    PairFilter Pairs() const { return PairFilter::Parse(values.pairs); }
    PriceAlerts Alerts() const;

    // `fileNow` with the owned keys merged in: those the owner changed, and
    // those taken whole at load that are always written back (UpdateTimer,
    // RateUrl, RateFormat, the window's figures) or hold more than their
    // default. What Save writes; public for the tests and the fuzzer.
    std::string Merge(std::string_view fileNow) const;

private:
    // Values as read from `settings`, noting which keys could not be taken whole.
    void Read(const IniText& settings);

    std::string path;
    std::string loadFailure;
    Values values;
    Values loaded;  // as read, to tell what the owner changed
    // Keys present in the file at load whose values the widget keeps but
    // did not take whole (a NUL in them): written back only when changed.
    std::vector<std::string> untaken;
    // Keys present in the file at load, written back even at their default.
    std::vector<std::string> present;
};
