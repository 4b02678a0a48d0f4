// Wall and processor time of one whole update cycle under Wine, for
// docs/performance.md: the probes, the download, the decode and the merge,
// repeated and averaged, with the calling thread's own processor time (the
// feed's thread is not counted).
//
//   measure_cycle.exe [CYCLES [URL [TRUSTED_CERTIFICATE]]]
//
// By default 200 cycles against the in-process feed on loopback; an https
// URL of a private feed takes the file of its authority (PEM or DER).
#include "http/HttpFailure.h"
#include "http/SocketLibrary.h"
#include "http/TrustedCertificate.h"
#include "tests/tools/RunningFeed.h"
#include "update/UpdateRates.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double ThreadCpuMs()
{
    FILETIME created, ended, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
    auto ticks = [](FILETIME t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

double NowMs()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv)
{
    // The client reports each expected length on standard output.
    std::freopen("NUL", "w", stdout);
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 200;
    SocketLibrary sockets;
    RunningFeed feed;
    const std::string url = argc > 2 ? argv[2] : feed.Url();

    RateUpdater updater;
    if (argc > 3) {
        std::string der;
        if (ReadTrustedCertificate(argv[3], der) != HttpFailure::kOk) {
            std::fprintf(stderr, "cannot read %s\n", argv[3]);
            return 1;
        }
        updater.SetTrustedCertificate(der);
    }
    SharedRates rates;
    const UpdateOutcome first = updater.Update(rates, url);  // the first cycle makes the records
    if (rates.Lock()->empty()) {
        std::fprintf(stderr, "no rates from %s: %s\n", url.c_str(), first.reason.c_str());
        return 1;
    }
    const double cpu0 = ThreadCpuMs();
    const double start = NowMs();
    for (int i = 0; i < cycles; ++i)
        updater.Update(rates, url);
    const double wall = NowMs() - start;
    const double cpu = ThreadCpuMs() - cpu0;
    std::fprintf(stderr, "%s: %d cycles, %.2f ms wall and %.2f ms CPU of the calling thread a cycle\n", url.c_str(),
                 cycles, wall / cycles, cpu / cycles);
    return 0;
}
