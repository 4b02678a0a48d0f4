#include "app/Quillbrae.h"

#include "base/Clock.h"

#include <optional>
#include <string>

// The status line: the update status, and why nothing is spoken when speech
// fails, in the window's text, the tray tip and the rate pane's bottom lines.

namespace {

// "Quillbrae - updated 12:34:56": what screen readers and other programs read.
std::string WindowText(const std::string& status)
{
    return "Quillbrae - " + status;
}

}  // namespace

void Quillbrae::ShowStatus()
{
    const UpdateStatus& current = status;
    const uint64_t now = ClockMilliseconds64();
    const uint32_t interval = updateInterval;
    std::string text = current.Text();
    for (const std::string* problem : {&sourceProblem, &historyProblem, &speechProblem, &settingsProblem}) {
        if (!problem->empty())
            text += (text.empty() ? "" : "; ") + *problem;
    }
    // Saved prices are old by nature: stale until an update succeeds (a
    // status that has never succeeded has no time left to count down).
    const std::optional<uint32_t> fresh = current.UntilStale(now, interval);
    const bool stale = current.Stale(now, interval) || (showingSaved && !fresh);
    if (text != shownStatus) {
        shownStatus = text;
        SetText(WindowText(text).c_str());
        tray.SetTip(WindowText(text));
    }
    ratePane.SetStatus(text,
                       current.Warning() || !sourceProblem.empty() || !historyProblem.empty() ||
                           !speechProblem.empty() || !settingsProblem.empty(),
                       stale);
    chartPane.SetStale(stale);
    // Staleness comes with time alone: look again when it is due.
    if (fresh)
        SetTimer(window, StaleTimerId, *fresh + 1, nullptr);
    else
        KillTimer(window, StaleTimerId);
}

bool Quillbrae::OnTimer(WPARAM timerId, LPARAM)
{
    if (tray.OnTimer(timerId))
        return true;
    if (timerId != StaleTimerId)
        return false;
    KillTimer(window, StaleTimerId);
    ShowStatus();
    return true;
}

// Why nothing is spoken goes on the status line, with the update status:
// the one place the user already looks for what is wrong.
void Quillbrae::ShowSpeechProblem(const std::string& problem)
{
    if (problem == speechProblem)
        return;
    speechProblem = problem;
    ShowStatus();
}
