// What the client costs: CPU while it waits on a silent server (it must
// block, not poll), and the wall time of one fetch of a 20-pair rate list
// from a loopback server, with and without the two redirect probes.
#include "base/Names.h"
#include "http/HttpClient.h"
#include "http/SocketLibrary.h"
#include "tests/support/ScriptedServer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

double ThreadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double WallSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Sends standard output to /dev/null for its lifetime, then restores it.
class StdoutSilenced {
public:
    StdoutSilenced()
    {
        std::fflush(stdout);
        saved = dup(STDOUT_FILENO);
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, STDOUT_FILENO);
            close(null);
        }
    }
    ~StdoutSilenced()
    {
        std::fflush(stdout);
        if (saved >= 0) {
            dup2(saved, STDOUT_FILENO);
            close(saved);
        }
    }
    StdoutSilenced(const StdoutSilenced&) = delete;
    StdoutSilenced& operator=(const StdoutSilenced&) = delete;

private:
    int saved = -1;
};

// Twenty pairs of nine comma-separated fields, as the rate page sends them.
std::string RateList()
{
    std::string list;
    for (int i = 0; i < 20; ++i) {
        char pair[160];
        std::snprintf(pair, sizeof pair, "P%02d/USD,Pair %02d,1.%04d,1.%04d,+0.%04d,+0.12%%,1.%04d,1.%04d,12:00:%02d,", i,
                      i, 1000 + i, 1010 + i, i, 990 + i, 1020 + i, i);
        list += pair;
    }
    return list;
}

void SilentServerWait(benchmark::State& state)
{
    SocketLibrary sockets;
    ScriptedServer server;
    server.SetFallback({ScriptedServer::Hold()});
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        HttpClient client;
        if (client.Open(server.Url("/silent"), 0) != HttpClient::kOk)
            state.SkipWithError("no connection");
        double cpuStart = ThreadCpuSeconds();
        double wallStart = WallSeconds();
        benchmark::DoNotOptimize(client.SendRequest("GET"));
        cpu += ThreadCpuSeconds() - cpuStart;
        wall += WallSeconds() - wallStart;
    }
    state.counters["wait_s"] = wall / static_cast<double>(state.iterations());
    state.counters["cpu_s"] = cpu / static_cast<double>(state.iterations());
    state.counters["cpu_per_wall"] = cpu / wall;
}
BENCHMARK(SilentServerWait)->Iterations(2)->Unit(benchmark::kMillisecond);

void FetchRateList(benchmark::State& state)
{
    const int probes = static_cast<int>(state.range(0));
    SocketLibrary sockets;
    ScriptedServer server;
    const std::string list = RateList();
    // Probes are answered with the same head; the body is only read by GET.
    server.SetFallback({ScriptedServer::Send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                             std::to_string(list.size()) + "\r\n\r\n" + list)});
    StdoutSilenced quiet;  // the ContentLen lines
    for (auto _ : state) {
        HttpClient client;
        client.Open(server.Url(names::kDefaultRatePath), probes);
        client.SendRequest("GET");
        std::string body = client.ReadBody();
        if (body.size() != list.size())
            state.SkipWithError("incomplete body");
        benchmark::DoNotOptimize(body);
    }
    state.counters["body_bytes"] = static_cast<double>(list.size());
}
BENCHMARK(FetchRateList)->Arg(0)->Arg(3)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
