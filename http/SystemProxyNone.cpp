#include "http/ProxyConfig.h"

// Only Windows has system proxy settings this program reads.
bool SystemProxyFor(const Url&, std::string&, std::string&)
{
    return false;
}
