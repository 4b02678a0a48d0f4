#pragma once
#include <set>
#include <string>

// The whole file, read while another process may still write it (a child's
// log); empty when it cannot be opened. Windows only (qb_test_windows).
std::string ReadSharedFile(const std::string& path);

// How often `needle` occurs in `text`, occurrences not overlapping.
size_t CountOf(const std::string& text, const std::string& needle);

// The names of the files and folders in `folder` ("." and ".." left out);
// empty when it cannot be listed. Windows only.
std::set<std::string> FileNamesIn(const std::string& folder);
