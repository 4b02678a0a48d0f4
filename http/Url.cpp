#include "http/Url.h"

#include "base/Text.h"

#include <cctype>

namespace {

// The five components of RFC 3986 appendix B; an absent component differs
// from an empty one ("http://a?" has an empty query, "http://a" none).
struct UriParts {
    bool hasScheme = false;
    bool hasAuthority = false;
    bool hasQuery = false;
    bool hasFragment = false;
    std::string scheme;
    std::string authority;
    std::string path;
    std::string query;
    std::string fragment;
};

bool IsSchemeText(const std::string& text)
{
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

// What may stand between the brackets: hexadecimal digits, colons (at
// least two) and dots for an embedded IPv4 tail. Zone identifiers are not
// taken; the resolver judges the rest.
bool IsIpv6Text(const std::string& text)
{
    if (text.size() < 2 || text.size() > 45)
        return false;
    size_t colons = 0;
    for (char c : text) {
        if (c == ':')
            ++colons;
        else if (!std::isxdigit(static_cast<unsigned char>(c)) && c != '.')
            return false;
    }
    return colons >= 2;
}

UriParts ParseUri(const std::string& uri)
{
    UriParts parts;
    size_t at = 0;
    size_t colon = uri.find_first_of(":/?#");
    if (colon != std::string::npos && uri[colon] == ':' && IsSchemeText(uri.substr(0, colon))) {
        parts.hasScheme = true;
        parts.scheme = uri.substr(0, colon);
        at = colon + 1;
    }
    if (uri.compare(at, 2, "//") == 0) {
        size_t end = uri.find_first_of("/?#", at + 2);
        if (end == std::string::npos)
            end = uri.size();
        parts.hasAuthority = true;
        parts.authority = uri.substr(at + 2, end - at - 2);
        at = end;
    }
    size_t pathEnd = uri.find_first_of("?#", at);
    if (pathEnd == std::string::npos)
        pathEnd = uri.size();
    parts.path = uri.substr(at, pathEnd - at);
    at = pathEnd;
    if (at < uri.size() && uri[at] == '?') {
        size_t end = uri.find('#', at);
        if (end == std::string::npos)
            end = uri.size();
        parts.hasQuery = true;
        parts.query = uri.substr(at + 1, end - at - 1);
        at = end;
    }
    if (at < uri.size() && uri[at] == '#') {
        parts.hasFragment = true;
        parts.fragment = uri.substr(at + 1);
    }
    return parts;
}

// RFC 3986 section 5.2.3.
std::string MergePaths(const UriParts& base, const std::string& referencePath)
{
    if (base.hasAuthority && base.path.empty())
        return "/" + referencePath;
    size_t slash = base.path.rfind('/');
    if (slash == std::string::npos)
        return referencePath;
    return base.path.substr(0, slash + 1) + referencePath;
}

// RFC 3986 section 5.3.
std::string Recompose(const UriParts& parts)
{
    std::string result;
    if (parts.hasScheme)
        result += parts.scheme + ":";
    if (parts.hasAuthority)
        result += "//" + parts.authority;
    result += parts.path;
    if (parts.hasQuery)
        result += "?" + parts.query;
    if (parts.hasFragment)
        result += "#" + parts.fragment;
    return result;
}

// Removes the last segment (and its "/") from `output` (step 2C).
void DropLastSegment(std::string& output)
{
    size_t slash = output.rfind('/');
    output.erase(slash == std::string::npos ? 0 : slash);
}

}  // namespace

std::string RemoveDotSegments(const std::string& path)
{
    std::string input = path;
    std::string output;
    while (!input.empty()) {
        if (input.compare(0, 3, "../") == 0) {
            input.erase(0, 3);
        } else if (input.compare(0, 2, "./") == 0) {
            input.erase(0, 2);
        } else if (input.compare(0, 3, "/./") == 0) {
            input.erase(0, 2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.compare(0, 4, "/../") == 0) {
            input.erase(0, 3);
            DropLastSegment(output);
        } else if (input == "/..") {
            input = "/";
            DropLastSegment(output);
        } else if (input == "." || input == "..") {
            input.clear();
        } else {
            // Move the first segment, with its leading "/" if any.
            size_t end = input.find('/', input[0] == '/' ? 1 : 0);
            if (end == std::string::npos)
                end = input.size();
            output += input.substr(0, end);
            input.erase(0, end);
        }
    }
    return output;
}

std::string ResolveReference(const std::string& base, const std::string& reference)
{
    UriParts b = ParseUri(base);
    if (!b.hasScheme)
        return std::string();
    UriParts r = ParseUri(reference);
    UriParts t;
    if (r.hasScheme) {
        t = r;
        t.path = RemoveDotSegments(r.path);
    } else {
        if (r.hasAuthority) {
            t.hasAuthority = true;
            t.authority = r.authority;
            t.path = RemoveDotSegments(r.path);
            t.hasQuery = r.hasQuery;
            t.query = r.query;
        } else {
            if (r.path.empty()) {
                t.path = b.path;
                t.hasQuery = r.hasQuery || b.hasQuery;
                t.query = r.hasQuery ? r.query : b.query;
            } else {
                t.path = RemoveDotSegments(r.path[0] == '/' ? r.path : MergePaths(b, r.path));
                t.hasQuery = r.hasQuery;
                t.query = r.query;
            }
            t.hasAuthority = b.hasAuthority;
            t.authority = b.authority;
        }
        t.hasScheme = true;
        t.scheme = b.scheme;
    }
    t.hasFragment = r.hasFragment;
    t.fragment = r.fragment;
    return Recompose(t);
}

bool SplitHostPort(const std::string& hostPort, std::string& name, uint16_t& port, uint16_t defaultPort)
{
    // An IPv6 literal is written in brackets, its colons inside them; the
    // name to resolve is what the brackets hold.
    size_t nameBegin = 0;
    size_t nameEnd = hostPort.size();
    size_t colon = std::string::npos;
    if (!hostPort.empty() && hostPort[0] == '[') {
        size_t close = hostPort.find(']');
        if (close == std::string::npos || !IsIpv6Text(hostPort.substr(1, close - 1)))
            return false;
        nameBegin = 1;
        nameEnd = close;
        if (close + 1 < hostPort.size()) {
            if (hostPort[close + 1] != ':')
                return false;
            colon = close + 1;
        }
    } else {
        // One colon only: "h:80:81" names no port at all.
        colon = hostPort.find(':');
        nameEnd = colon == std::string::npos ? hostPort.size() : colon;
    }
    if (colon == std::string::npos) {
        name = hostPort.substr(nameBegin, nameEnd - nameBegin);
        port = defaultPort;
        return true;
    }
    std::string digits = hostPort.substr(colon + 1);
    if (digits.size() > 5)
        return false;
    unsigned value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (digits.empty())
        value = defaultPort;
    if (value == 0 || value > 65535)
        return false;
    name = hostPort.substr(nameBegin, nameEnd - nameBegin);
    port = static_cast<uint16_t>(value);
    return true;
}

std::string Url::Text() const
{
    return (Secure() ? "https://" : "http://") + hostPort + target;
}

UrlError ParseUrl(const std::string& text, Url& url)
{
    UriParts parts = ParseUri(text);
    Url result;
    if (parts.hasScheme && EqualsNoCase(parts.scheme, "https"))
        result.scheme = Url::Scheme::Https;
    else if (!parts.hasScheme || !EqualsNoCase(parts.scheme, "http"))
        return UrlError::Scheme;
    if (!parts.hasAuthority)
        return UrlError::NoHost;
    // Credentials in the URL would travel nowhere; a host that carries them
    // is no host this client connects to.
    if (parts.authority.find('@') != std::string::npos)
        return UrlError::NoHost;
    if (!parts.authority.empty() && parts.authority[0] == '[' &&
        parts.authority.find(']') == std::string::npos)
        return UrlError::NoHost;
    result.hostPort = parts.authority;
    if (!SplitHostPort(parts.authority, result.host, result.port, result.Secure() ? 443 : 80))
        return UrlError::Port;
    if (result.host.empty())
        return UrlError::NoHost;
    result.target = parts.path.empty() ? "/" : parts.path;
    if (parts.hasQuery)
        result.target += "?" + parts.query;
    url = std::move(result);
    return UrlError::None;
}

bool ParseIpv4Literal(const std::string& host, unsigned char bytes[4])
{
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= host.size() || host[at] != '.')
                return false;
            ++at;
        }
        size_t start = at;
        unsigned value = 0;
        while (at < host.size() && host[at] >= '0' && host[at] <= '9' && at - start < 3)
            value = value * 10 + static_cast<unsigned>(host[at++] - '0');
        if (at == start || value > 255 || (host[start] == '0' && at - start > 1))
            return false;
        bytes[part] = static_cast<unsigned char>(value);
    }
    return at == host.size();
}
