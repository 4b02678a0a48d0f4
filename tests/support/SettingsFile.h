#pragma once
#include <string>

// A program's settings file (an INI file, as the widget keeps beside its
// executable) read and written by a test the way an editor would. Windows
// only (qb_test_windows).

// The value of `key` in `section` of `file`, or "<missing>" when the file,
// the section or the key is not there.
std::string ReadSetting(const std::string& file, const char* section, const char* key);

// Writes `value` for `key` in `section`; a null `value` removes the key.
void WriteSetting(const std::string& file, const char* section, const char* key, const char* value);
