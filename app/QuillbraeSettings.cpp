#include "app/Quillbrae.h"

#include "app/SettingsChecks.h"
#include "app/StartWithWindows.h"
#include "update/RateSources.h"

#include <algorithm>

void Quillbrae::OpenSettings()
{
    const Settings::Values& values = settings.Current();
    SettingsForm form;
    form.ratePages = RatePagesText(CurrentRateUrl());
    form.interval = std::to_string(updateInterval.load() / 1000);
    form.pairs = PairsText(PairFilter::Parse(values.pairs));
    std::string alertLines;
    for (const std::string& entry : values.alerts)
        alertLines += entry + "\r\n";
    form.alerts = alertLines;
    form.startWithWindows = WidgetStartupEntry().IsSet();
    form.alwaysOnTop = values.alwaysOnTop;
    form.opacity = std::to_string(values.opacity);
    settingsDialog.Open(window, form);
}

std::vector<std::string> Quillbrae::OfferedPairs()
{
    std::vector<std::string> codes;
    auto records = ratePane.rates.Lock();
    for (const FXRate& rate : *records)
        codes.push_back(rate.code);
    return codes;
}

std::string Quillbrae::CurrentRateUrl()
{
    std::lock_guard<std::mutex> guard(sourceMutex);
    return rateUrl;
}

void Quillbrae::ApplySettings(const SettingsValues& values)
{
    const std::string sources = RateUrlValue(values.rateUrls);
    const bool nextCycleNow = sources != CurrentRateUrl() || values.intervalMs != updateInterval.load();
    {
        std::lock_guard<std::mutex> guard(sourceMutex);
        rateUrl = sources;
        wantedPairs = values.pairs.Codes();
    }
    sourceProblem = IgnoredSourcesText(ParseRateSources(sources));
    updateInterval = values.intervalMs;

    ratePane.SetPairFilter(values.pairs);
    ratePane.Invalidate(nullptr, false);
    chartPane.ShowSelectedRate(ratePane);
    chartPane.Invalidate(nullptr, false);
    {
        std::lock_guard<std::mutex> guard(alertsMutex);
        alerts = values.alerts;
    }

    StartupEntry startup = WidgetStartupEntry();
    if (startup.IsSet() != values.startWithWindows)
        startup.Set(values.startWithWindows);

    SaveSettings(values);
    ShowWindowLook();
    if (nextCycleNow && updateNowEvent)
        SetEvent(updateNowEvent.Get());
}

void Quillbrae::SaveSettings(const SettingsValues& values)
{
    Settings::Values changed = settings.Current();
    changed.rateUrl = RateUrlValue(values.rateUrls);
    changed.updateInterval = values.intervalMs;
    changed.pairs = values.pairs.Text();
    changed.alerts = values.alertEntries;
    changed.alwaysOnTop = values.alwaysOnTop;
    changed.opacity = values.opacityPercent;
    settings.Change(changed);
    WholeFileReplace saved = settings.Save();
    // The values are taken either way; only keeping them for the next start
    // failed, and the user should know before closing.
    std::string problem = saved.Ok() ? std::string() : "settings not saved: " + saved.failure;
    if (problem != settingsProblem) {
        settingsProblem = problem;
        ShowStatus();
    }
}

void Quillbrae::ShowWindowLook()
{
    const Settings::Values& values = settings.Current();
    SetWindowPos(window, values.alwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    LONG_PTR exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
    if (values.opacity < Settings::HighestOpacity) {
        if ((exStyle & WS_EX_LAYERED) == 0)
            SetWindowLongPtrA(window, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
        SetLayeredWindowAttributes(window, 0, OpacityAlpha(values.opacity), LWA_ALPHA);
    } else if (exStyle & WS_EX_LAYERED) {
        // A plain window again: no layering left to cost a copy of every paint.
        SetWindowLongPtrA(window, GWL_EXSTYLE, exStyle & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
        RedrawWindow(window, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    }
}
