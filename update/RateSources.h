#pragma once
#include "http/KeptConnection.h"
#include "update/Backoff.h"
#include "update/UpdateOutcome.h"
#include "update/UpdateRates.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The rate pages a widget reads, in order of preference, and what it keeps
// about each from one cycle to the next.

// More addresses than this in one setting are a mistake, not a plan.
inline constexpr size_t kMostRateSources = 8;

// The "RateUrl" setting taken apart: addresses separated by blanks (spaces
// or tabs). `urls` holds the usable ones in the order written, at most
// kMostRateSources; `rejected` says what was left out and why
// ("ftp://x: not an http or https address", "http://y: beyond 8 addresses").
struct RateSourceList {
    std::vector<std::string> urls;
    std::vector<std::string> rejected;
};
RateSourceList ParseRateSources(std::string_view text);
// What was left out of a list, in words for the status line ("ignored
// ftp://x: not an http or https address and 1 more"); "" when nothing was.
std::string IgnoredSourcesText(const RateSourceList& list);

// The host of `url`, as the status names it ("www.ecb.europa.eu"); the text
// itself when it is no URL.
std::string SourceName(const std::string& url);

// One rate page and what the widget keeps about it between cycles: its own
// validators, back-off and "Retry-After", and, after an answer that said how
// long it stays fresh, when it may be asked again. A connection kept open
// to the page would live here too.
struct RateSource {
    RateSource(std::string address, Backoff::Clock clock, Backoff::Random random);

    std::string url;
    std::string name;  // SourceName(url)
    RateListValidators validators;
    Backoff backoff;  // when the page may be asked again
    // The page's connection, kept between cycles while its server keeps it.
    std::unique_ptr<KeptConnection> connection = std::make_unique<KeptConnection>();
};

// The pages in order. Each cycle asks the first page whose back-off allows
// it; when that fails, the next such page is asked in the same cycle, and so
// on until one answers. Once a page has answered, the pages after it are
// left alone while it keeps answering; every page before it (the preferred
// ones) is asked again as soon as its own back-off allows, and used from the
// moment it answers. Used by one thread.
class RateSources {
public:
    // Asks one page: downloads, decodes and merges (RateUpdater::Update
    // with the page's own validators).
    using Ask = std::function<UpdateOutcome(RateSource&)>;

    RateSources(const std::vector<std::string>& urls, Backoff::Clock clock, Backoff::Random random);

    // One cycle as described above. A success is held for its polite delay
    // (Freshness) and says so in `nextCheck` and `heldMs`; every outcome
    // names its page in `source`. None when no page was due, when the page
    // in use was reached resting (preferred pages may have failed before
    // it: the rates shown are still current), or when `stop` was raised
    // before the first was asked.
    std::optional<UpdateOutcome> Cycle(const Ask& ask, uint32_t intervalMs,
                                       const std::atomic<bool>* stop = nullptr);

    // Milliseconds until the next cycle is due: the earliest of the pages
    // up to the one whose answer was last taken (of all pages when the last
    // cycle found none answering); 0 when it is due now.
    uint32_t RemainingMs() const;

    // "Update now": every page may be asked at once, and the next cycle is due.
    void Clear();
    // After a sleep: every kept connection is closed, as none survives one.
    void CloseConnections();

    size_t Size() const { return sources.size(); }
    const RateSource& operator[](size_t index) const { return sources[index]; }
    // The page whose answer was last taken; Size() when none.
    size_t InUse() const { return inUse; }

private:
    std::vector<RateSource> sources;
    size_t inUse;
};
