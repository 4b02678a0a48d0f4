#pragma once
#include "tests/support/ChildProcess.h"

#include <chrono>
#include <string>

// The speech stand-in as a child process, writing what it is asked to say
// to a log in the test's folder. Windows only (qb_test_windows).
class SpeechStandIn {
public:
    // Starts `exe` in `folder` and waits until its window can be found by
    // class name, as the widget finds it.
    bool Start(const std::string& exe, const std::string& folder,
               std::chrono::milliseconds deadline = std::chrono::seconds(20));
    std::string Log() const;
    // How many whole lines of the log read `line`.
    size_t Said(const std::string& line) const;

private:
    ChildProcess process_;
    std::string log_;
};
