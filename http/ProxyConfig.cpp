#include "http/ProxyConfig.h"

#include "base/Text.h"

#include <chrono>
#include <map>
#include <mutex>
#include <vector>

namespace {

std::vector<std::string> ListEntries(const std::string& list)
{
    std::vector<std::string> entries;
    std::string entry;
    for (char c : list) {
        if (c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (!entry.empty())
                entries.push_back(std::move(entry));
            entry.clear();
        } else {
            entry += c;
        }
    }
    if (!entry.empty())
        entries.push_back(std::move(entry));
    return entries;
}

const char* SchemeName(const Url& target)
{
    return target.Secure() ? "https" : "http";
}

// "host[:port]" after an optional "scheme://" and a trailing "/".
bool ReadServer(std::string text, ProxyServer& server)
{
    size_t slashes = text.find("://");
    if (slashes != std::string::npos)
        text.erase(0, slashes + 3);
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    ProxyServer read;
    if (text.empty() || !SplitHostPort(text, read.host, read.port, 80) || read.host.empty())
        return false;
    server = std::move(read);
    return true;
}

bool MatchWildcard(const char* pattern, const char* text)
{
    // Iterative with one back-track point, so a pattern of many stars
    // cannot take exponential time.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*text) {
        if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (*pattern && (*pattern == '?' || *pattern == *text)) {
            ++pattern;
            ++text;
        } else if (star) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == '\0';
}

std::string Lower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

}  // namespace

ProxyServer ProxyFromList(const std::string& list, const Url& target)
{
    ProxyServer general;
    bool haveGeneral = false;
    for (const std::string& entry : ListEntries(list)) {
        size_t equals = entry.find('=');
        ProxyServer server;
        if (equals == std::string::npos) {
            if (!haveGeneral && ReadServer(entry, server)) {
                general = std::move(server);
                haveGeneral = true;
            }
            continue;
        }
        if (EqualsNoCase(entry.substr(0, equals), SchemeName(target)) &&
            ReadServer(entry.substr(equals + 1), server))
            return server;
    }
    return haveGeneral ? general : ProxyServer();
}

bool Bypassed(const std::string& bypassList, const Url& target)
{
    const std::string host = Lower(target.host);
    for (std::string entry : ListEntries(Lower(bypassList))) {
        if (entry == "<local>") {
            if (host.find('.') == std::string::npos && host.find(':') == std::string::npos)
                return true;
            continue;
        }
        size_t slashes = entry.find("://");
        if (slashes != std::string::npos) {
            if (entry.compare(0, slashes, SchemeName(target)) != 0)
                continue;
            entry.erase(0, slashes + 3);
        }
        // A port after the last colon, unless the colon belongs to an IPv6
        // literal in brackets (or a bare one, which has several colons).
        size_t colon = entry.rfind(':');
        size_t bracket = entry.rfind(']');
        if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket) &&
            entry.find(':') == colon) {
            const std::string port = entry.substr(colon + 1);
            entry.erase(colon);
            if (port != "*" && port != std::to_string(target.port))
                continue;
        }
        if (entry.size() > 2 && entry.front() == '[' && entry.back() == ']')
            entry = entry.substr(1, entry.size() - 2);
        if (!entry.empty() && MatchWildcard(entry.c_str(), host.c_str()))
            return true;
    }
    return false;
}

bool ProxyConfig::Parse(const std::string& setting)
{
    const std::string text(TrimSpace(setting));
    if (text.empty()) {
        mode = Mode::System;
        fixed = ProxyServer();
        return true;
    }
    if (EqualsNoCase(text, "none")) {
        mode = Mode::Direct;
        fixed = ProxyServer();
        return true;
    }
    ProxyServer server;
    if (text.find_first_of("=; \t") != std::string::npos || !ReadServer(text, server))
        return false;
    mode = Mode::Fixed;
    fixed = std::move(server);
    return true;
}

ProxyServer ProxyConfig::For(const Url& target) const
{
    switch (mode) {
    case Mode::Direct:
        return ProxyServer();
    case Mode::Fixed:
        return fixed;
    case Mode::System:
        break;
    }
    // Reading the system's settings may mean automatic detection over the
    // network, too slow for every connection; an answer serves a while.
    struct Known {
        std::string list;
        std::string bypass;
        std::chrono::steady_clock::time_point until;
    };
    static std::mutex guard;
    static std::map<std::string, Known> known;
    constexpr std::chrono::minutes kLife{5};
    constexpr size_t kMostKnown = 64;
    const std::string key = (target.Secure() ? "https://" : "http://") + target.hostPort;
    const auto now = std::chrono::steady_clock::now();
    Known answer;
    bool found = false;
    {
        std::lock_guard<std::mutex> lock(guard);
        auto it = known.find(key);
        if (it != known.end() && now < it->second.until) {
            answer = it->second;
            found = true;
        }
    }
    if (!found) {
        if (!SystemProxyFor(target, answer.list, answer.bypass)) {
            answer.list.clear();
            answer.bypass.clear();
        }
        answer.until = now + kLife;
        std::lock_guard<std::mutex> lock(guard);
        if (known.size() >= kMostKnown)
            known.clear();
        known[key] = answer;
    }
    if (answer.list.empty() || Bypassed(answer.bypass, target))
        return ProxyServer();
    return ProxyFromList(answer.list, target);
}
