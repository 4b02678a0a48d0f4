#include "rates/RateListDecoder.h"
#include "rates/FXRate.h"
#include "tests/rates/LiteralRateListDecoder.h"
#include "tests/rates/RecordChecks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Fields = std::vector<std::string>;

std::string Join(const Fields& fields)
{
    std::string text;
    for (size_t i = 0; i < fields.size(); ++i)
        text += (i ? "," : "") + fields[i];
    return text;
}

// One well-formed group of nine fields.
Fields Group(const std::string& code, const std::string& change = "+0.125%")
{
    return {code, "110.253", "110.283", "x", "110.512", "109.876", change, "110.020", "y"};
}

Fields Concat(std::initializer_list<Fields> parts)
{
    Fields all;
    for (const Fields& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Fields Numbered(size_t count)
{
    Fields fields;
    for (size_t i = 0; i < count; ++i)
        fields.push_back("f" + std::to_string(i) + "z");
    return fields;
}

TEST(DecodeRateList, DecodesAGroupOnlyWhenAFieldFollowsItsNinth)
{
    struct Case {
        size_t fields;
        size_t quotes;
    } const cases[] = {{0, 0}, {1, 0}, {9, 0}, {10, 1}, {17, 1}, {18, 1}, {19, 2}, {27, 2}, {28, 3}};
    for (const Case& c : cases) {
        std::string body = c.fields ? Join(Numbered(c.fields)) : "";
        std::vector<RateQuote> quotes = DecodeRateList(body);
        ASSERT_EQ(quotes.size(), c.quotes) << c.fields << " fields";
        for (size_t k = 0; k < quotes.size(); ++k)
            EXPECT_EQ(quotes[k].code, "f" + std::to_string(9 * k) + "z");
    }
    // Groups closed by a trailing comma are all decoded.
    for (size_t groups = 1; groups <= 3; ++groups)
        EXPECT_EQ(DecodeRateList(Join(Numbered(9 * groups)) + ",").size(), groups);
}

struct FieldCase {
    const char* name;
    Fields fields;  // one group and what follows it
    RateQuote expected;
};

TEST(DecodeRateList, TakesFieldsAsTheyStand)
{
    const FieldCase cases[] = {
        {"a group as the provider sends it",
         Concat({Group("USDJPY"), {""}}),
         {"USDJPY", "110.25 - 28", "+0.125", "110.512", "109.876", "110.020"}},
        {"nothing trimmed, line breaks are ordinary",
         {"\r\nEURUSD ", " 1.08 ", "\n1.0812\n", "", " 1.09", "1.07 ", "-0.01\n", "\t1.08", "", ""},
         {"\r\nEURUSD ", " 1.08 - 12", "-0.01", " 1.09", "1.07 ", "\t1.08"}},
        {"empty fields", {"", "", "", "", "", "", "", "", "", ""}, {"", " - ", "", "", "", ""}},
        {"field 2 of two characters",
         {"A", "1.5", "57", "", "H", "L", "C!", "O", "", ""},
         {"A", "1. - 5", "C", "H", "L", "O"}},
        {"field 2 of one character",
         {"A", "1.5", "7", "", "H", "L", "C!", "O", "", ""},
         {"A", "1. - ", "C", "H", "L", "O"}},
        {"field 2 of three characters",
         {"A", "1.5", "578", "", "H", "L", "C!", "O", "", ""},
         {"A", "1. - 57", "C", "H", "L", "O"}},
        {"one-character fields 1 and 6",
         {"A", "1", "578", "", "H", "L", "C", "O", "", ""},
         {"A", " - 57", "", "H", "L", "O"}},
        {"fields 3 and 8 have no effect",
         {"A", "1.5", "578", "any text", "H", "L", "C!", "O", "\r\n0", ""},
         {"A", "1. - 57", "C", "H", "L", "O"}},
    };
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<RateQuote> quotes = DecodeRateList(Join(c.fields));
        ASSERT_EQ(quotes.size(), 1u);
        const RateQuote& q = quotes[0];
        EXPECT_EQ(q.code, c.expected.code);
        EXPECT_EQ(q.priceText, c.expected.priceText);
        EXPECT_EQ(q.changeText, c.expected.changeText);
        EXPECT_EQ(q.highText, c.expected.highText);
        EXPECT_EQ(q.lowText, c.expected.lowText);
        EXPECT_EQ(q.openText, c.expected.openText);
    }
}

// A field starting with "0" right after an empty field loses that zero,
// unless the empty field is the first of the text; the pass judges by the
// text as downloaded, so a field it empties does not count as empty.
TEST(DecodeRateList, DropsALeadingZeroOnlyBehindAnEmptyFieldAsDownloaded)
{
    struct Case {
        const char* name;
        std::string body;
        std::string high;  // field 4
        std::string low;   // field 5
        std::string price;
    } const cases[] = {
        {"behind an empty field", "A,1.5,578,,0.5,0.7,C!,O,,", ".5", "0.7", "1. - 57"},
        {"behind a non-empty field", "A,1.5,578,x,0.5,0.7,C!,O,,", "0.5", "0.7", "1. - 57"},
        {"a field of just 0 empties, the next keeps its zero", "A,1.5,578,,0,0.7,C!,O,,", "", "0.7",
         "1. - 57"},
        {"only one zero goes", "A,1.5,578,,00.5,0.7,C!,O,,", "0.5", "0.7", "1. - 57"},
        {"behind the empty first field", ",0.53,578,x,H,L,C!,O,,", "H", "L", "0.5 - 57"},
        {"behind an empty code", "A,1.5,578,x,H,L,C!,O,,,0.53,578,x,H,L,C!,O,,", "H", "L", ".5 - 57"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<RateQuote> quotes = DecodeRateList(c.body);
        ASSERT_FALSE(quotes.empty());
        EXPECT_EQ(quotes.back().highText, c.high);
        EXPECT_EQ(quotes.back().lowText, c.low);
        EXPECT_EQ(quotes.back().priceText, c.price);
    }
    // Across groups: field 8 empty, so the next code loses its zero.
    std::vector<RateQuote> quotes = DecodeRateList("A,1.5,578,,H,L,C!,O,,0B,1.5,578,,H,L,C!,O,,");
    ASSERT_EQ(quotes.size(), 2u);
    EXPECT_EQ(quotes[1].code, "B");
}

TEST(DecodeRateList, KeepsDuplicateCodesInListOrder)
{
    std::vector<RateQuote> quotes =
        DecodeRateList(Join(Concat({Group("USDJPY", "1x"), Group("EURUSD"), Group("USDJPY", "2x"), {""}})));
    ASSERT_EQ(quotes.size(), 3u);
    EXPECT_EQ(quotes[0].code, "USDJPY");
    EXPECT_EQ(quotes[0].changeText, "1");
    EXPECT_EQ(quotes[1].code, "EURUSD");
    EXPECT_EQ(quotes[2].code, "USDJPY");
    EXPECT_EQ(quotes[2].changeText, "2");
}

TEST(DecodeRateList, StopsAtTheMostPairsADocumentMayHold)
{
    const size_t cases[] = {kMostPairs - 1, kMostPairs, kMostPairs + 1, 40 * kMostPairs};
    for (size_t groups : cases) {
        Fields fields;
        for (size_t i = 0; i < groups; ++i) {
            Fields group = Group("P" + std::to_string(i));
            fields.insert(fields.end(), group.begin(), group.end());
        }
        std::vector<RateQuote> quotes = DecodeRateList(Join(fields) + ",");
        ASSERT_EQ(quotes.size(), std::min(groups, kMostPairs)) << groups << " groups";
        EXPECT_EQ(quotes.back().code, "P" + std::to_string(quotes.size() - 1));
    }
}

// Bytes that favour the characters the decoder cares about, and bytes of
// any value; either way the result must be the literal decoding's, and the
// quotes must make sound records.
std::string RandomBody(std::mt19937& random, bool anyByte)
{
    static const char alphabet[] = ",,,,,,000.1x-+ \n";
    std::uniform_int_distribution<size_t> length(0, anyByte ? 2000 : 300);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<size_t> pick(0, sizeof alphabet - 2);
    std::string body(length(random), '\0');
    for (char& c : body)
        c = anyByte ? static_cast<char>(byte(random)) : alphabet[pick(random)];
    return body;
}

TEST(DecodeRateList, AgreesWithTheLiteralDecodingOnRandomBytes)
{
    std::mt19937 random(20260512);
    for (int round = 0; round < 6000; ++round) {
        std::string body = RandomBody(random, round % 3 == 0);
        std::vector<RateQuote> quotes = DecodeRateList(body);
        std::vector<RateQuote> expected = LiteralDecodeRateList(body);
        ASSERT_EQ(quotes.size(), expected.size()) << "round " << round;
        // Every decoded group owns nine commas: eight inside, one behind it.
        ASSERT_EQ(quotes.size(), static_cast<size_t>(std::count(body.begin(), body.end(), ',') / 9));
        for (size_t k = 0; k < quotes.size(); ++k)
            ASSERT_TRUE(SameQuote(quotes[k], expected[k])) << "round " << round << " quote " << k;
        if (quotes.empty())
            continue;
        FXRate record(quotes[0]);
        ASSERT_EQ(CheckRecord(record), "") << "round " << round;
        for (size_t k = 1; k < quotes.size(); ++k)
            ASSERT_EQ(ApplyAndCheck(record, quotes[k]), "") << "round " << round << " quote " << k;
    }
}

}  // namespace
