#include "tests/support/SettingsFile.h"

#include <windows.h>

std::string ReadSetting(const std::string& file, const char* section, const char* key)
{
    char value[512] = {};
    GetPrivateProfileStringA(section, key, "<missing>", value, sizeof(value), file.c_str());
    return value;
}

void WriteSetting(const std::string& file, const char* section, const char* key, const char* value)
{
    WritePrivateProfileStringA(section, key, value, file.c_str());
}
