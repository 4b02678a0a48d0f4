#include "bench/app/ProcessFigures.h"

#include "tests/support/SharedFile.h"

#include <psapi.h>

#include <cstdio>

double UnixProcessCpuMs(const std::string& commandPart)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE)
        return -1;
    double found = -1;
    do {
        const std::string pid = entry.cFileName;
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string command = ReadSharedFile("Z:\\proc\\" + pid + "\\cmdline");
        if (command.find(commandPart) == std::string::npos)
            continue;
        // Fields 14 and 15 (utime, stime) after the parenthesised name.
        const std::string stat = ReadSharedFile("Z:\\proc\\" + pid + "\\stat");
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        unsigned long long utime = 0, stime = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu",
                        &utime, &stime) == 2) {
            found = static_cast<double>(utime + stime) * 10.0;  // USER_HZ is 100
            break;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return found;
}

double ProcessCpuMs(HANDLE process, const std::string& commandPart)
{
    if (!commandPart.empty()) {
        const double fromProc = UnixProcessCpuMs(commandPart);
        if (fromProc >= 0)
            return fromProc;
    }
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user))
        return -1;
    auto ms = [](FILETIME t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               10000.0;
    };
    return ms(kernel) + ms(user);
}

double PrivateKiB(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters)))
        return -1;
    SIZE_T bytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
    return static_cast<double>(bytes) / 1024.0;
}
