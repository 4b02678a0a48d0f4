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

// Splits "name[:port]" into the name to resolve and the port: 80 when no
// port is written (or nothing follows the colon). False when the port is
// not a decimal number from 1 to 65535.
bool SplitHostPort(const std::string& hostPort, std::string& name, uint16_t& port);
