#include "app/Quillbrae.h"

#include "rates/HistoryStore.h"

#include <string>

// The histories kept across runs: read before the worker starts, written by
// the worker every few minutes and once more at close.

std::string Quillbrae::HistoryPath() const
{
    return HistoryPathBeside(SettingsFilePath());
}

void Quillbrae::LoadSavedHistories()
{
    historyProblem = LoadHistories(HistoryPath(), ratePane.rates);
    showingSaved = !ratePane.rates.Lock()->empty();
}

void Quillbrae::SaveHistoriesNow()
{
    // Nothing held yet (a first start without a network, a list that was
    // never filled) must not overwrite a file from an earlier run.
    if (ratePane.rates.Lock()->empty())
        return;
    MakeSettingsFolder();
    SaveHistories(HistoryPath(), ratePane.rates);
}
