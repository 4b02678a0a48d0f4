#include "rates/HistoryStore.h"

#include "rates/HistoryFile.h"

#include "base/WholeFile.h"

namespace {

bool WriteHistoryBytes(const std::string& path, const std::string& bytes)
{
    return ReplaceWholeFile(path, bytes).Ok();
}

}  // namespace

std::string HistoryPathBeside(const std::string& settingsPath)
{
    const std::size_t slash = settingsPath.find_last_of("\\/");
    const std::size_t dot = settingsPath.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? settingsPath.substr(0, dot) : settingsPath) + ".history";
}

std::string LoadHistoryFile(const std::string& path, std::vector<FXRate>& records)
{
    WholeFileRead read = ReadWholeFile(path, kMaxHistoryFileBytes);
    std::string failure;
    switch (read.status) {
    case WholeFileRead::Status::Missing:
        return std::string();
    case WholeFileRead::Status::TooLarge:
        failure = "larger than " + std::to_string(kMaxHistoryFileBytes) + " bytes";
        break;
    case WholeFileRead::Status::Failed:
        failure = "could not be read";
        break;
    case WholeFileRead::Status::Read:
        if (DecodeHistoryFile(read.bytes, records, failure))
            return std::string();
        break;
    }
    const std::string bad = path + ".bad";
    std::string note = "history not read (" + failure + ")";
    if (MoveWholeFile(path, bad))
        note += "; kept as " + bad.substr(bad.find_last_of("\\/") + 1);
    return note + "; starting without history";
}

std::string LoadHistories(const std::string& path, SharedRates& rates)
{
    std::vector<FXRate> loaded;
    const std::string note = LoadHistoryFile(path, loaded);
    if (!loaded.empty()) {
        auto access = rates.Lock();
        if (access->empty())
            *access = std::move(loaded);
    }
    return note;
}

bool SaveHistoryFile(const std::string& path, const std::vector<FXRate>& records)
{
    return WriteHistoryBytes(path, EncodeHistoryFile(records));
}

bool SaveHistories(const std::string& path, const SharedRates& rates)
{
    std::string bytes;
    {
        auto access = rates.Lock();
        bytes = EncodeHistoryFile(*access);
    }
    return WriteHistoryBytes(path, bytes);
}
