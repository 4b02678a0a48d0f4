#include "rates/HistoryStore.h"

#include "rates/HistoryFile.h"

#include <cstdio>
#include <memory>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using OwnedFile = std::unique_ptr<std::FILE, FileCloser>;

enum class ReadResult { Read, Missing, TooLarge, Failed };

ReadResult ReadWholeFile(const std::string& path, std::size_t most, std::string& bytes)
{
    OwnedFile file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return ReadResult::Missing;
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        if (bytes.size() + got > most)
            return ReadResult::TooLarge;
        bytes.append(buffer, got);
        if (got < sizeof buffer)
            return std::ferror(file.get()) ? ReadResult::Failed : ReadResult::Read;
    }
}

// Puts `from` in place of `to` in one step, replacing it. To be swapped for
// the program's shared whole-file replacement once there is one.
bool ReplaceFileWith(const std::string& from, const std::string& to)
{
#ifdef _WIN32
    auto wide = [](const std::string& text) {
        const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
        std::wstring result(length > 0 ? static_cast<std::size_t>(length) : 1, L'\0');
        if (length > 0)
            MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &result[0], length);
        return result;
    };
    return MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool WriteDurably(const std::string& path, const std::string& bytes)
{
    OwnedFile file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size() ||
        std::fflush(file.get()) != 0)
        return false;
        // On the disk before it replaces the old file, or a crash soon after
        // could leave the name on an empty file.
#ifdef _WIN32
    if (_commit(_fileno(file.get())) != 0)
        return false;
#else
    if (fsync(fileno(file.get())) != 0)
        return false;
#endif
    return std::fclose(file.release()) == 0;
}

bool WriteHistoryBytes(const std::string& path, const std::string& bytes)
{
    const std::string aside = path + ".tmp";
    if (!WriteDurably(aside, bytes) || !ReplaceFileWith(aside, path)) {
        std::remove(aside.c_str());
        return false;
    }
    return true;
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
    std::string bytes;
    std::string failure;
    switch (ReadWholeFile(path, kMaxHistoryFileBytes, bytes)) {
    case ReadResult::Missing:
        return std::string();
    case ReadResult::TooLarge:
        failure = "larger than " + std::to_string(kMaxHistoryFileBytes) + " bytes";
        break;
    case ReadResult::Failed:
        failure = "could not be read";
        break;
    case ReadResult::Read:
        if (DecodeHistoryFile(bytes, records, failure))
            return std::string();
        break;
    }
    const std::string bad = path + ".bad";
    std::string note = "history not read (" + failure + ")";
    if (ReplaceFileWith(path, bad))
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
