#pragma once
#include <cstdint>
#include <string>

// Resolves a URI reference against an absolute base URI as RFC 3986
// section 5.2 does (dot segments removed, the base's query kept for an
// empty reference, the reference's fragment kept). Empty when `base` has no
// scheme.
std::string ResolveReference(const std::string& base, const std::string& reference);

// RFC 3986 section 5.2.4: "/a/b/../c/./d" becomes "/a/c/d".
std::string RemoveDotSegments(const std::string& path);

// Splits "name[:port]" or "[IPv6 literal][:port]" into the name to resolve
// (without the brackets) and the port: `defaultPort` when no port is
// written (or nothing follows the colon). False when the port is not a
// decimal number from 1 to 65535, when a second colon follows a name, or
// when the brackets do not hold an IPv6 literal.
bool SplitHostPort(const std::string& hostPort, std::string& name, uint16_t& port, uint16_t defaultPort = 80);

// An absolute "http" or "https" URL taken apart for a request.
struct Url {
    enum class Scheme { Http, Https };
    Scheme scheme = Scheme::Http;
    std::string hostPort;  // as written, ":port" included: the "Host" header
    std::string host;  // without the port (and an IPv6 literal without its brackets): resolved, connected to,
                       // matched against a certificate
    uint16_t port = 80;
    std::string target;  // path and query, "/" when the URL has no path; the fragment is not sent

    bool Secure() const { return scheme == Scheme::Https; }
    // "http://" or "https://", the host and port as written, the target.
    std::string Text() const;
};

// Why a text is not a usable URL.
enum class UrlError {
    None,
    Scheme,  // not an absolute "http:" or "https:" URL (the scheme in any letter case)
    NoHost,  // nothing, user information, or an unclosed bracket where the host belongs
    Port,    // a port that is not a number from 1 to 65535
};

// The one URL reader of the client, for both schemes. `url` is written only
// when the result is UrlError::None.
UrlError ParseUrl(const std::string& text, Url& url);

// A dotted IPv4 address ("127.0.0.1": four decimal numbers up to 255, no
// leading zeros) into its four bytes; false for anything else, a host name
// included.
bool ParseIpv4Literal(const std::string& host, unsigned char bytes[4]);
