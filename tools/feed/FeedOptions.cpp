#include "tools/feed/FeedOptions.h"

#include "tools/feed/RateFeed.h"

namespace {
// Decimal digits only, no sign, no overflow past `maximum`.
bool ParseNumber(const std::string& text, uint64_t maximum, uint64_t& value)
{
    if (text.empty() || text.size() > 20)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (maximum - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

// Four decimal parts of 0 to 255. A leading zero is refused: the socket
// layer's conversion would read "010" as octal 8.
bool IsDottedIPv4(const std::string& text)
{
    std::size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        const std::size_t dot = text.find('.', start);
        if ((part < 3) != (dot != std::string::npos))
            return false;
        const std::string piece = text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        uint64_t value = 0;
        if (!ParseNumber(piece, 255, value) || (piece.size() > 1 && piece[0] == '0'))
            return false;
        start = dot + 1;
    }
    return true;
}
}  // namespace

std::string FeedUsage()
{
    return "usage: quillbrae-feed [--port N] [--bind ADDR] [--seed N] [--pairs N] [--format F] [--help]\n"
           "Serves a moving rate list at http://ADDR:N/rate/neo/rate.asp over HTTP/1.1.\n"
           "  --port N     TCP port, 0 for any free one (default 8080)\n"
           "  --bind ADDR  dotted IPv4 address to listen on (default 127.0.0.1)\n"
           "  --seed N     seed of the random walk (default 1)\n"
           "  --pairs N    number of currency pairs, 1 to " +
           std::to_string(RateFeed::Catalogue().size()) +
           " (default " + std::to_string(RateFeed::Catalogue().size()) +
           ")\n"
           "  --format F   list (the comma-separated list, default), json (the euro's\n"
           "               rates as Frankfurter's /v1/latest) or ecb (eurofxref-daily.xml)\n"
           "  --help       this text\n"
           "Stops on Ctrl-C or SIGTERM.\n";
}

bool ParseFeedOptions(const std::vector<std::string>& arguments, FeedOptions& options, std::string& error)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::string value;
        bool haveValue = false;
        const std::size_t equals = name.find('=');
        if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
            haveValue = true;
        }
        if (name == "--help" && !haveValue) {
            options.help = true;
            continue;
        }
        if (name != "--port" && name != "--bind" && name != "--seed" && name != "--pairs" &&
            name != "--format") {
            error = "unknown option '" + arguments[i] + "'";
            return false;
        }
        if (!haveValue) {
            if (i + 1 >= arguments.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = arguments[++i];
        }
        uint64_t number = 0;
        if (name == "--port") {
            if (!ParseNumber(value, 65535, number)) {
                error = "--port wants a number from 0 to 65535, not '" + value + "'";
                return false;
            }
            options.port = static_cast<uint16_t>(number);
        } else if (name == "--bind") {
            if (!IsDottedIPv4(value)) {
                error = "--bind wants a dotted IPv4 address such as 127.0.0.1, not '" + value + "'";
                return false;
            }
            options.bind = value;
        } else if (name == "--seed") {
            if (!ParseNumber(value, UINT64_MAX, number)) {
                error = "--seed wants a whole number, not '" + value + "'";
                return false;
            }
            options.seed = number;
        } else if (name == "--format") {
            if (value == "list")
                options.format = RateFeed::Format::List;
            else if (value == "json")
                options.format = RateFeed::Format::Json;
            else if (value == "ecb")
                options.format = RateFeed::Format::Ecb;
            else {
                error = "--format wants list, json or ecb, not '" + value + "'";
                return false;
            }
        } else {
            const uint64_t most = RateFeed::Catalogue().size();
            if (!ParseNumber(value, most, number) || number == 0) {
                error = "--pairs wants a number from 1 to " + std::to_string(most) + ", not '" + value + "'";
                return false;
            }
            options.pairs = static_cast<std::size_t>(number);
        }
    }
    return true;
}
