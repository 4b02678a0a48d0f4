// The JSON and ECB rates documents: the shapes public sources serve, and
// what each decoder does with broken, hostile and cut-short documents.
#include "base/Text.h"
#include "rates/DecodeRates.h"
#include "rates/EcbRateDecoder.h"
#include "rates/JsonRateDecoder.h"
#include "rates/RateFormat.h"
#include "tests/support/RateDocuments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Decoder = bool (*)(const std::string&, RateDocument&, std::string&);

struct Case {
    const char* name;
    std::string body;
    // "CODE=text" per rate in order, or empty for a failure whose reason
    // contains `reason`.
    std::vector<std::string> rates;
    std::string reason = "";
};

std::vector<std::string> Described(const RateDocument& document)
{
    std::vector<std::string> described;
    for (const DocumentRate& rate : document.rates)
        described.push_back(rate.code + "=" + rate.priceText);
    return described;
}

void RunCases(Decoder decode, const std::vector<Case>& cases)
{
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RateDocument document;
        document.rates.push_back({"HELD", "1", 1.0});  // what a failure must leave alone
        std::string failure;
        const bool ok = decode(c.body, document, failure);
        if (c.rates.empty()) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(failure.rfind("not a rate list", 0), 0u) << failure;
            EXPECT_NE(failure.find(c.reason), std::string::npos) << failure;
            ASSERT_EQ(document.rates.size(), 1u);
            EXPECT_EQ(document.rates[0].code, "HELD");
        } else {
            EXPECT_TRUE(ok) << failure;
            EXPECT_EQ(Described(document), c.rates);
            for (const DocumentRate& rate : document.rates)
                EXPECT_GT(rate.value, 0.0);
        }
    }
}

std::string Repeat(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

const char* const kFrankfurter = kFrankfurterLatest;

TEST(JsonRates, ReadsTheShapesOfPublicSources)
{
    RunCases(
        DecodeJsonRates,
        {
            {"frankfurter v1",
             kFrankfurter,
             {"EURUSD=1.0855", "EURGBP=0.86245", "EURJPY=161.5", "EURCHF=0.9561"}},
            {"open.er-api: base_code, the base listed at 1, rates before the base",
             R"({"result":"success","rates":{"USD":1,"EUR":0.9212,"AED":3.6725},"base_code":"USD",
                      "time_last_update_unix":1733529601})",
             {"USDEUR=0.9212", "USDAED=3.6725"}},
            {"frankfurter v2 array",
             R"([{"date":"2026-12-07","base":"EUR","quote":"USD","rate":1.0855},
                      {"base":"USD","quote":"JPY","rate":148.83,"date":"2026-12-07"}])",
             {"EURUSD=1.0855", "USDJPY=148.83"}},
            {"the document's digits in plain decimal",
             R"({"base":"eur","rates":{"usd":1.08550000,"jpy":1.6e2,"chf":9561e-4,"idr":6.12e-05,)"
             R"("vnd":0.0000612,"irr":4.2E-5,"krw":1.4E+3,"mxn":20}})",
             {"EURUSD=1.08550000", "EURJPY=160", "EURCHF=0.9561", "EURIDR=0.0000612", "EURVND=0.0000612",
              "EURIRR=0.000042", "EURKRW=1400", "EURMXN=20"}},
            {"more digits than are shown: the value's shortest form",
             R"({"base":"EUR","rates":{"USD":1.08550000000000000000000000000000000000000001,"XAU":1e-37}})",
             {"EURUSD=1.0855", "EURXAU=0.0000000000000000000000000000000000001"}},
            {"other members of any depth are skipped",
             R"({"meta":{"a":[1,{"rates":{"XXX":1}}],"b":null},"base":"EUR","rates":{"USD":2},"base":"GBP",
                      "rates":{"JPY":3},"ok":true})",
             {"EURUSD=2"}},
            {"duplicate currencies: the first counts",
             R"({"base":"EUR","rates":{"USD":1.1,"USD":1.2,"GBP":0.8}})",
             {"EURUSD=1.1", "EURGBP=0.8"}},
            {"byte order mark and white space",
             "\xEF\xBB\xBF \n{\"base\":\"EUR\",\"rates\":{\"USD\":1}}\n",
             {"EURUSD=1"}},
        });
}

TEST(RateTexts, PlainDecimalKeepsTheDocumentsDigits)
{
    const std::pair<const char*, const char*> cases[] = {
        {"6.12e-05", "0.0000612"},
        {"0.0000612", "0.0000612"},
        {"1.0850", "1.0850"},
        {"161.50", "161.50"},
        {"1.5E+3", "1500"},
        {"1.5e3", "1500"},
        {"12.5e-1", "1.25"},
        {"9561e-4", "0.9561"},
        {"1e0", "1"},
        {".5", "0.5"},
        {"5.", "5"},
        {"007.25", "7.25"},
        {"0.000", "0"},
        {"1e-38", "0.00000000000000000000000000000000000001"},
        {"1e-39", ""},  // longer than a rate text may be
        {"1e40", ""},
        {"1e99999999999999999999", ""},
        {"1e-99999999999999999999", ""},
        {"", ""},
        {".", ""},
        {"e5", ""},
        {"1e", ""},
        {"1e+", ""},
        {"1.2.3", ""},
        {"-1.5", ""},
        {"1.5x", ""},
        {"inf", ""},
    };
    for (const auto& [text, plain] : cases)
        EXPECT_EQ(PlainDecimalText(text), plain) << text;
}

TEST(JsonRates, RefusesWhatIsNotARateList)
{
    RunCases(
        DecodeJsonRates,
        {
            {"empty", "", {}, "not JSON"},
            {"a number", "1.5", {}, "not an object or an array"},
            {"no rates", R"({"base":"EUR"})", {}, "no 'rates'"},
            {"no base", R"({"rates":{"USD":1.1}})", {}, "no 'base'"},
            {"empty rates", R"({"base":"EUR","rates":{}})", {}, "no rates"},
            {"only the base itself", R"({"base":"EUR","rates":{"EUR":1}})", {}, "no rates"},
            {"empty array", "[]", {}, "no rates"},
            {"rates as an array", R"({"base":"EUR","rates":[1,2]})", {}, "'rates' is not an object"},
            {"base as a number", R"({"base":978,"rates":{"USD":1}})", {}, "'base' is not a text"},
            {"base not a code", R"({"base":"EURO","rates":{"USD":1}})", {}, "base 'EURO'"},
            {"quote not a code", R"({"base":"EUR","rates":{"U$D":1}})", {}, "'U$D' is not a currency code"},
            {"rate as a string", R"({"base":"EUR","rates":{"USD":"1.08"}})", {}, "'USD' is not a number"},
            {"rate null", R"({"base":"EUR","rates":{"USD":null}})", {}, "'USD' is not a number"},
            {"rate zero", R"({"base":"EUR","rates":{"USD":0}})", {}, "not a positive number"},
            {"rate negative", R"({"base":"EUR","rates":{"USD":-1.5}})", {}, "not a positive number"},
            {"rate too small to show in plain decimal",
             R"({"base":"EUR","rates":{"USD":1e-300}})",
             {},
             "too many digits to show"},
            {"rate too large to show in plain decimal",
             R"({"base":"EUR","rates":{"USD":1e300}})",
             {},
             "too many digits to show"},
            {"NaN text", R"({"base":"EUR","rates":{"USD":NaN}})", {}, "not JSON"},
            {"Infinity text", R"({"base":"EUR","rates":{"USD":Infinity}})", {}, "not JSON"},
            {"huge number", R"({"base":"EUR","rates":{"USD":1e400}})", {}, "not JSON"},
            {"truncated", std::string(kFrankfurter).substr(0, 60), {}, "not JSON"},
            {"truncated after the last rate",
             std::string(kFrankfurter).substr(0, std::string(kFrankfurter).size() - 1),
             {},
             "not JSON"},
            {"trailing garbage", std::string(kFrankfurter) + "x", {}, "not JSON"},
            {"array entry without rate", R"([{"base":"EUR","quote":"USD"}])", {}, "lacks"},
            {"array entry not an object",
             R"([{"base":"EUR","quote":"USD","rate":1},2])",
             {},
             "not an object"},
            {"array entry rate as text",
             R"([{"base":"EUR","quote":"USD","rate":"1"}])",
             {},
             "'rate' is not a number"},
            {"deep arrays", Repeat("[", 100000) + Repeat("]", 100000), {}, "not an object"},
            {"deep objects", Repeat("{\"a\":", 100000) + "1" + Repeat("}", 100000), {}, "nested deeper"},
            {"deep nesting in a skipped member",
             "{\"x\":" + Repeat("{\"a\":", 40) + "1" + Repeat("}", 41),
             {},
             "nested deeper"},
            {"a comma list", "EURUSD,1.1,1.2,x,1,1,0.1%,1,1,", {}, "not JSON"},
            {"too many rates",
             [] {
                 std::string body = R"({"base":"EUR","rates":{)";
                 for (int i = 0; i < 1100; ++i) {
                     const char code[] = {static_cast<char>('A' + i / 676),
                                          static_cast<char>('A' + i / 26 % 26),
                                          static_cast<char>('A' + i % 26), 0};
                     body += std::string(i ? "," : "") + "\"" + code + "\":1";
                 }
                 return body + "}}";
             }(),
             {},
             "more than 1000 rates"},
        });
}

const char* const kEcb = kEcbDaily;

std::string EcbWith(const std::string& cubes)
{
    return "<gesmes:Envelope><Cube><Cube time='2026-12-07'>" + cubes + "</Cube></Cube></gesmes:Envelope>";
}

TEST(EcbRates, ReadsTheReferenceRates)
{
    RunCases(
        DecodeEcbRates,
        {
            {"eurofxref-daily", kEcb, {"EURUSD=1.0855", "EURJPY=161.50", "EURGBP=0.86245"}},
            {"double quotes, spaces, comments, CDATA",
             "<!-- x --><E><Cube time = \"d\"><Cube  rate = \"2.5\" currency=\"chf\" /><![CDATA[<Cube "
             "currency='XXX' rate='9'/>]]></Cube ></E>",
             {"EURCHF=2.5"}},
            {"history file: only the newest day",
             EcbWith("<Cube currency='USD' rate='1.1'/></Cube><Cube time='2026-12-06'><Cube currency='USD' "
                     "rate='1.2'/><Cube currency='GBP' rate='0.9'/>"),
             {"EURUSD=1.1"}},
            {"duplicate currency, the euro itself",
             EcbWith("<Cube currency='USD' rate='1.1'/><Cube currency='EUR' rate='1'/><Cube currency='USD' "
                     "rate='1.2'/>"),
             {"EURUSD=1.1"}},
            {"a lone Cube root", "<Cube currency='USD' rate='1.1'/>", {"EURUSD=1.1"}},
            {"exponent form in plain decimal",
             EcbWith("<Cube currency='IDR' rate='6.12e-05'/><Cube currency='KRW' "
                     "rate='1.4E3'/><Cube currency='CHF' rate='.95'/>"),
             {"EURIDR=0.0000612", "EURKRW=1400", "EURCHF=0.95"}},
        });
    RateDocument document;
    std::string failure;
    ASSERT_TRUE(DecodeEcbRates(kEcb, document, failure)) << failure;
    EXPECT_EQ(document.date, "2026-12-07");
}

TEST(EcbRates, RefusesWhatIsNotARateList)
{
    const std::string daily = kEcb;
    RunCases(
        DecodeEcbRates,
        {
            {"empty", "", {}, "no root"},
            {"plain text", "EURUSD,1,2,3", {}, "text outside"},
            {"no rates", "<gesmes:Envelope><Cube/></gesmes:Envelope>", {}, "no rates"},
            {"cut inside a tag", daily.substr(0, daily.find("rate='1.0855'") + 8), {}, "ends inside"},
            {"cut between tags", daily.substr(0, daily.find("<Cube currency='GBP'")), {}, "ends before"},
            {"cut inside a comment", "<a><!-- x", {}, "inside a comment"},
            {"mismatched tags", "<a><Cube currency='USD' rate='1'/></b>", {}, "does not match"},
            {"second root", "<a/><b><Cube currency='USD' rate='1'/></b>", {}, "second root"},
            {"doctype",
             "<!DOCTYPE a [<!ENTITY x 'y'>]><a><Cube currency='USD' rate='1'/></a>",
             {},
             "declarations"},
            {"rate without currency", EcbWith("<Cube rate='1.1'/>"), {}, "not both"},
            {"rate not a number", EcbWith("<Cube currency='USD' rate='abc'/>"), {}, "not a number"},
            {"NaN", EcbWith("<Cube currency='USD' rate='nan'/>"), {}, "not a number"},
            {"inf", EcbWith("<Cube currency='USD' rate='inf'/>"), {}, "not a number"},
            {"huge", EcbWith("<Cube currency='USD' rate='1e400'/>"), {}, "not a number"},
            {"negative", EcbWith("<Cube currency='USD' rate='-1.1'/>"), {}, "not a number"},
            {"zero", EcbWith("<Cube currency='USD' rate='0.0'/>"), {}, "not a positive number"},
            {"trailing text in a rate", EcbWith("<Cube currency='USD' rate='1.1x'/>"), {}, "not a number"},
            {"currency not a code", EcbWith("<Cube currency='US Dollar' rate='1.1'/>"), {}, "currency code"},
            {"unquoted attribute", EcbWith("<Cube currency=USD rate='1.1'/>"), {}, "not quoted"},
            {"deep nesting", Repeat("<a>", 100000) + Repeat("</a>", 100000), {}, "nested deeper"},
            {"huge attribute",
             EcbWith("<Cube currency='" + std::string(100000, 'U') + "' rate='1'/>"),
             {},
             "longer than"},
            {"huge name", "<" + std::string(100000, 'a') + "/>", {}, "name longer"},
            {"many attributes", EcbWith("<Cube" + Repeat(" a='1'", 100) + "/>"), {}, "attributes"},
            {"JSON", kFrankfurter, {}, "text outside"},
        });
}

TEST(RateFormats, SettingTextsAndDetection)
{
    struct Named {
        const char* text;
        bool known;
        RateFormat format;
    } const names[] = {{"auto", true, RateFormat::Auto},  {"LIST", true, RateFormat::List},
                       {"Json", true, RateFormat::Json},  {"ecb", true, RateFormat::Ecb},
                       {"xml", false, RateFormat::Auto},  {"", false, RateFormat::Auto},
                       {"json ", false, RateFormat::Auto}};
    for (const Named& n : names) {
        RateFormat format = RateFormat::Auto;
        EXPECT_EQ(ParseRateFormat(n.text, format), n.known) << n.text;
        EXPECT_EQ(format, n.format) << n.text;
        if (n.known) {
            EXPECT_TRUE(EqualsNoCase(RateFormatName(format), n.text));
        }
    }

    struct Detected {
        const char* body;
        RateFormat format;
    } const bodies[] = {{"", RateFormat::List},
                        {"  \r\n", RateFormat::List},
                        {"EURUSD,1", RateFormat::List},
                        {" {\"a\":1}", RateFormat::Json},
                        {"\n[1]", RateFormat::Json},
                        {"<?xml?>", RateFormat::Ecb},
                        {"\xEF\xBB\xBF<a/>", RateFormat::Ecb},
                        {"\xEF\xBB\xBF", RateFormat::List}};
    for (const Detected& d : bodies)
        EXPECT_EQ(DetectRateFormat(d.body), d.format) << d.body;
}

TEST(RateFormats, DecodeRatesReadsTheChosenOrTheDetectedFormat)
{
    const std::string list = "EURUSD,1.08421,1.08452,-,1.0900,1.0800,+0.12x,1.0830,-,";
    struct Body {
        std::string body;
        RateFormat setting;
        RateFormat readAs;
        bool ok;
    } const cases[] = {
        {list, RateFormat::Auto, RateFormat::List, true},
        {kFrankfurter, RateFormat::Auto, RateFormat::Json, true},
        {kEcb, RateFormat::Auto, RateFormat::Ecb, true},
        {kEcb, RateFormat::Ecb, RateFormat::Ecb, true},
        {kFrankfurter, RateFormat::Ecb, RateFormat::Ecb, false},
        {list, RateFormat::Json, RateFormat::Json, false},
        {kEcb, RateFormat::List, RateFormat::List, false},
        {"", RateFormat::Auto, RateFormat::List, false},
    };
    for (const Body& c : cases) {
        SCOPED_TRACE(c.body.substr(0, 20) + " as " + RateFormatName(c.setting));
        const DecodedRates decoded = DecodeRates(c.body, c.setting);
        EXPECT_EQ(decoded.format, c.readAs);
        EXPECT_EQ(decoded.failure.empty(), c.ok) << decoded.failure;
        const bool anyRates = !decoded.quotes.empty() || !decoded.document.rates.empty();
        EXPECT_EQ(anyRates, c.ok);
        if (!c.ok) {
            EXPECT_EQ(decoded.failure.rfind("not a rate list", 0), 0u);
        }
    }
}

}  // namespace
