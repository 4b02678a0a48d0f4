#include "app/StartWithWindows.h"

#include "base/Names.h"
#include "window/App.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace {

// An open registry key, closed when it goes.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey()
    {
        if (key != nullptr)
            RegCloseKey(key);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY* Receive() { return &key; }
    HKEY Get() const { return key; }

private:
    HKEY key = nullptr;
};

}  // namespace

StartupEntry::StartupEntry(std::string key, std::string value, std::string line)
    : keyPath(std::move(key)), valueName(std::move(value)), command(std::move(line))
{
}

bool StartupEntry::IsSet() const
{
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ || size > LongestCommand)
        return false;
    std::vector<char> text(size + 1, '\0');
    if (RegQueryValueExA(key.Get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    // The stored size may or may not count a terminator.
    std::string stored(text.data(), std::min<size_t>(size, text.size() - 1));
    while (!stored.empty() && stored.back() == '\0')
        stored.pop_back();
    return stored == command;
}

bool StartupEntry::Set(bool on) const
{
    RegistryKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                        nullptr, key.Receive(), nullptr) != ERROR_SUCCESS)
        return false;
    if (on) {
        RegSetValueExA(key.Get(), valueName.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>(command.size() + 1));
    } else {
        RegDeleteValueA(key.Get(), valueName.c_str());
    }
    return IsSet() == on;
}

StartupEntry WidgetStartupEntry()
{
    return StartupEntry(names::kRunKeyPath, names::kRunValueName, "\"" + ProgramPath() + "\"");
}
