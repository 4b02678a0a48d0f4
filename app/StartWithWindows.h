#pragma once
#include <string>

// A value under a per-user key that holds a command line, such as the Run
// key Windows reads at log-on. "Set" means the value holds exactly
// `command`: a value left by another copy of the program elsewhere does not
// count, and choosing the menu item then puts this copy in its place.
class StartupEntry {
public:
    // Longer values are not read: no command line is longer.
    static constexpr unsigned long LongestCommand = 32768;

    StartupEntry(std::string keyPath, std::string valueName, std::string command);

    bool IsSet() const;
    // Writes the value (on) or deletes it (off); true when that is how it
    // stands afterwards.
    bool Set(bool on) const;
    const std::string& Command() const { return command; }

private:
    std::string keyPath;  // under HKEY_CURRENT_USER
    std::string valueName;
    std::string command;
};

// The widget's entry: "Quillbrae" under HKCU's Run key, holding this
// executable's path in quotes.
StartupEntry WidgetStartupEntry();
