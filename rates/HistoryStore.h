#pragma once
#include "rates/FXRate.h"
#include "rates/SharedRates.h"

#include <string>
#include <vector>

// Keeps the records' histories across runs in one file (rates/HistoryFile.h)
// beside the settings: quillbrae.ini's folder holds quillbrae.history.

// The history file that belongs with the settings file at `settingsPath`:
// the same folder and name, the extension ".history" instead.
std::string HistoryPathBeside(const std::string& settingsPath);

// Reads the file at `path` into `records`. A missing file leaves them as
// they are and says nothing. A file that cannot be read as a history (cut
// short, damaged, of another version, too large) is renamed `path` +
// ".bad", replacing an older one, so that it is kept for a look but never
// read again; the records stay as they are and the returned note says so,
// for the status line, once. Empty when nothing needs saying.
std::string LoadHistoryFile(const std::string& path, std::vector<FXRate>& records);

// The same into the shared list, when it is still empty (a list the first
// update has filled already is newer than anything saved).
std::string LoadHistories(const std::string& path, SharedRates& rates);

// Writes the records' file beside `path` (`path` + ".tmp" in the same
// folder), makes it durable and puts it in place of `path` in one step, so
// that a process killed at any moment leaves either the old complete file
// or the new one. False when anything failed; the old file then stays.
bool SaveHistoryFile(const std::string& path, const std::vector<FXRate>& records);

// The same for the shared list: encoded under its lock (no copy of the
// records), written without it.
bool SaveHistories(const std::string& path, const SharedRates& rates);
