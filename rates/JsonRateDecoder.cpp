#include "rates/JsonRateDecoder.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace {

using Json = nlohmann::json;

constexpr std::size_t kMaxDepth = 32;

// Follows the parser's events with a stack of where each open container
// stands; every value is judged by the key (or array) it belongs to.
class RateEvents : public nlohmann::json_sax<Json> {
public:
    explicit RateEvents(RateDocumentBuilder& target) : builder(target) {}

    bool null() override { return Other(); }
    bool boolean(bool) override { return Other(); }
    bool number_integer(number_integer_t value) override
    {
        return Number(static_cast<double>(value), std::to_string(value));
    }
    bool number_unsigned(number_unsigned_t value) override
    {
        return Number(static_cast<double>(value), std::to_string(value));
    }
    // The number's text as the document writes it: its digits are what is shown.
    bool number_float(number_float_t value, const string_t& text) override { return Number(value, text); }
    bool string(string_t& value) override { return Text(value); }
    bool binary(binary_t&) override { return Other(); }
    bool start_object(std::size_t) override { return Open(true); }
    bool start_array(std::size_t) override { return Open(false); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }
    bool key(string_t& name) override;
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) override
    {
        return builder.Fail("not JSON: broken at byte " + std::to_string(position));
    }

private:
    enum class Where { TopObject, Rates, TopArray, Entry, Skipped };
    // What the value after the last key is.
    enum class Role { None, Base, Rates, Date, Rate, EntryBase, EntryQuote, EntryRate, Skip };

    struct Pending {
        std::string quote;
        std::string text;
        double value;
    };

    Role TakeRole()
    {
        const Role role = expected;
        expected = Role::None;
        return role;
    }
    bool Open(bool isObject);
    bool Close();
    bool Number(double value, const std::string& text);
    bool Text(const std::string& value);
    bool Other();
    bool NotAContainer() { return builder.Fail("the document is not an object or an array"); }

    RateDocumentBuilder& builder;
    std::vector<Where> stack;
    Role expected = Role::None;

    // The object shape: the base may come after the rates.
    std::string base;
    bool sawBase = false;
    bool sawRates = false;
    std::string currency;  // key of the rate being read
    std::vector<Pending> pending;

    // The entry of the array shape being read.
    std::string entryBase, entryQuote, entryRateText;
    double entryRate = 0.0;
    bool hasBase = false, hasQuote = false, hasRate = false;
};

bool RateEvents::key(string_t& name)
{
    if (stack.empty())
        return NotAContainer();
    switch (stack.back()) {
    case Where::TopObject:
        if (name == "base" || name == "base_code")
            expected = sawBase ? Role::Skip : Role::Base;
        else if (name == "rates")
            expected = sawRates ? Role::Skip : Role::Rates;
        else if (name == "date")
            expected = Role::Date;
        else
            expected = Role::Skip;
        return true;
    case Where::Rates:
        currency = name;
        expected = Role::Rate;
        return true;
    case Where::Entry:
        if (name == "base")
            expected = hasBase ? Role::Skip : Role::EntryBase;
        else if (name == "quote")
            expected = hasQuote ? Role::Skip : Role::EntryQuote;
        else if (name == "rate")
            expected = hasRate ? Role::Skip : Role::EntryRate;
        else if (name == "date")
            expected = Role::Date;
        else
            expected = Role::Skip;
        return true;
    default:
        expected = Role::Skip;
        return true;
    }
}

bool RateEvents::Open(bool isObject)
{
    if (stack.size() >= kMaxDepth)
        return builder.Fail("nested deeper than " + std::to_string(kMaxDepth) + " levels");
    if (stack.empty()) {
        stack.push_back(isObject ? Where::TopObject : Where::TopArray);
        return true;
    }
    const Role role = TakeRole();
    switch (stack.back()) {
    case Where::TopObject:
        if (role == Role::Rates) {
            if (!isObject)
                return builder.Fail("'rates' is not an object");
            sawRates = true;
            stack.push_back(Where::Rates);
            return true;
        }
        if (role == Role::Base)
            return builder.Fail("'base' is not a text");
        break;
    case Where::Rates:
        return builder.Fail("the rate of " + QuoteForFailure(currency) + " is not a number");
    case Where::TopArray:
        if (!isObject)
            return builder.Fail("an entry of the array is not an object");
        entryBase.clear();
        entryQuote.clear();
        entryRateText.clear();
        hasBase = hasQuote = hasRate = false;
        stack.push_back(Where::Entry);
        return true;
    case Where::Entry:
        if (role == Role::EntryBase || role == Role::EntryQuote)
            return builder.Fail("an entry's 'base' or 'quote' is not a text");
        if (role == Role::EntryRate)
            return builder.Fail("an entry's 'rate' is not a number");
        break;
    case Where::Skipped:
        break;
    }
    stack.push_back(Where::Skipped);
    return true;
}

bool RateEvents::Close()
{
    const Where closed = stack.back();
    stack.pop_back();
    if (closed == Where::TopObject) {
        if (!sawRates)
            return builder.Fail("no 'rates' object");
        if (!sawBase)
            return builder.Fail("no 'base' or 'base_code'");
        for (const Pending& rate : pending) {
            if (!builder.Add(base, rate.quote, rate.text, rate.value))
                return false;
        }
        return true;
    }
    if (closed == Where::Entry) {
        if (!hasBase || !hasQuote || !hasRate)
            return builder.Fail("an entry lacks 'base', 'quote' or 'rate'");
        return builder.Add(entryBase, entryQuote, entryRateText, entryRate);
    }
    return true;
}

bool RateEvents::Number(double value, const std::string& text)
{
    if (stack.empty())
        return NotAContainer();
    const Role role = TakeRole();
    switch (role) {
    case Role::Rate:
        // Checked once the base is known; bounded here.
        if (pending.size() > kMaxDocumentRates)
            return builder.Fail("more than " + std::to_string(kMaxDocumentRates) + " rates");
        pending.push_back(Pending{currency, text, value});
        return true;
    case Role::EntryRate:
        entryRate = value;
        entryRateText = text;
        hasRate = true;
        return true;
    case Role::Base:
        return builder.Fail("'base' is not a text");
    case Role::Rates:
        return builder.Fail("'rates' is not an object");
    case Role::EntryBase:
    case Role::EntryQuote:
        return builder.Fail("an entry's 'base' or 'quote' is not a text");
    default:
        if (stack.back() == Where::TopArray)
            return builder.Fail("an entry of the array is not an object");
        return true;
    }
}

bool RateEvents::Text(const std::string& value)
{
    if (stack.empty())
        return NotAContainer();
    switch (TakeRole()) {
    case Role::Base:
        base = value;
        sawBase = true;
        return true;
    case Role::EntryBase:
        entryBase = value;
        hasBase = true;
        return true;
    case Role::EntryQuote:
        entryQuote = value;
        hasQuote = true;
        return true;
    case Role::Date:
        builder.SetDate(value);
        return true;
    case Role::Rate:
        return builder.Fail("the rate of " + QuoteForFailure(currency) + " is not a number");
    case Role::EntryRate:
        return builder.Fail("an entry's 'rate' is not a number");
    case Role::Rates:
        return builder.Fail("'rates' is not an object");
    default:
        if (stack.back() == Where::TopArray)
            return builder.Fail("an entry of the array is not an object");
        return true;
    }
}

bool RateEvents::Other()
{
    if (stack.empty())
        return NotAContainer();
    switch (TakeRole()) {
    case Role::Base:
        return builder.Fail("'base' is not a text");
    case Role::Rates:
        return builder.Fail("'rates' is not an object");
    case Role::Rate:
        return builder.Fail("the rate of " + QuoteForFailure(currency) + " is not a number");
    case Role::EntryBase:
    case Role::EntryQuote:
        return builder.Fail("an entry's 'base' or 'quote' is not a text");
    case Role::EntryRate:
        return builder.Fail("an entry's 'rate' is not a number");
    default:
        if (stack.back() == Where::TopArray)
            return builder.Fail("an entry of the array is not an object");
        return true;
    }
}

}  // namespace

bool DecodeJsonRates(const std::string& body, RateDocument& document, std::string& failure)
{
    RateDocumentBuilder builder;
    if (body.size() > kMaxDocumentBytes) {
        builder.Fail("larger than " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) + " MiB");
    } else {
        RateEvents events(builder);
        bool parsed = false;
        try {
            parsed = Json::sax_parse(body, &events);
        } catch (const Json::exception&) {
            // The event parser reports its errors through parse_error; this
            // is only a guard should a version of the library throw anyway.
            parsed = false;
        }
        if (!parsed)
            builder.Fail("not JSON");
    }
    if (!builder.Finish(document)) {
        failure = builder.Failure();
        return false;
    }
    return true;
}
