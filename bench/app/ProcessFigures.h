#pragma once
#include <windows.h>

#include <string>

// What a process costs, read the way that works under Wine as well as on
// Windows, for the measuring programs.

// Processor time (user and kernel) of `process` in milliseconds. Wine's
// GetProcessTimes gives the caller's own times whatever process it is asked
// about, so under Wine the time is read from Linux's /proc through the Z:
// drive, for the process whose command line holds `commandPart` (use the
// whole executable path: other programs may run one of the same name).
// -1 when it cannot be read.
double ProcessCpuMs(HANDLE process, const std::string& commandPart);

// The same, from /proc alone; -1 when there is no such process (not under Wine).
double UnixProcessCpuMs(const std::string& commandPart);

// Committed private memory of `process` in KiB; Wine leaves PrivateUsage at
// zero but keeps the page-file count, which is the same figure. -1 when it
// cannot be read.
double PrivateKiB(HANDLE process);
