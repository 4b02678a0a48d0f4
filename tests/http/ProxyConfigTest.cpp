#include "http/ProxyConfig.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Url Parsed(const std::string& text)
{
    Url url;
    EXPECT_EQ(ParseUrl(text, url), UrlError::None) << text;
    return url;
}

}  // namespace

TEST(ProxyConfig, PicksTheProxyForTheSchemeFromAList)
{
    struct Case {
        const char* list;
        const char* url;
        const char* host;  // "" for direct
        uint16_t port;
    };
    const Case cases[] = {
        {"proxy.example:3128", "http://a.example/", "proxy.example", 3128},
        {"proxy.example:3128", "https://a.example/", "proxy.example", 3128},
        {"proxy.example", "http://a.example/", "proxy.example", 80},
        {"http://proxy.example:8080/", "http://a.example/", "proxy.example", 8080},
        {"http=h1:1;https=h2:2", "http://a.example/", "h1", 1},
        {"http=h1:1;https=h2:2", "https://a.example/", "h2", 2},
        {"HTTPS=h2:2 http=h1:1", "https://a.example/", "h2", 2},
        {"http=h1:1", "https://a.example/", "", 0},
        {"general:9;https=h2:2", "https://a.example/", "h2", 2},
        {"general:9;https=h2:2", "http://a.example/", "general", 9},
        {"socks=s:1080", "http://a.example/", "", 0},
        {"https=http://h2:2", "https://a.example/", "h2", 2},
        {"[::1]:3128", "http://a.example/", "::1", 3128},
        {"bad:port:9;good:7", "http://a.example/", "good", 7},
        {"h:70000", "http://a.example/", "", 0},
        {"  ;; \t", "http://a.example/", "", 0},
        {"", "http://a.example/", "", 0},
    };
    for (const Case& c : cases) {
        ProxyServer server = ProxyFromList(c.list, Parsed(c.url));
        EXPECT_EQ(server.host, c.host) << c.list << " for " << c.url;
        EXPECT_EQ(server.port, c.port) << c.list << " for " << c.url;
    }
}

TEST(ProxyConfig, BypassListMatchesLocalNamesWildcardsSchemesAndPorts)
{
    struct Case {
        const char* bypass;
        const char* url;
        bool bypassed;
    };
    const Case cases[] = {
        {"<local>", "http://intranet/", true},
        {"<local>", "http://intranet.example/", false},
        {"<local>", "http://[::1]/", false},
        {"*.example.com", "http://www.example.com/", true},
        {"*.example.com", "http://example.com/", false},
        {"*.EXAMPLE.com", "http://Www.Example.COM/", true},
        {"10.*", "http://10.1.2.3/", true},
        {"10.*", "http://110.1.2.3/", false},
        {"a.example;b.example", "http://b.example/", true},
        {"a.example b.example", "http://b.example/", true},
        {"a.example;;  c.example", "http://b.example/", false},
        {"https://secure.example", "https://secure.example/", true},
        {"https://secure.example", "http://secure.example/", false},
        {"host.example:8080", "http://host.example:8080/", true},
        {"host.example:8080", "http://host.example/", false},
        {"host.example:*", "https://host.example/", true},
        {"127.0.0.1", "http://127.0.0.1:5000/", true},
        {"[::1]", "http://[::1]:5000/", true},
        {"*a*a*a*a*a*a*a*b", "http://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/", false},
        {"*", "http://anything.example/", true},
        {"", "http://anything.example/", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Bypassed(c.bypass, Parsed(c.url)), c.bypassed) << c.bypass << " for " << c.url;
}

TEST(ProxyConfig, SettingNamesOneProxyNoneOrTheSystem)
{
    const Url target = Parsed("https://rates.example/list");
    ProxyConfig config;
    EXPECT_EQ(config.GetMode(), ProxyConfig::Mode::System);

    ASSERT_TRUE(config.Parse(" proxy.example:3128 "));
    EXPECT_EQ(config.GetMode(), ProxyConfig::Mode::Fixed);
    EXPECT_EQ(config.For(target), (ProxyServer{"proxy.example", 3128}));

    ASSERT_TRUE(config.Parse("NONE"));
    EXPECT_EQ(config.GetMode(), ProxyConfig::Mode::Direct);
    EXPECT_TRUE(config.For(target).Direct());

    ASSERT_TRUE(config.Parse("[::1]:8080"));
    EXPECT_EQ(config.For(target), (ProxyServer{"::1", 8080}));

    // Unreadable values leave what was set.
    for (const char* bad : {"h:0", "h:99999", "http=h:1;https=h:2", "a b", ":80", "h:80:81"}) {
        EXPECT_FALSE(config.Parse(bad)) << bad;
        EXPECT_EQ(config.For(target), (ProxyServer{"::1", 8080})) << bad;
    }

    ASSERT_TRUE(config.Parse(""));
    EXPECT_EQ(config.GetMode(), ProxyConfig::Mode::System);
}
