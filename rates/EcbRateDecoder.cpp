#include "rates/EcbRateDecoder.h"

#include "base/Text.h"

#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kMaxDepth = 32;
constexpr std::size_t kMaxNameBytes = 64;
constexpr std::size_t kMaxValueBytes = 256;
constexpr std::size_t kMaxAttributes = 16;

bool IsNameChar(char c)
{
    return !IsAsciiSpace(c) && c != '/' && c != '>' && c != '<' && c != '=' && c != '\'' && c != '"';
}

// The name without its namespace prefix: "gesmes:Cube" is a Cube too.
std::string LocalName(const std::string& name)
{
    const std::size_t colon = name.rfind(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
}

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

struct Attribute {
    std::string name;
    std::string value;
};

class CubeScanner {
public:
    // With `everyDay`, each day's rates become a document of their own
    // there, at most `dayLimit` of them; without, only the first day is read.
    CubeScanner(const std::string& text, RateDocumentBuilder& target,
                std::vector<RateDocument>* everyDay = nullptr, std::size_t dayLimit = 0)
        : body(text), builder(target), at(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0), days(everyDay),
          mostDays(dayLimit)
    {
    }

    bool Scan();

private:
    bool Markup();
    bool Skip(const char* terminator, const char* what);
    bool StartTag();
    bool EndTag();
    bool ReadName(std::string& name);
    bool ReadAttribute(Attribute& attribute);
    bool Element(const std::string& name, const std::vector<Attribute>& attributes);
    void SkipSpace()
    {
        while (at < body.size() && IsAsciiSpace(body[at]))
            ++at;
    }
    bool Ended() { return builder.Fail("the document ends inside markup"); }

    const std::string& body;
    RateDocumentBuilder& builder;
    std::size_t at;
    std::vector<std::string> open;  // names of the elements not yet closed
    bool rootClosed = false;
    bool seenRoot = false;
    std::vector<RateDocument>* days;
    std::size_t mostDays;
    int dayCount = 0;  // Cube elements with a time seen so far
};

bool CubeScanner::Scan()
{
    while (at < body.size()) {
        const std::size_t next = body.find('<', at);
        const std::size_t textEnd = next == std::string::npos ? body.size() : next;
        // Character data counts only inside the root; outside it, only white
        // space may stand.
        if (open.empty()) {
            for (std::size_t i = at; i < textEnd; ++i) {
                if (!IsAsciiSpace(body[i]))
                    return builder.Fail("text outside the root element");
            }
        }
        if (next == std::string::npos)
            break;
        at = next;
        if (!Markup())
            return false;
    }
    if (!seenRoot)
        return builder.Fail("no root element");
    if (!open.empty())
        return builder.Fail("the document ends before " + QuoteForFailure(open.back()) + " is closed");
    return true;
}

bool CubeScanner::Markup()
{
    const char* rest = body.c_str() + at;
    if (std::strncmp(rest, "<?", 2) == 0)
        return Skip("?>", "a processing instruction");
    if (std::strncmp(rest, "<!--", 4) == 0)
        return Skip("-->", "a comment");
    if (std::strncmp(rest, "<![CDATA[", 9) == 0) {
        if (open.empty())
            return builder.Fail("CDATA outside the root element");
        return Skip("]]>", "a CDATA section");
    }
    if (std::strncmp(rest, "<!", 2) == 0)
        return builder.Fail("declarations are not read");
    if (std::strncmp(rest, "</", 2) == 0)
        return EndTag();
    return StartTag();
}

bool CubeScanner::Skip(const char* terminator, const char* what)
{
    const std::size_t end = body.find(terminator, at + 2);
    if (end == std::string::npos)
        return builder.Fail(std::string("the document ends inside ") + what);
    at = end + std::strlen(terminator);
    return true;
}

bool CubeScanner::ReadName(std::string& name)
{
    const std::size_t start = at;
    while (at < body.size() && IsNameChar(body[at]) && at - start <= kMaxNameBytes)
        ++at;
    if (at - start > kMaxNameBytes)
        return builder.Fail("a name longer than " + std::to_string(kMaxNameBytes) + " bytes");
    if (at == start)
        return at >= body.size() ? Ended() : builder.Fail("a tag without a name");
    name.assign(body, start, at - start);
    return true;
}

bool CubeScanner::ReadAttribute(Attribute& attribute)
{
    if (!ReadName(attribute.name))
        return false;
    SkipSpace();
    if (at >= body.size())
        return Ended();
    if (body[at] != '=')
        return builder.Fail("attribute " + QuoteForFailure(attribute.name) + " has no value");
    ++at;
    SkipSpace();
    if (at >= body.size())
        return Ended();
    const char quote = body[at];
    if (quote != '\'' && quote != '"')
        return builder.Fail("attribute " + QuoteForFailure(attribute.name) + " is not quoted");
    const std::size_t start = ++at;
    const std::size_t end = body.find(quote, start);
    if (end == std::string::npos)
        return Ended();
    if (end - start > kMaxValueBytes)
        return builder.Fail("attribute " + QuoteForFailure(attribute.name) + " is longer than " +
                            std::to_string(kMaxValueBytes) + " bytes");
    attribute.value.assign(body, start, end - start);
    if (attribute.value.find('<') != std::string::npos)
        return builder.Fail("attribute " + QuoteForFailure(attribute.name) + " holds a '<'");
    at = end + 1;
    return true;
}

bool CubeScanner::StartTag()
{
    ++at;  // '<'
    std::string name;
    if (!ReadName(name))
        return false;
    if (open.empty() && rootClosed)
        return builder.Fail("a second root element");
    std::vector<Attribute> attributes;
    for (;;) {
        const std::size_t before = at;
        SkipSpace();
        if (at >= body.size())
            return Ended();
        if (body[at] == '>') {
            ++at;
            if (open.size() >= kMaxDepth)
                return builder.Fail("nested deeper than " + std::to_string(kMaxDepth) + " levels");
            open.push_back(name);
            seenRoot = true;
            return Element(name, attributes);
        }
        if (body[at] == '/') {
            if (at + 1 >= body.size())
                return Ended();
            if (body[at + 1] != '>')
                return builder.Fail("a '/' inside a tag");
            at += 2;
            seenRoot = true;
            rootClosed = rootClosed || open.empty();
            return Element(name, attributes);
        }
        if (at == before)
            return builder.Fail("attributes of " + QuoteForFailure(name) + " not apart");
        if (attributes.size() >= kMaxAttributes)
            return builder.Fail("more than " + std::to_string(kMaxAttributes) + " attributes in one tag");
        attributes.emplace_back();
        if (!ReadAttribute(attributes.back()))
            return false;
    }
}

bool CubeScanner::EndTag()
{
    at += 2;  // "</"
    std::string name;
    if (!ReadName(name))
        return false;
    SkipSpace();
    if (at >= body.size())
        return Ended();
    if (body[at] != '>')
        return builder.Fail("a closing tag " + QuoteForFailure(name) + " with more in it");
    ++at;
    if (open.empty() || open.back() != name)
        return builder.Fail("closing tag " + QuoteForFailure(name) + " does not match");
    open.pop_back();
    rootClosed = open.empty();
    return true;
}

bool CubeScanner::Element(const std::string& name, const std::vector<Attribute>& attributes)
{
    if (LocalName(name) != "Cube")
        return true;
    const Attribute* currency = nullptr;
    const Attribute* rate = nullptr;
    const Attribute* time = nullptr;
    for (const Attribute& attribute : attributes) {
        if (attribute.name == "currency")
            currency = &attribute;
        else if (attribute.name == "rate")
            rate = &attribute;
        else if (attribute.name == "time")
            time = &attribute;
    }
    if (time) {
        ++dayCount;
        if (days && dayCount > 1) {
            // The day before is complete: it goes as a document of its own.
            if (static_cast<std::size_t>(dayCount) > mostDays)
                return builder.Fail("more than " + std::to_string(mostDays) + " days");
            days->emplace_back();
            if (!builder.Finish(days->back()))
                return false;
            builder = RateDocumentBuilder();
        }
        if (days || dayCount == 1)
            builder.SetDate(Trimmed(time->value));
    }
    if (!days && dayCount > 1)
        return true;  // an older day of a history file
    if (currency && rate)
        return builder.Add("EUR", Trimmed(currency->value), Trimmed(rate->value));
    if (currency || rate)
        return builder.Fail("a Cube with a currency or a rate but not both");
    return true;
}

}  // namespace

bool DecodeEcbRates(const std::string& body, RateDocument& document, std::string& failure)
{
    RateDocumentBuilder builder;
    if (body.size() > kMaxDocumentBytes) {
        builder.Fail("larger than " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) + " MiB");
    } else {
        CubeScanner scanner(body, builder);
        scanner.Scan();
    }
    if (!builder.Finish(document)) {
        failure = builder.Failure();
        return false;
    }
    return true;
}

bool DecodeEcbDays(const std::string& body, std::vector<RateDocument>& days, std::size_t mostDays,
                   std::string& failure)
{
    RateDocumentBuilder builder;
    std::vector<RateDocument> read;
    bool scanned = false;
    if (body.size() > kMaxDocumentBytes) {
        builder.Fail("larger than " + std::to_string(kMaxDocumentBytes / (1024 * 1024)) + " MiB");
    } else {
        CubeScanner scanner(body, builder, &read, mostDays);
        scanned = scanner.Scan();
    }
    if (scanned) {
        read.emplace_back();
        scanned = builder.Finish(read.back());
    }
    if (!scanned) {
        failure = builder.Failure();
        return false;
    }
    days = std::move(read);
    return true;
}
