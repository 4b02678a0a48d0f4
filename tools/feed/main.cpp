// quillbrae-feed: the local rate feed. Serves a moving rate list at
// /rate/neo/rate.asp so the widget has something to show wherever it runs.
#include "http/SocketLibrary.h"
#include "tools/feed/FeedOptions.h"
#include "tools/feed/FeedServer.h"
#include "tools/feed/FeedService.h"
#include "tools/feed/StopSignal.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::atomic<bool>& stop = StopSignal::Install();

    std::vector<std::string> arguments(argv + 1, argv + argc);
    FeedOptions options;
    std::string error;
    if (!ParseFeedOptions(arguments, options, error)) {
        std::fprintf(stderr, "quillbrae-feed: %s\n%s", error.c_str(), FeedUsage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(FeedUsage().c_str(), stdout);
        return 0;
    }

    SocketLibrary sockets;
    if (!sockets.Started()) {
        std::fprintf(stderr, "quillbrae-feed: Windows Sockets could not be started\n");
        return 1;
    }
    FeedService service(options.seed, options.pairs, options.format);
    FeedServer server(service);
    if (!server.Listen(options.bind, options.port)) {
        std::fprintf(stderr, "quillbrae-feed: cannot listen on %s:%u\n", options.bind.c_str(),
                     static_cast<unsigned>(options.port));
        return 1;
    }
    // Scripts and tests wait for this line; with --port 0 it is also the
    // only place that tells which port was picked.
    std::printf("quillbrae-feed: listening on %s:%u\n", options.bind.c_str(), static_cast<unsigned>(server.Port()));
    std::fflush(stdout);

    server.Run(stop);

    std::printf("quillbrae-feed: stopped (downloads: %llu)\n", static_cast<unsigned long long>(service.Downloads()));
    std::fflush(stdout);
    StopSignal::Stopped();
    return 0;
}
