#include "update/RateSources.h"

#include "base/Text.h"
#include "http/Url.h"
#include "update/Freshness.h"

#include <algorithm>
#include <utility>

RateSourceList ParseRateSources(std::string_view text)
{
    RateSourceList list;
    while (!text.empty()) {
        size_t start = text.find_first_not_of(" \t");
        if (start == std::string_view::npos)
            break;
        text.remove_prefix(start);
        size_t end = std::min(text.find_first_of(" \t"), text.size());
        const std::string word(text.substr(0, end));
        text.remove_prefix(end);
        Url parsed;
        if (ParseUrl(word, parsed) != UrlError::None)
            list.rejected.push_back(word + ": not an http or https address");
        else if (list.urls.size() >= kMostRateSources)
            list.rejected.push_back(word + ": beyond " + std::to_string(kMostRateSources) + " addresses");
        else
            list.urls.push_back(word);
    }
    return list;
}

std::string SourceName(const std::string& url)
{
    Url parsed;
    if (ParseUrl(url, parsed) != UrlError::None || parsed.host.empty())
        return url;
    return parsed.host;
}

RateSource::RateSource(std::string address, Backoff::Clock clock, Backoff::Random random)
    : url(std::move(address)), name(SourceName(url)), backoff(std::move(clock), std::move(random))
{
    backoff.Clear();  // due at once
}

RateSources::RateSources(const std::vector<std::string>& urls, Backoff::Clock clock, Backoff::Random random)
{
    sources.reserve(urls.size());
    for (const std::string& url : urls)
        sources.emplace_back(url, clock, random);
    inUse = sources.size();
}

std::optional<UpdateOutcome> RateSources::Cycle(const Ask& ask, uint32_t intervalMs,
                                                const std::atomic<bool>* stop)
{
    std::optional<UpdateOutcome> last;
    for (size_t i = 0; i < sources.size(); ++i) {
        RateSource& source = sources[i];
        if (source.backoff.RemainingMs() > 0) {
            // The source in use is only resting: its rates are current, and
            // the ones after it are not needed.
            if (i == inUse)
                return std::nullopt;
            continue;
        }
        if (stop && stop->load())
            break;
        UpdateOutcome outcome = ask(source);
        outcome.source = source.name;
        outcome.oneOfSeveral = sources.size() > 1;
        if (outcome.Succeeded()) {
            const uint32_t delay = PoliteDelayMs(
                FreshSeconds(outcome.cacheControl, outcome.expires, outcome.date, outcome.when), intervalMs);
            source.backoff.Schedule(outcome, delay);
            outcome.heldMs = delay;
            if (delay > intervalMs)
                outcome.nextCheck = outcome.when + static_cast<std::time_t>((delay + 999u) / 1000u);
            inUse = i;
            return outcome;
        }
        source.backoff.Schedule(outcome, intervalMs);
        last = std::move(outcome);
        if (stop && stop->load())
            break;
    }
    if (last)
        inUse = sources.size();
    return last;
}

uint32_t RateSources::RemainingMs() const
{
    const size_t considered = std::min(inUse + 1, sources.size());
    uint32_t soonest = UINT32_MAX;
    for (size_t i = 0; i < considered; ++i)
        soonest = std::min(soonest, sources[i].backoff.RemainingMs());
    return soonest;  // no pages at all: nothing is ever due
}

void RateSources::Clear()
{
    for (RateSource& source : sources)
        source.backoff.Clear();
}

std::string IgnoredSourcesText(const RateSourceList& list)
{
    if (list.rejected.empty())
        return std::string();
    return "ignored " + list.rejected.front() +
           (list.rejected.size() > 1 ? " and " + std::to_string(list.rejected.size() - 1) + " more"
                                     : std::string());
}

void RateSources::CloseConnections()
{
    for (RateSource& source : sources)
        source.connection->Close();
}
