#include "rates/RateHistory.h"

#include "base/Text.h"
#include "base/UtcTime.h"
#include "rates/EcbRateDecoder.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <map>
#include <system_error>

namespace {

using Json = nlohmann::json;

constexpr std::size_t kMaxDepth = 32;

std::string NotAHistory(const std::string& reason)
{
    return "not a rate history (" + reason + ")";
}

// A decoder's own failure ("not a rate list (why)") as a history's.
std::string HistoryFailure(const std::string& listFailure)
{
    const std::string prefix = "not a rate list (";
    if (listFailure.compare(0, prefix.size(), prefix) == 0 && !listFailure.empty() &&
        listFailure.back() == ')')
        return NotAHistory(listFailure.substr(prefix.size(), listFailure.size() - prefix.size() - 1));
    return NotAHistory(listFailure);
}

// Dates the days, puts them in order and turns them round into one series
// a pair.
bool BuildHistory(const std::vector<RateDocument>& days, RateHistory& history, std::string& failure)
{
    if (days.empty()) {
        failure = NotAHistory("no days");
        return false;
    }
    if (days.size() > kMaxHistoryDays) {
        failure = NotAHistory("more than " + std::to_string(kMaxHistoryDays) + " days");
        return false;
    }
    std::vector<std::pair<int64_t, const RateDocument*>> dated;
    dated.reserve(days.size());
    for (const RateDocument& day : days) {
        int64_t midnight = 0;
        if (!ReadIsoDate(day.date, midnight)) {
            failure = NotAHistory("a day dated " + QuoteForFailure(day.date));
            return false;
        }
        dated.emplace_back(midnight + kFixingMillisecondOfDay, &day);
    }
    std::stable_sort(dated.begin(), dated.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    RateHistory built;
    std::map<std::string, std::size_t> pairIndex;
    for (std::size_t i = 0; i < dated.size(); ++i) {
        if (i > 0 && dated[i].first == dated[i - 1].first) {
            failure = NotAHistory("the day " + QuoteForFailure(dated[i].second->date) + " twice");
            return false;
        }
        for (const DocumentRate& rate : dated[i].second->rates) {
            auto found = pairIndex.find(rate.code);
            if (found == pairIndex.end()) {
                if (built.pairs.size() >= kMaxHistoryPairs) {
                    failure = NotAHistory("more than " + std::to_string(kMaxHistoryPairs) + " pairs");
                    return false;
                }
                found = pairIndex.emplace(rate.code, built.pairs.size()).first;
                built.pairs.push_back(PairHistory{rate.code, {}});
            }
            built.pairs[found->second].points.push_back(HistoryPoint{dated[i].first, rate.value});
        }
    }
    history = std::move(built);
    return true;
}

std::string ShortestText(double value)
{
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return error == std::errc() ? std::string(buffer, end) : std::string();
}

// Follows the parser's events through {"base": "EUR", "rates": {date:
// {currency: number}}}; other members are skipped. The rates are held until
// the end, as the base may come after them.
class RangeEvents : public nlohmann::json_sax<Json> {
public:
    bool null() override { return Scalar(); }
    bool boolean(bool) override { return Scalar(); }
    bool number_integer(number_integer_t value) override { return Number(static_cast<double>(value)); }
    bool number_unsigned(number_unsigned_t value) override { return Number(static_cast<double>(value)); }
    bool number_float(number_float_t value, const string_t&) override { return Number(value); }
    bool string(string_t& value) override;
    bool binary(binary_t&) override { return Scalar(); }
    bool start_object(std::size_t) override { return Open(true); }
    bool start_array(std::size_t) override { return Open(false); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }
    bool key(string_t& name) override;
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) override
    {
        return Fail("not JSON: broken at byte " + std::to_string(position));
    }

    // The days read, each checked as a document; false with `failure` set.
    bool Finish(std::vector<RateDocument>& days);

    std::string failure;

private:
    enum class Where { Top, Rates, Day, Skipped };
    struct Pending {
        std::string quote;
        std::string text;
        double value;
    };
    struct Day {
        std::string date;
        std::vector<Pending> rates;
    };

    bool Fail(const std::string& reason)
    {
        if (failure.empty())
            failure = reason;
        return false;
    }
    bool Open(bool isObject);
    bool Close()
    {
        stack.pop_back();
        return true;
    }
    bool Number(double value);
    bool Scalar();

    std::vector<Where> stack;
    std::string pendingKey;  // the key of the value to come
    std::string base;
    bool sawBase = false;
    bool sawRates = false;
    std::vector<Day> read;
};

bool RangeEvents::key(string_t& name)
{
    pendingKey = name;
    return true;
}

bool RangeEvents::Open(bool isObject)
{
    if (stack.size() >= kMaxDepth)
        return Fail("nested deeper than " + std::to_string(kMaxDepth) + " levels");
    if (stack.empty()) {
        if (!isObject)
            return Fail("the document is not an object");
        stack.push_back(Where::Top);
        return true;
    }
    switch (stack.back()) {
    case Where::Top:
        if (pendingKey == "rates" && !sawRates) {
            if (!isObject)
                return Fail("'rates' is not an object");
            sawRates = true;
            stack.push_back(Where::Rates);
            return true;
        }
        if (pendingKey == "base")
            return Fail("'base' is not a text");
        break;
    case Where::Rates:
        if (!isObject)
            return Fail("the day " + QuoteForFailure(pendingKey) + " is not an object");
        if (read.size() >= kMaxHistoryDays)
            return Fail("more than " + std::to_string(kMaxHistoryDays) + " days");
        read.push_back(Day{pendingKey, {}});
        stack.push_back(Where::Day);
        return true;
    case Where::Day:
        return Fail("the rate of " + QuoteForFailure(pendingKey) + " is not a number");
    case Where::Skipped:
        break;
    }
    stack.push_back(Where::Skipped);
    return true;
}

bool RangeEvents::Number(double value)
{
    if (stack.empty())
        return Fail("the document is not an object");
    switch (stack.back()) {
    case Where::Day:
        if (read.back().rates.size() >= kMaxDocumentRates)
            return Fail("more than " + std::to_string(kMaxDocumentRates) + " rates in a day");
        read.back().rates.push_back(Pending{pendingKey, ShortestText(value), value});
        return true;
    case Where::Rates:
        return Fail("the day " + QuoteForFailure(pendingKey) + " is not an object");
    case Where::Top:
        if (pendingKey == "base")
            return Fail("'base' is not a text");
        if (pendingKey == "rates" && !sawRates)
            return Fail("'rates' is not an object");
        return true;
    default:
        return true;
    }
}

bool RangeEvents::string(string_t& value)
{
    if (stack.empty())
        return Fail("the document is not an object");
    if (stack.back() == Where::Top && pendingKey == "base" && !sawBase) {
        base = value;
        sawBase = true;
        return true;
    }
    return Scalar();
}

bool RangeEvents::Scalar()
{
    if (stack.empty())
        return Fail("the document is not an object");
    switch (stack.back()) {
    case Where::Day:
        return Fail("the rate of " + QuoteForFailure(pendingKey) + " is not a number");
    case Where::Rates:
        return Fail("the day " + QuoteForFailure(pendingKey) + " is not an object");
    case Where::Top:
        if (pendingKey == "base" && !sawBase)
            return Fail("'base' is not a text");
        if (pendingKey == "rates" && !sawRates)
            return Fail("'rates' is not an object");
        return true;
    default:
        return true;
    }
}

bool RangeEvents::Finish(std::vector<RateDocument>& days)
{
    if (!sawRates)
        return Fail("no 'rates' object");
    if (!sawBase)
        return Fail("no 'base'");
    days.clear();
    days.reserve(read.size());
    for (const Day& day : read) {
        RateDocumentBuilder builder;
        builder.SetDate(day.date);
        for (const Pending& rate : day.rates) {
            if (!builder.Add(base, rate.quote, rate.text, rate.value))
                break;
        }
        days.emplace_back();
        if (!builder.Finish(days.back()))
            return Fail("the day " + QuoteForFailure(day.date) + ": " + builder.Failure());
        days.back().date = day.date;
    }
    return true;
}

bool TooLarge(const std::string& body, std::string& failure)
{
    if (body.size() <= kMaxDocumentBytes)
        return false;
    failure = NotAHistory("larger than " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) + " MiB");
    return true;
}

}  // namespace

bool DecodeEcbHistory(const std::string& body, RateHistory& history, std::string& failure)
{
    if (TooLarge(body, failure))
        return false;
    std::vector<RateDocument> days;
    std::string listFailure;
    if (!DecodeEcbDays(body, days, kMaxHistoryDays, listFailure)) {
        failure = HistoryFailure(listFailure);
        return false;
    }
    return BuildHistory(days, history, failure);
}

bool DecodeRangeHistory(const std::string& body, RateHistory& history, std::string& failure)
{
    if (TooLarge(body, failure))
        return false;
    RangeEvents events;
    bool parsed = false;
    try {
        parsed = Json::sax_parse(body, &events);
    } catch (const Json::exception&) {
        parsed = false;  // only should a version of the library throw anyway
    }
    std::vector<RateDocument> days;
    if (!parsed || !events.Finish(days)) {
        failure = NotAHistory(events.failure.empty() ? "not JSON" : events.failure);
        return false;
    }
    return BuildHistory(days, history, failure);
}

bool DecodeRateHistory(const std::string& body, RateHistory& history, std::string& failure)
{
    std::size_t first = body.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (first < body.size() && IsAsciiSpace(body[first]))
        ++first;
    if (first < body.size() && body[first] == '<')
        return DecodeEcbHistory(body, history, failure);
    if (first < body.size() && body[first] == '{')
        return DecodeRangeHistory(body, history, failure);
    failure = NotAHistory("neither XML nor a JSON object");
    return false;
}
