#pragma once
#include "http/Url.h"

#include <cstdint>
#include <string>

// Where a request goes first: straight to its server, or to a proxy that
// forwards it (http in absolute form, https through a CONNECT tunnel).
struct ProxyServer {
    std::string host;  // empty: direct
    uint16_t port = 0;

    bool Direct() const { return host.empty(); }
    bool operator==(const ProxyServer& other) const { return host == other.host && port == other.port; }
};

// The proxy a WinHTTP-style list names for `target`: entries separated by
// ";" or blanks, each "[scheme=][scheme://]host[:port]" (port 80 when
// missing). An entry for the target's own scheme wins over one without a
// scheme; entries for other schemes (socks=, ftp=) and unreadable ones are
// passed over. Direct when nothing fits.
ProxyServer ProxyFromList(const std::string& list, const Url& target);

// Whether `target` skips the proxy by a bypass list: entries separated by
// ";" or blanks, compared without letter case; "<local>" for a name
// without a dot, "*" for any run of characters, an optional "scheme://"
// that must then match, an optional ":port" that must then match.
bool Bypassed(const std::string& bypassList, const Url& target);

// The "Proxy" setting: empty for the system's settings, "none" for no
// proxy, else "host:port" (an IPv6 literal in brackets).
class ProxyConfig {
public:
    enum class Mode { System, Direct, Fixed };

    // False, leaving the configuration as it was, when `setting` is none of
    // the three.
    bool Parse(const std::string& setting);
    Mode GetMode() const { return mode; }

    // The proxy for `target`: the fixed one, none, or what the system's
    // settings say (on Windows: the user's Internet settings with automatic
    // detection or a PAC address, then WinHTTP's default configuration,
    // which also honours "http_proxy"; elsewhere none).
    ProxyServer For(const Url& target) const;

private:
    Mode mode = Mode::System;
    ProxyServer fixed;
};

// The system's proxy list and bypass list for `target` (see ProxyConfig::For);
// false when the system names no proxy.
bool SystemProxyFor(const Url& target, std::string& proxyList, std::string& bypassList);
