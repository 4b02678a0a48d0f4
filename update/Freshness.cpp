#include "update/Freshness.h"

#include "base/Text.h"
#include "update/RetryAfter.h"

#include <algorithm>

namespace {

// Past a day the exact figure no longer matters: the hold is cut long before.
constexpr uint64_t kLongestCount = 24u * 60u * 60u;

// "max-age=N" or max-age="N": N when it is all digits.
std::optional<uint32_t> MaxAge(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    if (value.empty())
        return std::nullopt;
    uint64_t seconds = 0;
    for (char c : value) {
        if (c < '0' || c > '9')
            return std::nullopt;
        if (seconds <= kLongestCount)
            seconds = seconds * 10 + static_cast<uint64_t>(c - '0');
    }
    return static_cast<uint32_t>(std::min(seconds, kLongestCount));
}

}  // namespace

std::optional<uint32_t> FreshSeconds(std::string_view cacheControl, std::string_view expires,
                                     std::string_view date, std::time_t now)
{
    if (cacheControl.size() > kLongestFreshnessValue || expires.size() > kLongestFreshnessValue)
        return std::nullopt;
    std::optional<uint32_t> maxAge;
    bool mustAsk = false;
    while (!cacheControl.empty()) {
        size_t comma = cacheControl.find(',');
        std::string_view directive = TrimBlanks(cacheControl.substr(0, comma));
        cacheControl = comma == std::string_view::npos ? std::string_view() : cacheControl.substr(comma + 1);
        size_t equals = directive.find('=');
        const std::string name = LowerAscii(TrimBlanks(directive.substr(0, equals)));
        if (name == "no-cache" || name == "no-store")
            mustAsk = true;
        else if (name == "max-age" && equals != std::string_view::npos && !maxAge)
            maxAge = MaxAge(TrimBlanks(directive.substr(equals + 1)));
    }
    if (mustAsk)
        return 0u;
    if (maxAge)
        return maxAge;
    if (TrimBlanks(expires).empty())
        return std::nullopt;
    std::optional<int64_t> until = ParseHttpDate(expires, now);
    if (!until)
        return 0u;  // "Expires: 0" and the like: stale already
    std::optional<int64_t> sent = ParseHttpDate(date, now);
    const int64_t from = sent ? *sent : static_cast<int64_t>(now);
    const int64_t seconds = std::clamp<int64_t>(*until - from, 0, static_cast<int64_t>(kLongestCount));
    return static_cast<uint32_t>(seconds);
}

uint32_t PoliteDelayMs(std::optional<uint32_t> freshSeconds, uint32_t intervalMs)
{
    if (!freshSeconds)
        return intervalMs;
    const uint64_t wanted = uint64_t{*freshSeconds} * 1000u;
    const uint64_t longest = std::min<uint64_t>(uint64_t{intervalMs} + kLongestFreshnessHoldMs, UINT32_MAX);
    return static_cast<uint32_t>(
        std::clamp<uint64_t>(wanted, intervalMs, std::max<uint64_t>(longest, intervalMs)));
}
