#include "app/Quillbrae.h"

#include "app/AlertBalloon.h"
#include "base/Clock.h"
#include "base/UtcTime.h"
#include "update/Backoff.h"
#include "update/RateSources.h"
#include "update/SourceHistory.h"

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

// The worker: one update cycle every interval (or sooner when asked), its
// outcome handed to the window thread, alerts checked, the selected price
// spoken. It reaches the window only through `ui`.

namespace {

// Uniform in [0, 1), for the back-off's jitter; its own generator, as only
// the worker draws from it.
double JitterShare()
{
    static std::minstd_rand generator(ClockMilliseconds() ^ GetCurrentProcessId());
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

}  // namespace

uint32_t Quillbrae::Run()
{
    std::string sourcesText;  // the "RateUrl" that `sources` was made from
    std::optional<RateSources> sources;
    SteadyTime deadline{};
    const RateSources::Ask ask = [this, &deadline](RateSource& source) {
        return updater.Update(ratePane.rates, source.url, source.validators, *source.connection, deadline,
                              StopFlag(), rateFormat);
    };
    uint32_t lastSave = ClockMilliseconds();
    std::vector<std::string> sourceUrls;
    std::string otherHistoryUrl;
    std::map<std::string, int64_t> historiesRead;
    while (!stopRequested) {
        {
            std::lock_guard<std::mutex> guard(sourceMutex);
            // New sources from the settings dialog start afresh.
            if (!sources || rateUrl != sourcesText) {
                sourcesText = rateUrl;
                RateSourceList list = ParseRateSources(sourcesText);
                // Nothing usable: asked as written, so that every cycle says why not.
                if (list.urls.empty())
                    list.urls.assign(1, sourcesText);
                sources.emplace(list.urls, ClockMilliseconds, JitterShare);
                sourceUrls = list.urls;
            }
            otherHistoryUrl = historyUrl;
            updater.SetWantedPairs(wantedPairs);
        }
        // Before the rates, so that the first list's change figures are
        // already against the previous fixing: the preferred source's, and
        // the one in use when that is another. A fallback is left alone
        // while the preferred source answers.
        std::vector<std::string> historyUrls(1, sourceUrls.front());
        if (sources->InUse() < sources->Size() && (*sources)[sources->InUse()].url != sourceUrls.front())
            historyUrls.push_back((*sources)[sources->InUse()].url);
        RefreshSourceHistories(historyUrls, otherHistoryUrl, historiesRead);
        if (stopRequested)
            break;
        // One deadline for the whole cycle, however many sources it asks.
        deadline = updater.CycleDeadline();
        std::optional<UpdateOutcome> outcome = sources->Cycle(ask, updateInterval, StopFlag());
        if (stopRequested)
            break;
        if (outcome) {
            RecordOutcome(*outcome);
            if (outcome->kind == UpdateOutcome::Kind::Updated)
                CheckAlerts();
            ui.Post([this] {
                ratePane.Invalidate(nullptr, false);
                chartPane.ShowSelectedRate(ratePane);
                chartPane.Invalidate(nullptr, false);
            });
            ratePane.SpeakSelected();
        }
        // The next cycle comes when a source is due or when "&Update now"
        // (which asks every source anyway) or a wake from sleep asks.
        const uint32_t waitFrom = ClockMilliseconds();
        const uint32_t due = sources->RemainingMs();
        for (uint32_t remaining; (remaining = sources->RemainingMs()) > 0;) {
            // The histories are saved between cycles, never while one runs.
            const uint32_t sinceSave = ClockMilliseconds() - lastSave;
            if (sinceSave >= historySaveMs) {
                SaveHistoriesNow();
                lastSave = ClockMilliseconds();
                continue;
            }
            Wake woken = WaitForStopOr(updateNowEvent.Get(), std::min(remaining, historySaveMs - sinceSave));
            if (woken == Wake::Stop)
                return 0;
            if (woken == Wake::Other) {
                sources->Clear();
                break;
            }
        }
        // A wait that overran by more than an interval slept through it:
        // treated as a wake, the same as the system's word for one.
        const bool overslept = ClockMilliseconds() - waitFrom > due + updateInterval.load();
        if (resumed.exchange(false) || overslept) {
            // The failures before the sleep say nothing about the network
            // now, and no connection survives a sleep; give the network a
            // moment to come back, then ask.
            sources->Clear();
            sources->CloseConnections();
            if (WaitForStop(WakeSettleMs))
                return 0;
        }
    }
    return 0;
}

void Quillbrae::RecordOutcome(const UpdateOutcome& outcome)
{
    workerStatus.Record(outcome, ClockMilliseconds64());
    ui.Post([this, current = workerStatus] {
        status = current;
        ShowStatus();
    });
}

void Quillbrae::CheckAlerts()
{
    std::vector<std::string> messages;
    {
        // The settings dialog may replace the alerts meanwhile.
        std::lock_guard<std::mutex> watching(alertsMutex);
        if (alerts.Empty())
            return;
        std::vector<std::pair<std::string, std::string>> prices;
        {
            auto records = ratePane.rates.Lock();
            for (const FXRate& rate : *records) {
                if (alerts.Watches(rate.code))
                    prices.emplace_back(rate.code, rate.priceText);
            }
        }
        for (const auto& price : prices) {
            for (std::string& message : alerts.Check(price.first, price.second))
                messages.push_back(std::move(message));
        }
    }
    // Spoken and queued with the locks let go: the speech program may take its time.
    std::string balloon;
    for (const std::string& message : messages) {
        if (ratePane.speechEnabled.load())
            announcer.Announce(message);
        AppendBalloonLine(balloon, message);
    }
    if (!balloon.empty())
        ui.Post([this, balloon] { tray.ShowBalloon(balloon, ProgramName()); });
}

void Quillbrae::RefreshSourceHistories(const std::vector<std::string>& urls,
                                       const std::string& otherHistoryUrl,
                                       std::map<std::string, int64_t>& read)
{
    for (const std::string& url : urls) {
        const int64_t now = UtcMilliseconds();
        const auto last = read.find(url);
        // A clock set back counts as a new day too.
        if (last != read.end() && now >= last->second && now - last->second < kHistoryRefreshMs)
            continue;
        read[url] = now;
        const std::string address = HistoryAddressFor(url, otherHistoryUrl, now);
        if (address.empty())
            continue;
        RateHistory history;
        std::string failure;
        // A history that cannot be read leaves the change figures against
        // the list's own opening; it is asked again the next day.
        if (FetchRateHistory(address, StopFlag(), updater.CycleDeadline(), nullptr,
                             updater.TrustedCertificate(), history, failure))
            updater.SetSourceHistory(url, std::move(history));
        if (stopRequested)
            return;
    }
}
