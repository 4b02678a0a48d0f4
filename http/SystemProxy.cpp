#include "http/ProxyConfig.h"

#include <windows.h>
#include <winhttp.h>

#include <memory>

namespace {

// WinHTTP hands out its strings from GlobalAlloc; the caller frees them.
struct GlobalString {
    LPWSTR text = nullptr;
    ~GlobalString()
    {
        if (text)
            GlobalFree(text);
    }
};

struct SessionCloser {
    void operator()(void* handle) const { WinHttpCloseHandle(handle); }
};

std::string Narrow(const wchar_t* text)
{
    if (!text || !*text)
        return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1 || size > 65536)
        return std::string();
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
    out.resize(static_cast<size_t>(size - 1));
    return out;
}

std::wstring Widen(const std::string& text)
{
    if (text.empty() || text.size() > 65536)
        return std::wstring();
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

// The proxy list and bypass list of an answer that names a proxy, its
// strings freed either way; false for "direct" or an empty list.
bool TakeNamedProxy(WINHTTP_PROXY_INFO& info, std::string& list, std::string& bypass)
{
    GlobalString proxy{info.lpszProxy};
    GlobalString bypassed{info.lpszProxyBypass};
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY)
        return false;
    list = Narrow(proxy.text);
    bypass = Narrow(bypassed.text);
    return !list.empty();
}

// What the automatic detection or the PAC script says for `target`; false
// when they say nothing usable.
bool AutoProxyFor(const Url& target, const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG& user, std::string& list,
                  std::string& bypass)
{
    std::unique_ptr<void, SessionCloser> session(WinHttpOpen(
        L"Quillbrae", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session)
        return false;
    // Detection asks DHCP and DNS; a network without an answer must not
    // hold the cycle for long.
    WinHttpSetTimeouts(session.get(), 2000, 2000, 2000, 2000);
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (user.fAutoDetect) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    if (user.lpszAutoConfigUrl && *user.lpszAutoConfigUrl) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = user.lpszAutoConfigUrl;
    }
    options.fAutoLogonIfChallenged = TRUE;
    const std::wstring url = Widen(target.Text());
    WINHTTP_PROXY_INFO info{};
    if (url.empty() || !WinHttpGetProxyForUrl(session.get(), url.c_str(), &options, &info))
        return false;
    return TakeNamedProxy(info, list, bypass);
}

}  // namespace

bool SystemProxyFor(const Url& target, std::string& list, std::string& bypass)
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG user{};
    if (WinHttpGetIEProxyConfigForCurrentUser(&user)) {
        GlobalString autoConfig{user.lpszAutoConfigUrl};
        GlobalString proxy{user.lpszProxy};
        GlobalString bypassed{user.lpszProxyBypass};
        if ((user.fAutoDetect || (user.lpszAutoConfigUrl && *user.lpszAutoConfigUrl)) &&
            AutoProxyFor(target, user, list, bypass))
            return true;
        if (user.lpszProxy && *user.lpszProxy) {
            list = Narrow(proxy.text);
            bypass = Narrow(bypassed.text);
            return !list.empty();
        }
    }
    WINHTTP_PROXY_INFO info{};
    if (!WinHttpGetDefaultProxyConfiguration(&info))
        return false;
    return TakeNamedProxy(info, list, bypass);
}
