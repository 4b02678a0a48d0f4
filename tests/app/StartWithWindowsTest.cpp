// The log-on entry against the real per-user registry, under a value name of
// the test's own so that nothing else is disturbed.
#include "app/StartWithWindows.h"
#include "base/Names.h"
#include "window/App.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

const char* const TestKey = "Software\\Quillbrae-tests\\Run";

std::string ValueName()
{
    return "entry-" + std::to_string(GetCurrentProcessId());
}

void Store(const std::string& name, DWORD type, const std::string& bytes)
{
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, TestKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

bool Exists(const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, TestKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    bool found = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

TEST(StartWithWindows, SetMeansExactlyThisCommand)
{
    const std::string command = "\"C:\\Program Files\\Quillbrae\\quillbrae.exe\"";
    const std::string name = ValueName();
    StartupEntry entry(TestKey, name, command);
    struct Case {
        const char* what;
        DWORD type;
        std::string stored;  // with its terminator where the type has one
        bool set;
    } cases[] = {
        {"exactly the command", REG_SZ, command + '\0', true},
        {"without a terminator", REG_SZ, command, true},
        {"without the quotes", REG_SZ, command.substr(1, command.size() - 2) + '\0', false},
        {"another copy", REG_SZ, "\"D:\\quillbrae.exe\"" + std::string(1, '\0'), false},
        {"with an argument", REG_SZ, command + " /x" + '\0', false},
        {"not a string", REG_BINARY, command, false},
        {"too long to be a command", REG_SZ, std::string(StartupEntry::LongestCommand + 1, 'x'), false},
        {"empty", REG_SZ, std::string(1, '\0'), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Store(name, c.type, c.stored);
        EXPECT_EQ(entry.IsSet(), c.set);
    }

    // Set replaces whatever was there; clearing removes the value itself.
    EXPECT_TRUE(entry.Set(true));
    EXPECT_TRUE(entry.IsSet());
    EXPECT_TRUE(entry.Set(false));
    EXPECT_FALSE(entry.IsSet());
    EXPECT_FALSE(Exists(name));
    EXPECT_TRUE(entry.Set(false)) << "clearing what is not there is no failure";
}

TEST(StartWithWindows, WidgetEntryIsTheQuotedExecutableUnderTheRunKey)
{
    StartupEntry entry = WidgetStartupEntry();
    EXPECT_EQ(entry.Command(), "\"" + ProgramPath() + "\"");
    EXPECT_NE(ProgramPath().find(".exe"), std::string::npos) << ProgramPath();
    EXPECT_EQ(std::string(names::kRunKeyPath), "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
}

}  // namespace
